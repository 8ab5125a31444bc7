#include "failing_heap.h"
#include "sdk/sample_chunk_i.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

std::vector<double> values_of(const sample_chunk& chunk) {
    const std::uint32_t n = chunk.sample_count() * chunk.channel_count();
    return {chunk.sample_data(), chunk.sample_data() + n};
}

TEST(SampleChunkStorage, NewChunkIsEmpty) {
    sample_chunk_i chunk;
    EXPECT_EQ(chunk.raw_data(), nullptr);
    EXPECT_EQ(chunk.data_capacity(), 0u);
    EXPECT_TRUE(chunk.is_empty());
    EXPECT_FALSE(chunk.is_valid());
}

TEST(SampleChunkStorage, BlockHasSevenSpareBytesAndAlignedData) {
    sample_chunk_i chunk;
    sample_t* data = chunk.resize_data(10);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(chunk.block().size, 87u);
    EXPECT_EQ(chunk.data_capacity(), 10u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(data) % 8, 0u);
    EXPECT_EQ(chunk.raw_data(), chunk.sample_data());
    for (int i = 0; i < 10; ++i) {
        data[i] = i;
    }
    data = chunk.resize_data(1000);
    EXPECT_EQ(data[9], 9.0);
    data = chunk.resize_data(3);
    EXPECT_EQ(data[2], 2.0);
    EXPECT_EQ(chunk.data_capacity(), 3u);
}

TEST(SampleChunkStorage, HugeCountsFailWithoutWrapping) {
    sample_chunk_i chunk;
    chunk.resize_data(4);
    EXPECT_EQ(chunk.resize_data(0x20000000u), nullptr);
    EXPECT_EQ(chunk.data_capacity(), 4u);
    EXPECT_FALSE(chunk.set_samples(nullptr, 0x10000, 0x10000, 44100));
    EXPECT_TRUE(chunk.is_empty());
}

TEST(SampleChunkStorage, EnsureCapacityNeverShrinks) {
    sample_chunk_i chunk;
    chunk.resize_data(100);
    chunk.ensure_capacity(10);
    EXPECT_EQ(chunk.data_capacity(), 100u);
    chunk.ensure_capacity(200);
    EXPECT_EQ(chunk.data_capacity(), 200u);
}

TEST(SampleChunkValidity, EveryRuleInTurn) {
    sample_chunk_i chunk;
    chunk.set_samples(nullptr, 1, 2, 44100);
    EXPECT_EQ(chunk.data_capacity(), 2u);
    EXPECT_TRUE(chunk.is_valid());
    chunk.set_channel_count(0);
    EXPECT_FALSE(chunk.is_valid());
    chunk.set_channel_count(257);
    EXPECT_FALSE(chunk.is_valid());
    chunk.set_channel_count(2);
    chunk.set_sample_rate(999);
    EXPECT_FALSE(chunk.is_valid());
    chunk.set_sample_rate(1000001);
    EXPECT_FALSE(chunk.is_valid());
    chunk.set_sample_rate(1000);
    EXPECT_TRUE(chunk.is_valid());
    chunk.set_sample_count(0);
    EXPECT_FALSE(chunk.is_valid());
    chunk.set_sample_count(2); // needs 4 values, holds 2
    EXPECT_FALSE(chunk.is_valid());
    chunk.set_sample_count(0x80000000u / 16); // at the count limit for 2 channels
    EXPECT_FALSE(chunk.is_valid());
}

TEST(SampleChunkSetters, CopyOrSilenceAndReset) {
    const double source[4] = {0.1, 0.2, 0.3, 0.4};
    sample_chunk_i chunk;
    ASSERT_TRUE(chunk.set_samples(source, 2, 2, 48000));
    EXPECT_EQ(values_of(chunk), (std::vector<double>{0.1, 0.2, 0.3, 0.4}));
    ASSERT_TRUE(chunk.set_samples(nullptr, 1, 2, 48000));
    EXPECT_EQ(values_of(chunk), (std::vector<double>{0.0, 0.0}));
    const float floats[3] = {0.5f, -0.25f, 1.0f};
    ASSERT_TRUE(chunk.set_from_float32(floats, 3, 1, 8000));
    EXPECT_EQ(values_of(chunk), (std::vector<double>{0.5, -0.25, 1.0}));
    chunk.reset();
    EXPECT_TRUE(chunk.is_empty());
    EXPECT_EQ(chunk.data_capacity(), 4u); // the block stays for reuse
}

TEST(SampleChunkSetters, OutOfMemoryResets) {
    sample_chunk_i chunk;
    chunk.set_samples(nullptr, 1, 1, 8000);
    failing_heap refuse;
    EXPECT_FALSE(chunk.set_samples(nullptr, 100, 2, 8000));
    EXPECT_TRUE(chunk.is_empty());
    EXPECT_EQ(chunk.channel_count(), 0u);
    const float f[100] = {};
    EXPECT_FALSE(chunk.set_from_float32(f, 100, 1, 8000));
    EXPECT_EQ(chunk.sample_rate(), 0u);
}

