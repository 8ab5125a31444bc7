#include "sdk/code_page.h"

#include "sdk/scratch_buffer.h"
#include "sdk/string8.h"
#include "sdk/utf_coders.h"

#include <platform/win32_api.h>

#include <limits>

namespace {

constexpr std::uint32_t kIntMax = std::numeric_limits<int>::max();

} // namespace

std::uint32_t convert_ansi_to_wide(const char* source, char16_t* target, std::uint32_t max) {
    const std::uint32_t n = strlen_max(source, max);
    int written = 0;
    // The capacity is the caller's n + 1 units, never the length past the limit.
    if (n > 0 && n < kIntMax) {
        written = MultiByteToWideChar(CP_ACP, 0, source, static_cast<int>(n), target,
                                      static_cast<int>(n + 1));
    }
    if (written < 0) {
        written = 0;
    }
    target[written] = 0;
    return static_cast<std::uint32_t>(written);
}

std::uint32_t convert_wide_to_ansi(const char16_t* source, char* target, std::uint32_t max) {
    const std::uint32_t n = wcslen_max(source, max);
    int written = 0;
    // One unit takes up to three bytes in a UTF-8 code page.
    if (n > 0 && n < kIntMax / 3) {
        written = WideCharToMultiByte(CP_ACP, 0, source, static_cast<int>(n), target,
                                      static_cast<int>(3 * n + 1), nullptr, nullptr);
    }
    if (written < 0) {
        written = 0;
    }
    target[written] = 0;
    return static_cast<std::uint32_t>(written);
}

std::uint32_t convert_utf8_to_ansi(const char* source, char* target, std::uint32_t max) {
    const std::uint32_t n = strlen_max(source, max);
    scratch_buffer wide((std::uint64_t{n} + 1) * sizeof(char16_t));
    if (!wide.ok()) {
        target[0] = 0;
        return 0;
    }
    const std::uint32_t units = convert_utf8_to_wide(source, wide.as<char16_t>(), n);
    return convert_wide_to_ansi(wide.as<char16_t>(), target, units);
}

std::uint32_t convert_ansi_to_utf8(const char* source, char* target, std::uint32_t max) {
    const std::uint32_t n = strlen_max(source, max);
    scratch_buffer wide((std::uint64_t{n} + 1) * sizeof(char16_t));
    if (!wide.ok()) {
        target[0] = 0;
        return 0;
    }
    const std::uint32_t units = convert_ansi_to_wide(source, wide.as<char16_t>(), n);
    return convert_wide_to_utf8(wide.as<char16_t>(), target, units);
}

bool string8::append_ansi(const char* source, std::uint32_t max) {
    const std::uint32_t n = strlen_max(source, max);
    scratch_buffer utf8(3 * std::uint64_t{n} + 1);
    if (!utf8.ok()) {
        return false;
    }
    const std::uint32_t bytes = convert_ansi_to_utf8(source, utf8.as<char>(), n);
    return append_bytes(utf8.as<char>(), bytes) != nullptr;
}

bool string8::append_wide(const char16_t* source, std::uint32_t max) {
    const std::uint32_t n = wcslen_max(source, max);
    scratch_buffer utf8(3 * std::uint64_t{n} + 1);
    if (!utf8.ok()) {
        return false;
    }
    const std::uint32_t bytes = convert_wide_to_utf8(source, utf8.as<char>(), n);
    return append_bytes(utf8.as<char>(), bytes) != nullptr;
}
