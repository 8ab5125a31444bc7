// The small printf-like formatter of the sdk and the string8 members that use it.
#include "sdk/string8.h"
#include "sdk/text_format.h"
#include "sdk/utf_coders.h"

#include <cstring>

namespace {

// Characters (not bytes) of a UTF-8 text, so that padding lines up.
std::uint32_t character_count(const char* text) {
    std::uint32_t count = 0;
    std::uint32_t remaining = strlen_max(text, text_until_nul);
    while (remaining > 0) {
        std::uint32_t n = utf8_decode_char(text, nullptr, remaining);
        if (n == 0) {
            n = 1;
        }
        text += n;
        remaining -= n;
        ++count;
    }
    return count;
}

bool append_padding(string8& out, char pad, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!out.append_byte(pad)) {
            return false;
        }
    }
    return true;
}

// Writes `sign` (may be 0), then padding, then `body`. A zero-padded number
// keeps its minus sign in front of the zeros.
bool append_padded(string8& out, char plus, const char* body, std::uint32_t width, char pad) {
    if (plus != 0 && !out.append_byte(plus)) {
        return false;
    }
    const std::uint32_t length = character_count(body);
    const std::uint32_t missing = width > length ? width - length : 0;
    if (pad == '0' && body[0] == '-') {
        return out.append_byte('-') && append_padding(out, pad, missing) &&
               out.append_text(body + 1) != nullptr;
    }
    return append_padding(out, pad, missing) && out.append_text(body) != nullptr;
}

bool expand(string8& out, const char* format, va_list args) {
    while (*format != 0) {
        if (*format != '%') {
            const char* literal_end = std::strchr(format, '%');
            const std::uint32_t n = literal_end != nullptr
                                        ? static_cast<std::uint32_t>(literal_end - format)
                                        : string_base::until_nul;
            if (out.append_bytes(format, n) == nullptr) {
                return false;
            }
            format += strlen_max(format, n);
            continue;
        }
        ++format;
        if (*format == '%') {
            if (!out.append_byte('%')) {
                return false;
            }
            ++format;
            continue;
        }
        bool plus = false;
        char pad = ' ';
        if (*format == '+') {
            plus = true;
            ++format;
        }
        if (*format == '0') {
            pad = '0';
            ++format;
        }
        std::uint32_t width = 0;
        while (*format >= '0' && *format <= '9') {
            if (width < 100000) {
                width = width * 10 + static_cast<std::uint32_t>(*format - '0');
            }
            ++format;
        }
        const char letter = *format;
        if (letter == 0) {
            break;
        }
        ++format;
        char digits[72];
        bool ok = true;
        switch (letter) {
        case 's':
        case 'S': {
            const char* text = va_arg(args, const char*);
            ok = append_padded(out, 0, text != nullptr ? text : "", width, pad);
            break;
        }
        case 'i':
        case 'I':
        case 'd':
        case 'D': {
            const int value = va_arg(args, int);
            format_integer(value, 10, digits);
            ok = append_padded(out, plus && value > 0 ? '+' : 0, digits, width, pad);
            break;
        }
        case 'u':
        case 'U':
        case 'x':
        case 'X': {
            const unsigned value = va_arg(args, unsigned);
            const bool hex = letter == 'x' || letter == 'X';
            format_unsigned(value, hex ? 16 : 10, digits);
            if (letter == 'X') {
                for (char* c = digits; *c != 0; ++c) {
                    if (*c >= 'a' && *c <= 'f') {
                        *c = static_cast<char>(*c - 'a' + 'A');
                    }
                }
            }
            ok = append_padded(out, plus && value > 0 ? '+' : 0, digits, width, pad);
            break;
        }
        case 'c':
        case 'C': {
            // A value from 0x80 up is written as that code point in UTF-8.
            const int value = va_arg(args, int);
            ok = out.append_code_point(static_cast<std::uint32_t>(value) & 0xFF);
            break;
        }
        default:
            ok = out.append_byte(letter);
            break;
        }
        if (!ok) {
            return false;
        }
    }
    return true;
}

} // namespace

bool format_into(string_base& out, const char* format, va_list args) {
    // Built aside: an argument may be the target's own text.
    string8 result;
    va_list copy;
    va_copy(copy, args);
    const bool ok = format != nullptr ? expand(result, format, copy) : true;
    va_end(copy);
    return ok && out.assign_bytes(result.text(), string_base::until_nul) != nullptr;
}

bool string8::format_into(const char* format, va_list args) {
    return ::format_into(*this, format, args);
}

bool string8::format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const bool ok = format_into(format, args);
    va_end(args);
    return ok;
}

string_printf::string_printf(const char* format, ...) : string8(mem_block::mode_pow2_no_shrink) {
    va_list args;
    va_start(args, format);
    format_into(format, args);
    va_end(args);
}

string_printf::string_printf(const char* format, va_list args)
    : string8(mem_block::mode_pow2_no_shrink) {
    format_into(format, args);
}