TEST(SampleChunkPadding, EmptyChunkBecomesSilence) {
    sample_chunk_i chunk;
    EXPECT_FALSE(chunk.pad_to_length(10, 0, 44100));
    EXPECT_FALSE(chunk.pad_to_length(10, 2, 0));
    ASSERT_TRUE(chunk.pad_to_length(3, 2, 44100));
    EXPECT_EQ(chunk.sample_count(), 3u);
    EXPECT_EQ(values_of(chunk), std::vector<double>(6, 0.0));
}

TEST(SampleChunkPadding, GrowsWithZerosAndRescalesTheRate) {
    const double source[2] = {0.5, -0.5};
    sample_chunk_i chunk;
    chunk.set_samples(source, 1, 2, 48000);
    ASSERT_TRUE(chunk.pad_to_length(3));
    EXPECT_EQ(values_of(chunk), (std::vector<double>{0.5, -0.5, 0, 0, 0, 0}));
    EXPECT_TRUE(chunk.pad_to_length(2)); // already longer
    EXPECT_EQ(chunk.sample_count(), 3u);
    // 441 samples at 44100 Hz are 480 at the chunk's 48000 Hz.
    ASSERT_TRUE(chunk.pad_to_length(441, 2, 44100));
    EXPECT_EQ(chunk.sample_count(), 480u);
    // Rounded to nearest: 1 sample at 96000 Hz is half a sample at 48000.
    sample_chunk_i other;
    other.set_samples(nullptr, 0, 1, 48000);
    other.set_sample_count(0);
    other.set_samples(source, 1, 1, 48000);
    ASSERT_TRUE(other.pad_to_length(3, 1, 96000)); // 1.5 rounds to 2
    EXPECT_EQ(other.sample_count(), 2u);
}

TEST(SampleChunkPadding, FailedGrowthKeepsTheData) {
    const double source[2] = {0.5, -0.5};
    sample_chunk_i chunk;
    chunk.set_samples(source, 1, 2, 48000);
    failing_heap refuse;
    EXPECT_FALSE(chunk.pad_to_length(1000));
    EXPECT_EQ(values_of(chunk), (std::vector<double>{0.5, -0.5}));
    EXPECT_FALSE(chunk.insert_silence_at_start(1000));
    EXPECT_EQ(values_of(chunk), (std::vector<double>{0.5, -0.5}));
}

TEST(SampleChunkEditing, SilenceAtStartMovesTheValuesUp) {
    const double source[4] = {1, 2, 3, 4};
    sample_chunk_i chunk;
    chunk.set_samples(source, 2, 2, 44100);
    ASSERT_TRUE(chunk.insert_silence_at_start(1));
    EXPECT_EQ(values_of(chunk), (std::vector<double>{0, 0, 1, 2, 3, 4}));
    ASSERT_TRUE(chunk.insert_silence_at_start(0));
    EXPECT_EQ(chunk.sample_count(), 3u);
}

TEST(SampleChunkEditing, SkipFirstSamples) {
    const double source[6] = {1, 2, 3, 4, 5, 6};
    sample_chunk_i chunk;
    chunk.set_samples(source, 3, 2, 44100);
    EXPECT_EQ(chunk.skip_first_samples(1), 1u);
    EXPECT_EQ(values_of(chunk), (std::vector<double>{3, 4, 5, 6}));
    EXPECT_EQ(chunk.data_capacity(), 4u);
    EXPECT_EQ(chunk.skip_first_samples(0), 0u);
    EXPECT_EQ(chunk.sample_count(), 2u);

    sample_chunk_i five;
    five.set_samples(nullptr, 5, 1, 44100);
    EXPECT_EQ(five.skip_first_samples(10), 5u);
    EXPECT_EQ(five.sample_count(), 0u);
    EXPECT_EQ(five.data_capacity(), 0u);
}

TEST(SampleChunkDenormals, FloatAndDoubleLayouts) {
    float f[4] = {std::numeric_limits<float>::denorm_min(), 1e-40f, 1e-30f, -0.0f};
    sample_chunk::flush_denormals(f, 4);
    EXPECT_EQ(f[0], 0.0f);
    EXPECT_EQ(f[1], 0.0f);
    EXPECT_EQ(f[2], 1e-30f);
    EXPECT_TRUE(std::signbit(f[3]));
    double d[3] = {std::numeric_limits<double>::denorm_min(), -1e-310, 1e-300};
    sample_chunk::flush_denormals(d, 3);
    EXPECT_EQ(d[0], 0.0);
    EXPECT_EQ(d[1], 0.0);
    EXPECT_EQ(d[2], 1e-300);
}

} // namespace
