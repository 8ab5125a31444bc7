#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <thread>
#include <vector>

#include "services/host_chunk.h"
#include "services/host_services.h"
#include "services/pcm_conversion.h"

namespace vantrel {
namespace {

std::int16_t one(double value) {
    std::int16_t out = 0;
    convert_to_int16(&value, 1, &out);
    return out;
}

TEST(PcmConversion, ScalesBy32768AndRoundsToNearest) {
    EXPECT_EQ(one(0.0), 0);
    EXPECT_EQ(one(0.5), 16384);
    EXPECT_EQ(one(-0.5), -16384);
    EXPECT_EQ(one(1.4 / 32768), 1);
    EXPECT_EQ(one(1.6 / 32768), 2);
    EXPECT_EQ(one(-1.6 / 32768), -2);
    EXPECT_EQ(one(0.4 / 32768), 0);
    // Halves go away from zero, the same on both sides.
    EXPECT_EQ(one(2.5 / 32768), 3);
    EXPECT_EQ(one(-2.5 / 32768), -3);
    // Just below a half stays down: adding 0.5 first would round it up.
    EXPECT_EQ(one(0.49999999999999994 / 32768), 0);
    EXPECT_EQ(one(-0.49999999999999994 / 32768), 0);
}

TEST(PcmConversion, ClipsToTheSixteenBitRange) {
    EXPECT_EQ(one(1.0), 32767);
    EXPECT_EQ(one(32767.4 / 32768), 32767);
    EXPECT_EQ(one(-1.0), -32768);
    EXPECT_EQ(one(2.0), 32767);
    EXPECT_EQ(one(-7.5), -32768);
    EXPECT_EQ(one(std::numeric_limits<double>::infinity()), 32767);
    EXPECT_EQ(one(-std::numeric_limits<double>::infinity()), -32768);
    EXPECT_EQ(one(1e300), 32767);
}

TEST(PcmConversion, NotANumberBecomesSilence) {
    EXPECT_EQ(one(std::nan("")), 0);
}

TEST(PcmConversion, WritesLittleEndianBytes) {
    double values[2] = {-1.0, 256.0 / 32768};
    std::int16_t out[2];
    convert_to_int16(values, 2, out);
    unsigned char bytes[4];
    std::memcpy(bytes, out, 4);
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[1], 0x80);
    EXPECT_EQ(bytes[2], 0x00);
    EXPECT_EQ(bytes[3], 0x01);
}

TEST(PcmConversion, LongBlocksMatchTheSingleValueRule) {
    std::vector<double> values(10007);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = std::sin(static_cast<double>(i) * 0.01) * 1.3;
    std::vector<std::int16_t> out(values.size());
    convert_to_int16(values.data(), values.size(), out.data());
    for (std::size_t i = 0; i < values.size(); ++i) {
        double expected = std::clamp(std::round(values[i] * 32768), -32768.0, 32767.0);
        ASSERT_EQ(out[i], static_cast<std::int16_t>(expected)) << i;
    }
}

TEST(PcmConversion, BlocksTreatEdgeValuesLikeSingleValues) {
    // Long blocks go through the vector path; every special value must come out
    // as the one-value rule gives it, wherever it sits in the block.
    const double edges[] = {0.0,
                            -0.0,
                            2.5 / 32768,
                            -2.5 / 32768,
                            0.49999999999999994 / 32768,
                            -0.49999999999999994 / 32768,
                            1.49999999999999978 / 32768,
                            1.6 / 32768,
                            -1.6 / 32768,
                            1.0,
                            -1.0,
                            32767.4 / 32768,
                            -7.5,
                            1e300,
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            std::nan("")};
    std::vector<double> values;
    for (int repeat = 0; repeat < 3; ++repeat)
        values.insert(values.end(), std::begin(edges), std::end(edges));
    std::vector<std::int16_t> out(values.size());
    convert_to_int16(values.data(), values.size(), out.data());
    for (std::size_t i = 0; i < values.size(); ++i)
        ASSERT_EQ(out[i], one(values[i])) << i;
}

class PcmConverterService : public ::testing::Test {
protected:
    host_chunk chunk_;
    host_pcm_converter converter_;

