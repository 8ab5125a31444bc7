#include "failing_heap.h"
#include "sdk/string8.h"
#include "sdk/text_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

std::string fixed(double value, std::uint32_t decimals, bool force_sign) {
    string8 out;
    EXPECT_TRUE(format_fixed_point(out, value, decimals, force_sign));
    return out.text();
}

std::string duration(std::int64_t seconds) {
    string8 out;
    EXPECT_TRUE(format_duration(out, seconds));
    return out.text();
}

TEST(FormatFixedPoint, SignsDecimalsAndTruncation) {
    EXPECT_EQ(fixed(3.2, 2, true), "+3.20");
    EXPECT_EQ(fixed(-0.05, 2, true), "-0.05");
    EXPECT_EQ(fixed(0.25, 6, false), "0.250000");
    EXPECT_EQ(fixed(0.29, 2, false), "0.28"); // truncated, not rounded
    EXPECT_EQ(fixed(0.0, 2, true), "+0.00");
    EXPECT_EQ(fixed(-6.5, 2, true), "-6.50");
    EXPECT_EQ(fixed(12.0, 0, false), "12");
    EXPECT_EQ(fixed(0.0, 0, false), "0");
    EXPECT_EQ(fixed(123.456, 1, false), "123.4");
}

TEST(FormatFixedPoint, ValuesBeyond64BitsDoNotWrap) {
    const std::string huge = fixed(1e300, 2, false);
    EXPECT_EQ(huge, "92233720368547758.07");
    EXPECT_EQ(fixed(std::nan(""), 2, false), "0.00");
}

TEST(ParseReal, SignsSeparatorsAndExponents) {
    EXPECT_DOUBLE_EQ(parse_real("  -12.5"), -12.5);
    EXPECT_DOUBLE_EQ(parse_real("+3,25 dB"), 3.25);
    EXPECT_DOUBLE_EQ(parse_real("1.5e3"), 1500.0);
    EXPECT_DOUBLE_EQ(parse_real("25E-1"), 2.5);
    EXPECT_DOUBLE_EQ(parse_real("1.2.3"), 1.2);
    EXPECT_DOUBLE_EQ(parse_real("0.000001"), 1e-6);
    EXPECT_DOUBLE_EQ(parse_real("abc"), 0.0);
    EXPECT_DOUBLE_EQ(parse_real(""), 0.0);
    EXPECT_DOUBLE_EQ(parse_real(nullptr), 0.0);
}

TEST(ParseReal, LongDigitStringsDoNotOverflow) {
    EXPECT_NEAR(parse_real("123456789012345678901234567890"), 1.2345678901234568e29, 1e15);
    EXPECT_NEAR(parse_real("0.1234567890123456789012345"), 0.12345678901234568, 1e-15);
}

TEST(FormatDuration, UnitsAppearAsNeeded) {
    EXPECT_EQ(duration(59), "0:59");
    EXPECT_EQ(duration(61), "1:01");
    EXPECT_EQ(duration(3600), "1:00:00");
    EXPECT_EQ(duration(90061), "1d 1:01:01");
    EXPECT_EQ(duration(694861), "1wk 1d 1:01:01");
    EXPECT_EQ(duration(604800), "1wk 0d 0:00:00");
    EXPECT_EQ(duration(-5), "0:00");
}

std::string formatted(const char* format, ...) {
    va_list args;
    va_start(args, format);
    string8 out("previous");
    EXPECT_TRUE(format_into(out, format, args));
    va_end(args);
    return out.text();
}

TEST(FormatInto, ConversionsFlagsAndWidths) {
    EXPECT_EQ(formatted("100%% %s", "done"), "100% done");
    EXPECT_EQ(formatted("[%5s|%-s]", "ab", "c"), "[   ab|-s]");
    EXPECT_EQ(formatted("%i %d %I %D", -3, 4, 5, 6), "-3 4 5 6");
    EXPECT_EQ(formatted("%u %U", 4000000000u, 7u), "4000000000 7");
    EXPECT_EQ(formatted("%x %X %08X", 255u, 255u, 0xBEEFu), "ff FF 0000BEEF");
    EXPECT_EQ(formatted("%c%C%5c", 'o', 'k', '!'), "ok!");
    EXPECT_EQ(formatted("%+i %+i %+i", 5, 0, -5), "+5 0 -5");
    EXPECT_EQ(formatted("%+04i", 7), "+0007");
    EXPECT_EQ(formatted("%4i|%04i", -5, -5), "  -5|-005");
    EXPECT_EQ(formatted("%q%s", "x"), "qx");
    EXPECT_EQ(formatted("%3s", "\xC3\xA9"), "  \xC3\xA9");
    EXPECT_EQ(formatted("%s", static_cast<const char*>(nullptr)), "");
    EXPECT_EQ(formatted("tail %"), "tail ");
    EXPECT_EQ(formatted(""), "");
}

TEST(FormatInto, ArgumentMayBeTheTargetItself) {
    string8 s("abc");
    ASSERT_TRUE(s.format("<%s>", s.text()));
    EXPECT_STREQ(s.text(), "<abc>");
}

TEST(FormatInto, OutOfMemoryKeepsTheTarget) {
    string8 s("kept");
    failing_heap refuse;
    EXPECT_FALSE(s.format("%s", "new"));
    EXPECT_STREQ(s.text(), "kept");
}

} // namespace
