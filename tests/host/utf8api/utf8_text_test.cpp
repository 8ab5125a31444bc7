// Cursor arithmetic of the terminal's text box and the UTF-8 decoder.
#include "utf8api/utf8_text.h"

#include <gtest/gtest.h>

using namespace utf8api::text;

namespace {

TEST(Utf8Decoding, DecodesWellFormedAndEscapesMalformedBytes) {
    const std::string text = "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x8e\xb5\xff\xc0\x80";
    std::size_t offset = 0;
    EXPECT_EQ(decode_next(text, offset), U'a');
    EXPECT_EQ(decode_next(text, offset), U'é');
    EXPECT_EQ(decode_next(text, offset), U'€');
    EXPECT_EQ(decode_next(text, offset), U'\U0001F3B5');
    EXPECT_EQ(decode_next(text, offset), 0xDC00u + 0xFF);
    // An overlong NUL is two escaped bytes, never a real NUL.
    EXPECT_EQ(decode_next(text, offset), 0xDC00u + 0xC0);
    EXPECT_EQ(decode_next(text, offset), 0xDC00u + 0x80);
    EXPECT_EQ(offset, text.size());
}

TEST(EditCursor, StepsOverWholeCharactersAndLineBreaks) {
    const std::string text = "é\r\nb";
    EXPECT_EQ(next_boundary(text, 0), 2u);
    EXPECT_EQ(next_boundary(text, 2), 4u); // CR LF is one step
    EXPECT_EQ(next_boundary(text, 4), 5u);
    EXPECT_EQ(next_boundary(text, 5), 5u);
    EXPECT_EQ(previous_boundary(text, 5), 4u);
    EXPECT_EQ(previous_boundary(text, 4), 2u);
    EXPECT_EQ(previous_boundary(text, 2), 0u);
    EXPECT_EQ(previous_boundary(text, 0), 0u);
    // A stray continuation byte is one character of its own.
    EXPECT_EQ(previous_boundary("a\x80", 2), 1u);
    EXPECT_EQ(clamp_to_boundary(text, 1), 0u);
    EXPECT_EQ(clamp_to_boundary(text, 3), 2u);
    EXPECT_EQ(clamp_to_boundary(text, 99), text.size());
}

TEST(EditCursor, LinesAndColumns) {
    const std::string text = "ab\nçd\r\n\rxyz";
    const auto lines = split_lines(text);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(text.substr(lines[1].begin, lines[1].end - lines[1].begin), "çd");
    EXPECT_EQ(lines[2].begin, lines[2].end);
    EXPECT_EQ(text.substr(lines[3].begin), "xyz");

    const auto at = position_of(text, text.find('d'));
    EXPECT_EQ(at.line, 1u);
    EXPECT_EQ(at.column, 1u);
    EXPECT_EQ(offset_of(text, {1, 1}), text.find('d'));
    // Columns past a line's end stop at its end; lines past the last stop there.
    EXPECT_EQ(offset_of(text, {0, 9}), 2u);
    EXPECT_EQ(offset_of(text, {2, 3}), lines[2].begin);
    EXPECT_EQ(offset_of(text, {9, 1}), text.find('y'));
    EXPECT_EQ(position_of(text, text.size()).line, 3u);
    EXPECT_EQ(position_of("", 0).column, 0u);
}

TEST(EditCursor, NewLinesFollowTheTextsOwnBreaks) {
    EXPECT_EQ(line_break_of("a\r\nb"), "\r\n");
    EXPECT_EQ(line_break_of("a\nb"), "\n");
    EXPECT_EQ(line_break_of(""), "\n");
}

} // namespace