    void fill(std::uint32_t frames, std::uint32_t channels, double first) {
        chunk_.resize_data(frames * channels);
        for (std::uint32_t i = 0; i < frames * channels; ++i)
            chunk_.sample_data()[i] = first + i / 32768.0;
        chunk_.set_sample_count(frames);
        chunk_.set_channel_count(channels);
        chunk_.set_sample_rate(44100);
    }
};

TEST_F(PcmConverterService, ConvertsEveryValueOfTheChunk) {
    fill(3, 2, 0.0);
    pcm_block block{};
    ASSERT_TRUE(converter_.convert(chunk_, block, 16, true, false));
    ASSERT_EQ(block.size, 12u);
    auto* samples = static_cast<const std::int16_t*>(block.data);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(samples[i], i);
}

TEST_F(PcmConverterService, WritesTwentyFourBitsAsThreeLittleEndianBytes) {
    fill(2, 1, 0.0);
    chunk_.sample_data()[0] = -1.0;
    chunk_.sample_data()[1] = 0x123456 / 8388608.0;
    pcm_block block{};
    ASSERT_TRUE(converter_.convert(chunk_, block, 24, true, false));
    ASSERT_EQ(block.size, 6u);
    const auto* bytes = static_cast<const unsigned char*>(block.data);
    EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 6),
              (std::vector<unsigned char>{0x00, 0x00, 0x80, 0x56, 0x34, 0x12}));
    chunk_.sample_data()[0] = 2.0;
    chunk_.sample_data()[1] = 0.49999999999999994 / 8388608.0;
    ASSERT_TRUE(converter_.convert(chunk_, block, 24, true, false));
    bytes = static_cast<const unsigned char*>(block.data);
    EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 6),
              (std::vector<unsigned char>{0xFF, 0xFF, 0x7F, 0, 0, 0}));
}

TEST_F(PcmConverterService, RefusesOtherFormatsWithAnEmptyBlock) {
    fill(4, 1, 0.0);
    pcm_block block{&block, 99};
    EXPECT_FALSE(converter_.convert(chunk_, block, 32, true, false));
    EXPECT_EQ(block.data, nullptr);
    EXPECT_EQ(block.size, 0u);
    EXPECT_FALSE(converter_.convert(chunk_, block, 16, false, false));
    EXPECT_FALSE(converter_.convert(chunk_, block, 16, true, true));
}

TEST_F(PcmConverterService, RefusesAChunkClaimingMoreSamplesThanItHolds) {
    fill(4, 2, 0.0);
    chunk_.set_sample_count(5);
    pcm_block block{};
    EXPECT_FALSE(converter_.convert(chunk_, block, 16, true, false));
}

TEST_F(PcmConverterService, AnEmptyChunkGivesAnEmptyBlock) {
    fill(4, 2, 0.0);
    chunk_.set_sample_count(0);
    pcm_block block{};
    EXPECT_TRUE(converter_.convert(chunk_, block, 16, true, false));
    EXPECT_EQ(block.size, 0u);
}

TEST_F(PcmConverterService, EachThreadKeepsItsOwnBlock) {
    fill(1000, 2, 0.0);
    pcm_block mine{};
    ASSERT_TRUE(converter_.convert(chunk_, mine, 16, true, false));
    std::vector<std::int16_t> before(static_cast<const std::int16_t*>(mine.data),
                                     static_cast<const std::int16_t*>(mine.data) + 2000);
    std::thread other([&] {
        host_chunk theirs;
        theirs.resize_data(4000);
        for (int i = 0; i < 4000; ++i)
            theirs.sample_data()[i] = -0.25;
        theirs.set_sample_count(2000);
        theirs.set_channel_count(2);
        pcm_block block{};
        for (int round = 0; round < 50; ++round)
            ASSERT_TRUE(converter_.convert(theirs, block, 16, true, false));
        EXPECT_EQ(static_cast<const std::int16_t*>(block.data)[3999], -8192);
    });
    other.join();
    std::vector<std::int16_t> after(static_cast<const std::int16_t*>(mine.data),
                                    static_cast<const std::int16_t*>(mine.data) + 2000);
    EXPECT_EQ(before, after);
}

} // namespace
} // namespace vantrel
