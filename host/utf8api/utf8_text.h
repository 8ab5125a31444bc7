// UTF-8 helpers for the wrapper library: decoding, case folding for
// comparisons, and the cursor arithmetic of an edit box whose text is UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace utf8api::text {

// Decodes the code point at `offset` and advances it. A byte that does not
// start a well-formed sequence decodes alone as 0xDC00 + byte, so malformed
// text still compares byte by byte and never reads past the end.
char32_t decode_next(std::string_view text, std::size_t& offset);

// Simple one-to-one case folding: ASCII, Latin-1, Latin Extended-A, Greek and
// Cyrillic capitals map to their small letters; everything else is unchanged.
char32_t fold_case(char32_t code_point);

// Compares code point by code point after folding; negative, 0 or positive.
int compare_ignoring_case(std::string_view a, std::string_view b);

// ---- Edit-box cursor arithmetic (offsets are byte offsets into the text) ----

// The offset one character before / after `offset`; a CR LF pair counts as
// one character, so the cursor never stands inside a line break.
std::size_t previous_boundary(std::string_view text, std::size_t offset);
std::size_t next_boundary(std::string_view text, std::size_t offset);
// The largest character boundary not after `offset`.
std::size_t clamp_to_boundary(std::string_view text, std::size_t offset);

// Lines split at CR LF, LF or a lone CR; the breaks themselves are dropped.
struct line_span {
    std::size_t begin; // byte offset of the line's first character
    std::size_t end;   // byte offset just past its last character
};
std::vector<line_span> split_lines(std::string_view text);

struct line_position {
    std::size_t line;
    std::size_t column; // in code points
};
line_position position_of(std::string_view text, std::size_t offset);
// The offset of `column` in `line`, clamped to the line's end and the last line.
std::size_t offset_of(std::string_view text, line_position position);

// The line break that new lines in `text` should use: CR LF when the text
// already holds one, else LF.
std::string_view line_break_of(std::string_view text);

// Code points in [begin, end) of `text`.
std::size_t count_code_points(std::string_view text, std::size_t begin, std::size_t end);

} // namespace utf8api::text
