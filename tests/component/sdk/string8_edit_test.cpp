#include "failing_heap.h"
#include "sdk/filename_chars.h"
#include "sdk/string8.h"

#include <gtest/gtest.h>

namespace {

TEST(String8Append, CodePointsAndRepeats) {
    string8 s;
    s.append_code_point(0x20AC);
    s.append_repeated('-', 3);
    s.append_code_point(0);
    EXPECT_STREQ(s.text(), "\xE2\x82\xAC---");
}

TEST(String8Append, EnsureLastChar) {
    string8 s;
    s.ensure_last_char('/');
    EXPECT_STREQ(s.text(), "/");
    s.ensure_last_char('/');
    EXPECT_STREQ(s.text(), "/");
    s.append_text("dir");
    s.ensure_last_char('/');
    EXPECT_STREQ(s.text(), "/dir/");
    s.ensure_last_char(0xE9);
    s.ensure_last_char(0xE9);
    EXPECT_STREQ(s.text(), "/dir/\xC3\xA9");
}

TEST(String8Append, NumbersInEveryRadix) {
    string8 s;
    s.append_number(-1234567890123LL);
    EXPECT_STREQ(s.text(), "-1234567890123");
    s.assign_text("");
    s.append_number(INT64_MIN);
    EXPECT_STREQ(s.text(), "-9223372036854775808");
    s.assign_text("");
    s.append_number(-1, 16);
    EXPECT_STREQ(s.text(), "ffffffffffffffff");
    s.assign_text("");
    s.append_unsigned(UINT64_MAX, 10);
    EXPECT_STREQ(s.text(), "18446744073709551615");
    s.assign_text("");
    s.append_unsigned(35, 36);
    s.append_unsigned(5, 2);
    s.append_unsigned(7, 1);
    EXPECT_STREQ(s.text(), "z101");
}

TEST(String8Append, RealsWithSignificantDigits) {
    string8 s;
    s.append_real(3.14159, 3);
    EXPECT_STREQ(s.text(), "3.14");
    s.assign_text("");
    s.append_real(1e20, 5);
    EXPECT_STREQ(s.text(), "1e+20");
}

TEST(String8Edit, SetCharAtReplacesOrCuts) {
    string8 s("hello");
    s.set_char_at(0, 'j');
    s.set_char_at(9, 'x');
    EXPECT_STREQ(s.text(), "jello");
    s.set_char_at(3, 0);
    EXPECT_STREQ(s.text(), "jel");
}

TEST(String8Search, ForwardAndBackward) {
    string8 s("a/b/c.tar.gz");
    EXPECT_EQ(s.find_char('/'), 1);
    EXPECT_EQ(s.find_char('/', 2), 3);
    EXPECT_EQ(s.find_char('q'), -1);
    EXPECT_EQ(s.find_char_backward('/'), 3);
    EXPECT_EQ(s.find_char_backward('/', 2), 1);
    EXPECT_EQ(s.find_char_backward('a'), 7);
    EXPECT_EQ(s.find_char_backward('a', 6), 0);
    EXPECT_EQ(s.find_text(".gz"), 9);
    EXPECT_EQ(s.find_text("."), 5);
    EXPECT_EQ(s.find_text_backward("."), 9);
    EXPECT_EQ(s.find_text_backward(".", 8), 5);
    EXPECT_EQ(s.find_text("missing"), -1);
    EXPECT_EQ(s.find_text(""), -1);
    EXPECT_EQ(s.find_text("a/b/c.tar.gz+"), -1);
    EXPECT_EQ(string8().find_char_backward('x'), -1);
}

TEST(String8FileNames, StartAndSanitize) {
    string8 s("C:\\music|inner/file?.wav");
    EXPECT_EQ(s.filename_start(), 15u);
    EXPECT_EQ(string8("plain").filename_start(), 0u);
    string8 name("a\"b*c:d<e>f?g\\h|i/j");
    name.sanitize_filename_chars('_', '/');
    EXPECT_STREQ(name.text(), "a_b_c_d_e_f_g_h_i/j");
    EXPECT_TRUE(contains_bad_filename_chars("x?y"));
    EXPECT_FALSE(contains_bad_filename_chars("x y.wma"));
    EXPECT_FALSE(contains_bad_filename_chars(nullptr));
    EXPECT_TRUE(is_path_separator('|'));
    EXPECT_FALSE(is_path_separator('.'));
}

TEST(String8Edit, RemoveRangeClamps) {
    string8 s("0123456789");
    s.remove_range(2, 3);
    EXPECT_STREQ(s.text(), "0156789");
    s.remove_range(5, 100);
    EXPECT_STREQ(s.text(), "01567");
    s.remove_range(50, 1);
    EXPECT_STREQ(s.text(), "01567");
}

TEST(String8Edit, InsertBytesClampsAndHandlesItsOwnText) {
    string8 s("ace");
    s.insert_bytes(1, "b", 1);
    s.insert_bytes(3, "dXX", 1);
    s.insert_bytes(100, "f", 5);
    EXPECT_STREQ(s.text(), "abcdef");
    s.insert_bytes(0, s.text(), 3);
    EXPECT_STREQ(s.text(), "abcabcdef");
}

TEST(String8Edit, CutAtLineBreak) {
    string8 s("first\r\nsecond");
    EXPECT_TRUE(s.cut_at_line_break());
    EXPECT_STREQ(s.text(), "first");
    string8 t("a\nb\nc");
    EXPECT_TRUE(t.cut_at_line_break(2));
    EXPECT_STREQ(t.text(), "a\nb");
    EXPECT_FALSE(t.cut_at_line_break(3));
}

TEST(String8Edit, AsciiFromUtf8ReplacesEachCharacterOnce) {
    string8 s("old");
    s.assign_ascii_from_utf8("a\xC3\xA9z\xFF!\xF0\x9F\x98\x80", '?');
    EXPECT_STREQ(s.text(), "a?z?!?");
    s.assign_ascii_from_utf8(s.text() + 1, '#');
    EXPECT_STREQ(s.text(), "?z?!?");
}

TEST(String8Edit, KeepCharsAndAppendCountsCharactersNotBytes) {
    string8 s("\xC3\xA9t\xC3\xA9 long");
    EXPECT_TRUE(s.keep_chars_and_append(3, "..."));
    EXPECT_STREQ(s.text(), "\xC3\xA9t\xC3\xA9...");
    EXPECT_FALSE(s.keep_chars_and_append(50, "!"));
    EXPECT_STREQ(s.text(), "\xC3\xA9t\xC3\xA9...");
}

TEST(String8Edit, FailedEditsLeaveTheTextAlone) {
    string8 s("abc");
    failing_heap refuse;
    EXPECT_FALSE(s.insert_bytes(1, "0123456789012345678901234567890123456789", 40));
    EXPECT_STREQ(s.text(), "abc");
    EXPECT_FALSE(s.keep_chars_and_append(1, "xyz"));
    EXPECT_STREQ(s.text(), "abc");
    EXPECT_FALSE(s.assign_ascii_from_utf8("new text", '?'));
    EXPECT_STREQ(s.text(), "abc");
}

} // namespace
