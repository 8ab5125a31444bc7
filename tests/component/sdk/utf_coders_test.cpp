#include "failing_heap.h"
#include "sdk/conversion_holders.h"
#include "sdk/utf_coders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::uint32_t decode(const char* bytes, std::uint32_t* cp, std::uint32_t max = 6) {
    return utf8_decode_char(bytes, cp, max);
}

struct Sequence {
    const char* bytes;
    std::uint32_t length;
    std::uint32_t codePoint;
};

const Sequence kValidSequences[] = {
    {"A", 1, 0x41},
    {"\xC3\xA9", 2, 0xE9},
    {"\xE2\x82\xAC", 3, 0x20AC},
    {"\xF0\x9F\x98\x80", 4, 0x1F600},
    {"\xF8\x88\x80\x80\x80", 5, 0x200000},
    {"\xFD\xBF\xBF\xBF\xBF\xBF", 6, 0x7FFFFFFF},
    {"\xED\xA0\x80", 3, 0xD800}, // surrogate code points are accepted
    {"\xE0\xA0\x80", 3, 0x800},  // the shortest form of U+0800
};

TEST(Utf8Decode, ValidSequencesOfEveryLength) {
    for (const Sequence& sequence : kValidSequences) {
        std::uint32_t cp = 99;
        EXPECT_EQ(decode(sequence.bytes, &cp), sequence.length) << sequence.codePoint;
        EXPECT_EQ(cp, sequence.codePoint);
    }
}

TEST(Utf8Decode, InvalidSequencesAnswerZeroAndClearTheCodePoint) {
    std::uint32_t cp = 99;
    EXPECT_EQ(decode("", &cp), 0u);
    EXPECT_EQ(cp, 0u);
    cp = 99;
    EXPECT_EQ(decode("\xC0\x80", &cp), 0u);
    EXPECT_EQ(cp, 0u);
    EXPECT_EQ(decode("\xC1\xBF", &cp), 0u);
    EXPECT_EQ(decode("\x80", &cp), 0u);
    EXPECT_EQ(decode("\xBF", &cp), 0u);
    EXPECT_EQ(decode("\xFE\x80", &cp), 0u);
    EXPECT_EQ(decode("\xFF", &cp), 0u);
    EXPECT_EQ(decode("\xE2\x82", &cp), 0u);     // cut by the terminator
    EXPECT_EQ(decode("\xE2\x41\xAC", &cp), 0u); // not a continuation byte
    EXPECT_EQ(decode("\xF0\x90\x80\x80", &cp, 3), 0u);
    EXPECT_EQ(decode("A", &cp, 0), 0u);
    EXPECT_EQ(decode("\xE2\x82\xAC", nullptr), 3u);
}

TEST(Utf8Decode, OverlongFormsAreRejected) {
    std::uint32_t cp;
    EXPECT_EQ(decode("\xE0\x80\xAF", &cp), 0u);         // '/' in three bytes
    EXPECT_EQ(decode("\xE0\x9F\xBF", &cp), 0u);         // U+07FF in three bytes
    EXPECT_EQ(decode("\xF0\x8F\xBF\xBF", &cp), 0u);     // U+FFFF in four bytes
    EXPECT_EQ(decode("\xF8\x87\xBF\xBF\xBF", &cp), 0u); // below 0x200000 in five
}

TEST(Utf8Encode, LengthsAndBytes) {
    char out[6];
    EXPECT_EQ(utf8_encode_char(0x7F, out), 1u);
    EXPECT_EQ(utf8_encode_char(0x80, nullptr), 2u);
    EXPECT_EQ(utf8_encode_char(0x7FF, nullptr), 2u);
    EXPECT_EQ(utf8_encode_char(0x800, nullptr), 3u);
    EXPECT_EQ(utf8_encode_char(0xFFFF, nullptr), 3u);
    EXPECT_EQ(utf8_encode_char(0x10000, nullptr), 4u);
    EXPECT_EQ(utf8_encode_char(0x1FFFFF, nullptr), 4u);
    EXPECT_EQ(utf8_encode_char(0x200000, nullptr), 5u);
    EXPECT_EQ(utf8_encode_char(0x4000000, nullptr), 6u);
    EXPECT_EQ(utf8_encode_char(0x80000000u, out), 0u);
    ASSERT_EQ(utf8_encode_char(0x20AC, out), 3u);
    EXPECT_EQ(std::string(out, 3), "\xE2\x82\xAC");
    ASSERT_EQ(utf8_encode_char(0x7FFFFFFF, out), 6u);
    EXPECT_EQ(std::string(out, 6), "\xFD\xBF\xBF\xBF\xBF\xBF");
    // Every length round-trips through the decoder.
    for (std::uint32_t cp : {0x41u, 0x3A9u, 0xFFFDu, 0x10FFFFu, 0x3FFFFFu, 0x5000000u}) {
        const std::uint32_t n = utf8_encode_char(cp, out);
        std::uint32_t back = 0;
        EXPECT_EQ(utf8_decode_char(out, &back, n), n) << cp;
        EXPECT_EQ(back, cp);
    }
}

