#include "utf8api/utf8_text.h"

#include "platform/unicode.h"

#include <algorithm>

namespace utf8api::text {

namespace {

constexpr char32_t kEscapeBase = 0xDC00;

bool is_continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

} // namespace

char32_t decode_next(std::string_view text, std::size_t& offset) {
    const std::size_t start = offset;
    char32_t code_point;
    if (unicode::DecodeUtf8(text, offset, code_point))
        return code_point;
    offset = start + 1;
    return kEscapeBase + static_cast<unsigned char>(text[start]);
}

char32_t fold_case(char32_t c) {
    if (c >= 'A' && c <= 'Z')
        return c + 0x20;
    if (c < 0xC0)
        return c;
    // Latin-1: À..Þ except the multiplication sign.
    if (c <= 0xDE)
        return c == 0xD7 ? c : c + 0x20;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A alternates capital and small letter, with the
        // parity flipping at U+0139 and U+0179; U+0130, U+0131, U+0138 and
        // U+017F have no simple pair here.
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        if (c == 0x178)
            return 0xFF;
        const bool odd_capitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        const bool capital = odd_capitals ? (c % 2 == 1) : (c % 2 == 0);
        return capital ? c + 1 : c;
    }
    // Greek capitals Α..Ω (U+03A2 is unassigned).
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
        return c + 0x20;
    // Cyrillic: Ѐ..Џ and А..Я.
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    if (c >= 0x410 && c <= 0x42F)
        return c + 0x20;
    return c;
}

int compare_ignoring_case(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t x = fold_case(decode_next(a, i));
        const char32_t y = fold_case(decode_next(b, j));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

std::size_t previous_boundary(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    if (offset == 0)
        return 0;
    if (offset >= 2 && text[offset - 2] == '\r' && text[offset - 1] == '\n')
        return offset - 2;
    // Step back to a lead byte, but only over a well-formed sequence.
    std::size_t start = offset - 1;
    while (start > 0 && offset - start < 4 &&
           is_continuation(static_cast<unsigned char>(text[start])))
        --start;
    std::size_t probe = start;
    decode_next(text, probe);
    return probe == offset ? start : offset - 1;
}

std::size_t next_boundary(std::string_view text, std::size_t offset) {
    if (offset >= text.size())
        return text.size();
    if (text[offset] == '\r' && offset + 1 < text.size() && text[offset + 1] == '\n')
        return offset + 2;
    decode_next(text, offset);
    return offset;
}

std::size_t clamp_to_boundary(std::string_view text, std::size_t offset) {
    if (offset >= text.size())
        return text.size();
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t next = next_boundary(text, position);
        if (next > offset)
            return position;
        position = next;
    }
    return position;
}

std::vector<line_span> split_lines(std::string_view text) {
    std::vector<line_span> lines;
    std::size_t begin = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back({begin, i});
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        begin = i + 1;
    }
    lines.push_back({begin, text.size()});
    return lines;
}

std::size_t count_code_points(std::string_view text, std::size_t begin, std::size_t end) {
    std::size_t count = 0;
    while (begin < end) {
        decode_next(text, begin);
        ++count;
    }
    return count;
}

line_position position_of(std::string_view text, std::size_t offset) {
    const auto lines = split_lines(text);
    for (std::size_t line = 0; line < lines.size(); ++line) {
        const bool last = line + 1 == lines.size();
        if (offset <= lines[line].end || last) {
            const std::size_t end = std::min(offset, lines[line].end);
            return {line,
                    count_code_points(text, lines[line].begin, std::max(end, lines[line].begin))};
        }
        if (offset < lines[line + 1].begin)
            return {line, count_code_points(text, lines[line].begin, lines[line].end)};
    }
    return {0, 0};
}

std::size_t offset_of(std::string_view text, line_position position) {
    const auto lines = split_lines(text);
    const line_span span = lines[std::min(position.line, lines.size() - 1)];
    std::size_t offset = span.begin;
    for (std::size_t column = 0; column < position.column && offset < span.end; ++column)
        decode_next(text, offset);
    return std::min(offset, span.end);
}

std::string_view line_break_of(std::string_view text) {
    return text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
}

} // namespace utf8api::text
