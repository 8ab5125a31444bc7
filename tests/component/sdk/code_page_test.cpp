#include "sdk/code_page.h"
#include "sdk/string8.h"
#include "sdk/utf_coders.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The ANSI code page of this platform is UTF-8, so ANSI text is UTF-8 text.

TEST(AnsiConversions, ToAndFromWide) {
    char16_t wide[16];
    EXPECT_EQ(convert_ansi_to_wide("caf\xC3\xA9", wide, text_until_nul), 4u);
    EXPECT_EQ(std::u16string(wide), u"caf\u00E9");
    char narrow[64];
    EXPECT_EQ(convert_wide_to_ansi(wide, narrow, text_until_nul), 5u);
    EXPECT_STREQ(narrow, "caf\xC3\xA9");
}

TEST(AnsiConversions, LimitsAreSourceCounts) {
    char16_t wide[16];
    EXPECT_EQ(convert_ansi_to_wide("abcdef", wide, 2), 2u);
    EXPECT_EQ(std::u16string(wide), u"ab");
    char narrow[16];
    EXPECT_EQ(convert_wide_to_ansi(u"abcdef", narrow, 3), 3u);
    EXPECT_STREQ(narrow, "abc");
    EXPECT_EQ(convert_ansi_to_wide("", wide, text_until_nul), 0u);
    EXPECT_EQ(wide[0], 0);
}

TEST(AnsiConversions, ThreeBytesPerUnitFit) {
    // Every unit needs three bytes: more than twice the unit count.
    const std::u16string wide(10, u'\u20AC');
    char narrow[31];
    EXPECT_EQ(convert_wide_to_ansi(wide.c_str(), narrow, text_until_nul), 30u);
    EXPECT_EQ(std::string(narrow).size(), 30u);
}

TEST(AnsiConversions, Utf8RoundTripThroughTheCodePage) {
    char ansi[64];
    EXPECT_EQ(convert_utf8_to_ansi("\xE2\x82\xAC 5", ansi, text_until_nul), 5u);
    EXPECT_STREQ(ansi, "\xE2\x82\xAC 5");
    char utf8[64];
    EXPECT_EQ(convert_ansi_to_utf8(ansi, utf8, 3), 3u);
    EXPECT_STREQ(utf8, "\xE2\x82\xAC");
}

TEST(AnsiConversions, LongTextsUseTheHeapScratch) {
    const std::string text(6000, 'x');
    std::string out(3 * text.size() + 1, '\0');
    EXPECT_EQ(convert_ansi_to_utf8(text.c_str(), out.data(), text_until_nul), 6000u);
    EXPECT_EQ(std::string(out.c_str()), text);
    string8 s("<");
    ASSERT_TRUE(s.append_ansi(text.c_str()));
    EXPECT_EQ(s.byte_length(), 6001u);
}

TEST(String8Conversions, AppendWideAndAnsi) {
    string8 s("x=");
    ASSERT_TRUE(s.append_wide(u"\U0001F600!", 2));
    EXPECT_STREQ(s.text(), "x=\xF0\x9F\x98\x80");
    ASSERT_TRUE(s.append_ansi("\xC3\xA9tat", 2));
    EXPECT_STREQ(s.text(), "x=\xF0\x9F\x98\x80\xC3\xA9");
}

} // namespace
