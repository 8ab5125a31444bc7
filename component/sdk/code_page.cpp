#include "sdk/code_page.h"

#include "sdk/scratch_buffer.h"
#include "sdk/string8.h"
#include "sdk/utf_coders.h"

#include <platform/win32_api.h>

#include <limits>

namespace {

constexpr std::uint32_t kIntMax = std::numeric_limits<int>::max();

// Ends the text after what a platform conversion wrote (nothing on failure).
template <class Unit> std::uint32_t terminate_after(Unit* target, int written) {
    if (written < 0) {
        written = 0;
    }
    target[written] = 0;
    return static_cast<std::uint32_t>(written);
}

// Converts between two narrow encodings through UTF-16 in a scratch buffer.
std::uint32_t convert_through_wide(const char* source, char* target, std::uint32_t max,
                                   std::uint32_t (*to_wide)(const char*, char16_t*, std::uint32_t),
                                   std::uint32_t (*from_wide)(const char16_t*, char*,
                                                              std::uint32_t)) {
    const std::uint32_t n = strlen_max(source, max);
    scratch_buffer wide((std::uint64_t{n} + 1) * sizeof(char16_t));
    if (!wide.ok()) {
        target[0] = 0;
        return 0;
    }
    const std::uint32_t units = to_wide(source, wide.as<char16_t>(), n);
    return from_wide(wide.as<char16_t>(), target, units);
}

// Appends `n` units of `source` to `out`, converted to UTF-8 (at most three
// bytes a unit) in a scratch buffer.
template <class Unit>
bool append_through_utf8(string8& out, const Unit* source, std::uint32_t n,
                         std::uint32_t (*to_utf8)(const Unit*, char*, std::uint32_t)) {
    scratch_buffer utf8(3 * std::uint64_t{n} + 1);
    if (!utf8.ok()) {
        return false;
    }
    const std::uint32_t bytes = to_utf8(source, utf8.as<char>(), n);
    return out.append_bytes(utf8.as<char>(), bytes) != nullptr;
}

} // namespace

std::uint32_t convert_ansi_to_wide(const char* source, char16_t* target, std::uint32_t max) {
    const std::uint32_t n = strlen_max(source, max);
    int written = 0;
    // The capacity is the caller's n + 1 units, never the length past the limit.
    if (n > 0 && n < kIntMax) {
        written = MultiByteToWideChar(CP_ACP, 0, source, static_cast<int>(n), target,
                                      static_cast<int>(n + 1));
    }
    return terminate_after(target, written);
}

std::uint32_t convert_wide_to_ansi(const char16_t* source, char* target, std::uint32_t max) {
    const std::uint32_t n = wcslen_max(source, max);
    int written = 0;
    // One unit takes up to three bytes in a UTF-8 code page.
    if (n > 0 && n < kIntMax / 3) {
        written = WideCharToMultiByte(CP_ACP, 0, source, static_cast<int>(n), target,
                                      static_cast<int>(3 * n + 1), nullptr, nullptr);
    }
    return terminate_after(target, written);
}

std::uint32_t convert_utf8_to_ansi(const char* source, char* target, std::uint32_t max) {
    return convert_through_wide(source, target, max, convert_utf8_to_wide, convert_wide_to_ansi);
}

std::uint32_t convert_ansi_to_utf8(const char* source, char* target, std::uint32_t max) {
    return convert_through_wide(source, target, max, convert_ansi_to_wide, convert_wide_to_utf8);
}

bool string8::append_ansi(const char* source, std::uint32_t max) {
    return append_through_utf8(*this, source, strlen_max(source, max), convert_ansi_to_utf8);
}

bool string8::append_wide(const char16_t* source, std::uint32_t max) {
    return append_through_utf8(*this, source, wcslen_max(source, max), convert_wide_to_utf8);
}
