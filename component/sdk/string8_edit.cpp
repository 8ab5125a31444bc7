// The string8 operations beyond the string_base slots: appenders, searches,
// in-place edits and file-name helpers.
#include "sdk/filename_chars.h"
#include "sdk/string8.h"
#include "sdk/text_format.h"
#include "sdk/utf_coders.h"

#include <cstring>
#include <utility>

bool string8::append_code_point(std::uint32_t code_point) {
    char bytes[6];
    const std::uint32_t n = utf8_encode_char(code_point, bytes);
    return n == 0 || append_bytes(bytes, n) != nullptr;
}

bool string8::append_byte(char c) {
    return append_bytes(&c, 1) != nullptr;
}

bool string8::append_repeated(std::uint32_t code_point, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!append_code_point(code_point)) {
            return false;
        }
    }
    return true;
}

bool string8::ensure_last_char(std::uint32_t c) {
    char bytes[6];
    const std::uint32_t n = utf8_encode_char(c, bytes);
    if (n == 0 || c == 0) {
        return true;
    }
    if (used_ >= n && std::memcmp(text() + used_ - n, bytes, n) == 0) {
        return true;
    }
    return append_bytes(bytes, n) != nullptr;
}

bool string8::append_number(std::int64_t value, std::uint32_t radix) {
    char digits[72];
    format_integer(value, radix, digits);
    return append_bytes(digits, until_nul) != nullptr;
}

bool string8::append_unsigned(std::uint64_t value, std::uint32_t radix) {
    char digits[72];
    format_unsigned(value, radix, digits);
    return append_bytes(digits, until_nul) != nullptr;
}

bool string8::append_real(double value, std::uint32_t digits) {
    char out[64];
    format_real(value, digits, out, sizeof out);
    return append_bytes(out, until_nul) != nullptr;
}

void string8::set_char_at(std::uint32_t pos, char c) {
    if (c == 0) {
        cut_to(pos);
    } else if (pos < used_) {
        buffer_.data[pos] = static_cast<std::uint8_t>(c);
    }
}

std::int32_t string8::find_char(char c, std::int32_t from) const {
    const char* s = text();
    for (std::uint32_t i = from < 0 ? 0 : static_cast<std::uint32_t>(from); i < used_; ++i) {
        if (s[i] == c) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

std::int32_t string8::find_char_backward(char c, std::int32_t from) const {
    if (used_ == 0) {
        return -1;
    }
    const char* s = text();
    std::int64_t i = from < 0 || static_cast<std::uint32_t>(from) >= used_ ? used_ - 1 : from;
    for (; i >= 0; --i) {
        if (s[i] == c) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

std::int32_t string8::find_text(const char* needle, std::int32_t from) const {
    const std::uint32_t n = strlen_max(needle, until_nul);
    if (n == 0 || n > used_) {
        return -1;
    }
    const char* s = text();
    for (std::uint32_t i = from < 0 ? 0 : static_cast<std::uint32_t>(from); i + n <= used_; ++i) {
        if (std::memcmp(s + i, needle, n) == 0) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

std::int32_t string8::find_text_backward(const char* needle, std::int32_t from) const {
    const std::uint32_t n = strlen_max(needle, until_nul);
    if (n == 0 || n > used_) {
        return -1;
    }
    const char* s = text();
    const std::int64_t last = used_ - n;
    std::int64_t i = from < 0 || from > last ? last : from;
    for (; i >= 0; --i) {
        if (std::memcmp(s + i, needle, n) == 0) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

std::uint32_t string8::filename_start() const {
    const char* s = text();
    std::uint32_t start = 0;
    for (std::uint32_t i = 0; i < used_; ++i) {
        if (is_path_separator(s[i])) {
            start = i + 1;
        }
    }
    return start;
}

void string8::sanitize_filename_chars(char replacement, char keep) {
    for (std::uint32_t i = 0; i < used_; ++i) {
        const char c = static_cast<char>(buffer_.data[i]);
        if (c != keep && is_bad_filename_char(c)) {
            buffer_.data[i] = static_cast<std::uint8_t>(replacement);
        }
    }
}

void string8::remove_range(std::uint32_t pos, std::uint32_t count) {
    if (pos >= used_ || count == 0) {
        return;
    }
    if (count > used_ - pos) {
        count = used_ - pos;
    }
    std::memmove(buffer_.data + pos, buffer_.data + pos + count, used_ - pos - count);
    used_ -= count;
    buffer_.data[used_] = 0;
    make_space(std::uint64_t{used_} + 1);
}

bool string8::insert_bytes(std::uint32_t pos, const char* source, std::uint32_t length) {
    const std::uint32_t n = strlen_max(source, length);
    if (n == 0) {
        return true;
    }
    if (pos > used_) {
        pos = used_;
    }
    // A source inside this string is copied out first: the gap moves it.
    string8 own_copy;
    if (offset_in_buffer(source) >= 0) {
        if (own_copy.assign_bytes(source, n) == nullptr) {
            return false;
        }
        source = own_copy.text();
    }
    if (!make_space(std::uint64_t{used_} + n + 1)) {
        return false;
    }
    std::memmove(buffer_.data + pos + n, buffer_.data + pos, used_ - pos);
    std::memcpy(buffer_.data + pos, source, n);
    used_ += n;
    buffer_.data[used_] = 0;
    return true;
}

bool string8::cut_at_line_break(std::uint32_t from) {
    const char* s = text();
    for (std::uint32_t i = from; i < used_; ++i) {
        if (s[i] == '\r' || s[i] == '\n') {
            cut_to(i);
            return true;
        }
    }
    return false;
}

bool string8::assign_ascii_from_utf8(const char* source, char replacement) {
    // Built aside: the source may be this string's own text.
    std::uint32_t remaining = strlen_max(source, until_nul);
    string8 result;
    while (remaining > 0) {
        std::uint32_t code_point;
        std::uint32_t n = utf8_decode_char(source, &code_point, remaining);
        char c = replacement;
        if (n == 0) {
            n = 1;
        } else if (code_point < 0x80) {
            c = static_cast<char>(code_point);
        }
        if (!result.append_byte(c)) {
            return false;
        }
        source += n;
        remaining -= n;
    }
    *this = std::move(result);
    return true;
}

bool string8::keep_chars_and_append(std::uint32_t count, const char* suffix) {
    const char* s = text();
    std::uint32_t pos = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (pos >= used_) {
            return false;
        }
        const std::uint32_t n = utf8_decode_char(s + pos, nullptr, used_ - pos);
        pos += n == 0 ? 1 : n;
    }
    // Append to a copy first so that a failure leaves this text unchanged.
    string8 result;
    if (result.assign_bytes(s, pos) == nullptr ||
        result.append_bytes(suffix, until_nul) == nullptr) {
        return false;
    }
    *this = std::move(result);
    return true;
}
