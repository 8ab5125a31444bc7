// The growable UTF-8 string behind `string_base`. It owns its buffer alone
// (copies are deep) and keeps a terminator after the content. A string that
// cannot grow keeps its content and its setters answer null (or false).
#pragma once

#include "sdk/mem_block.h"
#include "vantrel/string_base.h"

#include <cstdarg>
#include <cstdint>

class string8 : public string_base {
public:
    string8() = default;
    string8(const char* source);
    string8(const string8& other);
    string8(string8&& other) noexcept;
    ~string8() = default;
    string8& operator=(const string8& other);
    string8& operator=(string8&& other) noexcept;
    string8& operator=(const char* source);

    // string_base slots.
    const char* text() const override;
    const char* append_bytes(const char* source, std::uint32_t max) override;
    const char* assign_bytes(const char* source, std::uint32_t max) override;
    void cut_to(std::uint32_t length) override;
    std::uint32_t byte_length() const override { return used_; }

    // The storage, for inspection.
    const mem_block& block() const { return buffer_; }

    // Appenders; each answers false when memory ran out (content unchanged).
    bool append_code_point(std::uint32_t code_point);
    bool append_byte(char c);
    bool append_repeated(std::uint32_t code_point, std::uint32_t count);
    // Appends c unless the text already ends with it (a character from 0x80
    // up is taken as a code point).
    bool ensure_last_char(std::uint32_t c);
    // Signed values in radix 10 get a '-'; other radixes show the two's
    // complement bits. Radixes outside 2..36 append nothing.
    bool append_number(std::int64_t value, std::uint32_t radix = 10);
    bool append_unsigned(std::uint64_t value, std::uint32_t radix = 10);
    // `digits` significant digits, shortest of fixed and exponent form.
    bool append_real(double value, std::uint32_t digits);
    bool append_ansi(const char* source, std::uint32_t max = until_nul);
    bool append_wide(const char16_t* source, std::uint32_t max = until_nul);

    // c = 0 cuts at pos; otherwise the byte at pos (if within the text) becomes c.
    void set_char_at(std::uint32_t pos, char c);

    // Byte positions or -1. A negative `from` means the start (forward
    // searches) or the last byte (backward searches). An empty needle is
    // never found.
    std::int32_t find_char(char c, std::int32_t from = -1) const;
    std::int32_t find_char_backward(char c, std::int32_t from = -1) const;
    std::int32_t find_text(const char* needle, std::int32_t from = -1) const;
    std::int32_t find_text_backward(const char* needle, std::int32_t from = -1) const;

    // Position after the last path separator; 0 when there is none.
    std::uint32_t filename_start() const;
    // Every byte that may not appear in a file name, except `keep`, becomes
    // `replacement`.
    void sanitize_filename_chars(char replacement = '_', char keep = 0);

    void remove_range(std::uint32_t pos, std::uint32_t count);
    bool insert_bytes(std::uint32_t pos, const char* source, std::uint32_t length);
    // Cuts at the first CR or LF at or after `from`; answers whether one was found.
    bool cut_at_line_break(std::uint32_t from = 0);

    // One byte per UTF-8 character of `source`: itself below 128, else
    // `replacement`; an invalid byte is replaced on its own.
    bool assign_ascii_from_utf8(const char* source, char replacement = '?');
    // Keeps the first `count` characters and appends `suffix`; a shorter text
    // is left unchanged and the answer is false.
    bool keep_chars_and_append(std::uint32_t count, const char* suffix);

    // Replaces the content with `format` expanded (see text_format.h).
    bool format_into(const char* format, va_list args);
    bool format(const char* format, ...) __attribute__((format(printf, 2, 3)));

protected:
    explicit string8(mem_block::mode_t mode) : buffer_(mode) {}

private:
    // Sizes the buffer for n bytes: grows to n + 16 when short, gives memory
    // back when more than 32 bytes would stay unused.
    bool make_space(std::uint64_t n);
    // Offset of `p` inside the buffer, or -1 when it points elsewhere.
    std::int64_t offset_in_buffer(const char* p) const;

    mem_block buffer_{mem_block::mode_exact};
    std::uint32_t used_ = 0;
};

// A string built by the formatter, on a buffer that grows by doubling and is
// never given back (it is usually filled once and read).
class string_printf : public string8 {
public:
    explicit string_printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    string_printf(const char* format, va_list args);
};
