#include "sdk/host_hooks.h"

#include "sdk/utf_coders.h"

#include <atomic>

namespace sdk_host {
namespace {

std::atomic<console_printer> g_printer{nullptr};
std::atomic<name_comparer> g_comparer{nullptr};

std::uint32_t fold_case(std::uint32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return c + 0x20;
    }
    if (c == 0x178) {
        return 0xFF;
    }
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
        c != 0x17F) {
        // Latin Extended-A pairs capitals and small letters on even/odd
        // code points, shifted by one between 0x139 and 0x148 and from 0x179.
        const bool odd_capitals = (c >= 0x139 && c <= 0x148) || c >= 0x179;
        const bool capital = odd_capitals ? (c & 1) == 1 : (c & 1) == 0;
        return capital ? c + 1 : c;
    }
    if ((c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
    return c;
}

// The next code point of `text` (advancing it); an invalid byte stands for
// itself so that every text compares.
std::uint32_t next_code_point(const char*& text) {
    std::uint32_t c;
    const std::uint32_t n = utf8_decode_char(text, &c, 6);
    if (n == 0) {
        c = static_cast<std::uint8_t>(*text);
        text += c != 0 ? 1 : 0;
        return c;
    }
    text += n;
    return c;
}

} // namespace

console_printer set_console_printer(console_printer printer) {
    return g_printer.exchange(printer);
}

name_comparer set_name_comparer(name_comparer comparer) {
    return g_comparer.exchange(comparer);
}

void console_print(std::int32_t severity, const char* text) {
    if (console_printer printer = g_printer.load(); printer != nullptr) {
        printer(severity, text);
    }
}

int compare_names(const char* a, const char* b) {
    if (name_comparer comparer = g_comparer.load(); comparer != nullptr) {
        return comparer(a != nullptr ? a : "", b != nullptr ? b : "");
    }
    return compare_utf8_nocase(a, b);
}

int compare_utf8_nocase(const char* a, const char* b) {
    a = a != nullptr ? a : "";
    b = b != nullptr ? b : "";
    for (;;) {
        const std::uint32_t ca = fold_case(next_code_point(a));
        const std::uint32_t cb = fold_case(next_code_point(b));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
        if (ca == 0) {
            return 0;
        }
    }
}

} // namespace sdk_host
