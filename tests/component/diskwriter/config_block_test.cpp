#include "diskwriter/config_block.h"

#include "sdk/string8.h"
#include "test_host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using diskwriter_test::ConfigBlock;
using diskwriter_test::RecordingSink;

TEST(ConfigBlock, DefaultBlockIsIndexTwoAndAnEmptyTextInThreeWrites) {
    RecordingSink sink;
    WriteDefaultConfigBlock(sink);
    EXPECT_EQ(sink.Bytes(), (std::vector<unsigned char>{2, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_EQ(sink.writes.size(), 3u);
    EXPECT_EQ(sink.writes[0].size(), 4u);
    EXPECT_EQ(sink.writes[1].size(), 4u);
    EXPECT_EQ(sink.writes[2].size(), 0u) << "an empty text is still one write of 0 bytes";
}

TEST(ConfigBlock, ReadingTheDefaultBlockSelectsIndexTwoAndEmptiesTheText) {
    std::int32_t index = 7;
    string8 text("old");
    const auto block = ConfigBlock(2, "");
    EXPECT_TRUE(
        ReadConfigBlock(block.data(), static_cast<std::uint32_t>(block.size()), index, text));
    EXPECT_EQ(index, 2);
    EXPECT_STREQ(text.text(), "");
}

TEST(ConfigBlock, FourBytesSetTheIndexButReportNoText) {
    std::int32_t index = 0;
    string8 text("kept");
    const unsigned char block[4] = {9, 0, 0, 0};
    EXPECT_FALSE(ReadConfigBlock(block, 4, index, text));
    EXPECT_EQ(index, 9);
    EXPECT_STREQ(text.text(), "kept");
}

TEST(ConfigBlock, ShorterThanAnIndexChangesNothing) {
    std::int32_t index = 4;
    string8 text("kept");
    const unsigned char block[3] = {1, 0, 0};
    EXPECT_FALSE(ReadConfigBlock(block, 3, index, text));
    EXPECT_FALSE(ReadConfigBlock(nullptr, 0, index, text));
    EXPECT_FALSE(ReadConfigBlock(nullptr, 16, index, text));
    EXPECT_EQ(index, 4);
    EXPECT_STREQ(text.text(), "kept");
}

TEST(ConfigBlock, ACutTextKeepsTheOldTextButTakesTheIndex) {
    std::int32_t index = 0;
    string8 text("kept");
    auto block = ConfigBlock(9, "<profile name=\"x\"/>");
    block.pop_back();
    EXPECT_FALSE(
        ReadConfigBlock(block.data(), static_cast<std::uint32_t>(block.size()), index, text));
    EXPECT_EQ(index, 9);
    EXPECT_STREQ(text.text(), "kept");
}

TEST(ConfigBlock, ALengthBeyondTheBlockIsRefusedWithoutOverflow) {
    std::int32_t index = 0;
    string8 text("kept");
    std::vector<unsigned char> block = {3, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b'};
    EXPECT_FALSE(
        ReadConfigBlock(block.data(), static_cast<std::uint32_t>(block.size()), index, text));
    EXPECT_EQ(index, 3);
    EXPECT_STREQ(text.text(), "kept");
}

TEST(ConfigBlock, AnEmbeddedZeroEndsTheText) {
    std::int32_t index = 0;
    string8 text;
    const auto block = ConfigBlock(9, std::string("ab\0cd", 5));
    EXPECT_TRUE(
        ReadConfigBlock(block.data(), static_cast<std::uint32_t>(block.size()), index, text));
    EXPECT_STREQ(text.text(), "ab");
}

TEST(ConfigBlock, IndexIsSignedLittleEndianAndStoredWhateverItsValue) {
    std::int32_t index = 0;
    string8 text;
    const auto block = ConfigBlock(-2, "");
    EXPECT_TRUE(
        ReadConfigBlock(block.data(), static_cast<std::uint32_t>(block.size()), index, text));
    EXPECT_EQ(index, -2);
    const auto large = ConfigBlock(0x01020304, "");
    EXPECT_TRUE(
        ReadConfigBlock(large.data(), static_cast<std::uint32_t>(large.size()), index, text));
    EXPECT_EQ(index, 0x01020304);
}

TEST(ConfigBlock, SevenHundredByteTextRoundTripsAsA708ByteBlock) {
    std::string profile(700, 'x');
    for (std::size_t i = 0; i < profile.size(); ++i)
        profile[i] = static_cast<char>('a' + i % 26);
    const auto input = ConfigBlock(9, profile);
    std::int32_t index = 0;
    string8 text;
    ASSERT_TRUE(
        ReadConfigBlock(input.data(), static_cast<std::uint32_t>(input.size()), index, text));
    RecordingSink sink;
    WriteConfigBlock(sink, index, text.text());
    EXPECT_EQ(sink.Bytes().size(), 708u);
    EXPECT_EQ(sink.Bytes(), input);
    ASSERT_EQ(sink.writes.size(), 3u);
    EXPECT_EQ(sink.writes[2].size(), 700u);
}

} // namespace