TEST(Utf16Coders, SurrogatePairsBothWays) {
    char16_t units[2];
    ASSERT_EQ(utf16_encode_char(0x1F600, units), 2u);
    EXPECT_EQ(units[0], 0xD83D);
    EXPECT_EQ(units[1], 0xDE00);
    ASSERT_EQ(utf16_encode_char(0x10FFFF, units), 2u);
    EXPECT_EQ(units[0], 0xDBFF);
    EXPECT_EQ(units[1], 0xDFFF);
    EXPECT_EQ(utf16_encode_char(0x110000, units), 0u);
    EXPECT_EQ(utf16_encode_char(0, units), 0u);

    const char16_t pair[] = {0xD83D, 0xDE00, 0};
    std::uint32_t cp = 0;
    EXPECT_EQ(utf16_decode_char(pair, &cp), 2u);
    EXPECT_EQ(cp, 0x1F600u);
    const char16_t lone_low[] = {0xDC00, 0x41, 0};
    EXPECT_EQ(utf16_decode_char(lone_low, &cp), 1u);
    EXPECT_EQ(cp, 0xDC00u);
    const char16_t nul[] = {0};
    cp = 7;
    EXPECT_EQ(utf16_decode_char(nul, &cp), 0u);
    EXPECT_EQ(cp, 0u);
    // A high surrogate at the limit is not paired with a unit beyond it.
    EXPECT_EQ(utf16_decode_char(pair, &cp, 1), 1u);
    EXPECT_EQ(cp, 0xD83Du);
}

TEST(Utf8ToWide, InvalidByteEndsTheConversion) {
    char16_t out[16];
    EXPECT_EQ(convert_utf8_to_wide("ab\xFF"
                                   "cd",
                                   out, text_until_nul),
              2u);
    EXPECT_EQ(std::u16string(out), u"ab");
    EXPECT_EQ(convert_utf8_to_wide("x\xC3", out, text_until_nul), 1u);
    EXPECT_EQ(std::u16string(out), u"x");
    EXPECT_EQ(convert_utf8_to_wide("\xC0\x80tail", out, text_until_nul), 0u);
    EXPECT_EQ(out[0], 0);
}

TEST(Utf8ToWide, LimitStopsInsideASequence) {
    char16_t out[16];
    EXPECT_EQ(convert_utf8_to_wide("a\xE2\x82\xAC", out, 3), 1u);
    EXPECT_EQ(std::u16string(out), u"a");
    EXPECT_EQ(convert_utf8_to_wide("a\xE2\x82\xAC", out, 4), 2u);
    EXPECT_EQ(std::u16string(out), u"a\u20AC");
    EXPECT_EQ(convert_utf8_to_wide(nullptr, out, 5), 0u);
    EXPECT_EQ(out[0], 0);
}

TEST(Utf8ToWide, CodePointsBeyondUtf16EndTheConversion) {
    char16_t out[16];
    EXPECT_EQ(convert_utf8_to_wide("ok\xF4\x90\x80\x80!", out, text_until_nul), 2u);
    EXPECT_EQ(std::u16string(out), u"ok");
}

TEST(WideToUtf8, SurrogatesAndUnpairedUnits) {
    char out[32];
    const char16_t emoji[] = {0xD83D, 0xDE00, 0};
    EXPECT_EQ(convert_wide_to_utf8(emoji, out, text_until_nul), 4u);
    EXPECT_STREQ(out, "\xF0\x9F\x98\x80");
    const char16_t lone[] = {0xD800, 0};
    EXPECT_EQ(convert_wide_to_utf8(lone, out, text_until_nul), 3u);
    EXPECT_STREQ(out, "\xED\xA0\x80");
    // A pair split by the limit: only the unit within the limit is read.
    EXPECT_EQ(convert_wide_to_utf8(emoji, out, 1), 3u);
    EXPECT_STREQ(out, "\xED\xA0\xBD");
}

TEST(ConversionHolders, RoundTripKeepsEveryPlane) {
    const char* text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBFz";
    const wide_from_utf8 wide(text);
    EXPECT_EQ(std::u16string(wide.get()), u"A\u00E9\u20AC\U0001F600\U0010FFFFz");
    const utf8_from_wide back(wide.get());
    EXPECT_STREQ(back.get(), text);
}

TEST(ConversionHolders, LimitsAndNullSources) {
    const wide_from_utf8 part("abcdef", 3);
    EXPECT_EQ(std::u16string(part.get()), u"abc");
    const wide_from_utf8 none(nullptr);
    EXPECT_EQ(none.get()[0], 0);
    const utf8_from_wide none8(nullptr);
    EXPECT_STREQ(none8.get(), "");
}

TEST(ConversionHolders, WorstCaseSizesSuffice) {
    // Three-byte characters only: 3 bytes per unit, the holder's worst case.
    std::u16string wide(1000, u'\uFFFD');
    const utf8_from_wide narrow(wide.c_str());
    EXPECT_EQ(std::string(narrow.get()).size(), 3000u);
    const wide_from_utf8 again(narrow.get());
    EXPECT_EQ(std::u16string(again.get()), wide);
}

TEST(ConversionHolders, OutOfMemoryReadsAsEmpty) {
    failing_heap refuse;
    const wide_from_utf8 wide("text");
    ASSERT_NE(wide.get(), nullptr);
    EXPECT_EQ(wide.get()[0], 0);
    const utf8_from_wide narrow(u"text");
    ASSERT_NE(narrow.get(), nullptr);
    EXPECT_STREQ(narrow.get(), "");
}

TEST(TextLengths, StopAtNulOrLimit) {
    EXPECT_EQ(strlen_max("hello", 3), 3u);
    EXPECT_EQ(strlen_max("hi", 10), 2u);
    EXPECT_EQ(strlen_max(nullptr, 10), 0u);
    EXPECT_EQ(wcslen_max(u"hello", 4), 4u);
    EXPECT_EQ(wcslen_max(u"hi", text_until_nul), 2u);
    EXPECT_EQ(wcslen_max(nullptr, 4), 0u);
}

} // namespace
