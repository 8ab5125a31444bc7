// The configuration block codec that the disk writer and the host share.
#include "vantrel/wma_config_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Recorded {
    std::vector<std::vector<unsigned char>> writes;
    std::vector<unsigned char> bytes;
};

Recorded Write(std::int32_t index, std::string_view text) {
    Recorded r;
    wma_config::write(
        [&r](const void* data, std::size_t count) {
            const auto* p = static_cast<const unsigned char*>(data);
            r.writes.emplace_back(p, p + count);
            r.bytes.insert(r.bytes.end(), p, p + count);
        },
        index, text);
    return r;
}

TEST(ConfigBlock, WritesIndexLengthAndTextLittleEndianInThreeWrites) {
    const Recorded fresh = Write(wma_config::default_preset_index, "");
    EXPECT_EQ(fresh.bytes, (std::vector<unsigned char>{2, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_EQ(fresh.writes.size(), 3u);
    EXPECT_EQ(fresh.writes[2].size(), 0u) << "an empty text is still one write of 0 bytes";
    EXPECT_EQ(wma_config::make_default(), fresh.bytes);

    std::string text(700, 'x');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char>('a' + i % 26);
    const auto block = wma_config::make(wma_config::custom_profile_index, text);
    ASSERT_EQ(block.size(), 708u);
    EXPECT_EQ(block[0], 9);
    EXPECT_EQ(block[4], 700 & 0xFF);
    EXPECT_EQ(block[5], 700 >> 8);
    EXPECT_EQ(std::string(block.begin() + 8, block.end()), text);
    EXPECT_EQ(wma_config::make(-1, "")[3], 0xFF) << "the index is signed";

    const auto read = wma_config::read(block.data(), block.size());
    ASSERT_TRUE(read.preset_index && read.profile_text);
    EXPECT_EQ(*read.preset_index, 9);
    EXPECT_EQ(*read.profile_text, text);
}

TEST(ConfigBlock, ReadsAsFarAsTheBlockGoes) {
    const unsigned char four[4] = {9, 0, 0, 0};
    auto read = wma_config::read(four, 4);
    EXPECT_EQ(read.preset_index, 9);
    EXPECT_FALSE(read.profile_text) << "no length: no text";

    EXPECT_FALSE(wma_config::read(four, 3).preset_index);
    EXPECT_FALSE(wma_config::read(nullptr, 16).preset_index);

    auto cut = wma_config::make(9, "<profile name=\"x\"/>");
    cut.pop_back();
    read = wma_config::read(cut.data(), cut.size());
    EXPECT_EQ(read.preset_index, 9);
    EXPECT_FALSE(read.profile_text) << "a cut text is no text";

    const unsigned char huge[] = {3, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b'};
    read = wma_config::read(huge, sizeof huge);
    EXPECT_EQ(read.preset_index, 3);
    EXPECT_FALSE(read.profile_text) << "a length past the end must not wrap around";

    const auto zero = wma_config::make(9, std::string("ab\0cd", 5));
    read = wma_config::read(zero.data(), zero.size());
    ASSERT_TRUE(read.profile_text);
    EXPECT_EQ(*read.profile_text, "ab") << "an embedded zero ends the text";

    const auto large = wma_config::make(0x01020304, "");
    EXPECT_EQ(wma_config::read(large.data(), large.size()).preset_index, 0x01020304);
}

} // namespace
