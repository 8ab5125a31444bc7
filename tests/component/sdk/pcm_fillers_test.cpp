#include "failing_heap.h"
#include "sdk/sample_chunk_i.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr std::uint32_t kSigned = sample_chunk::flag_signed;
constexpr std::uint32_t kBig = sample_chunk::flag_big_endian;

// Fills one mono chunk from `bytes` and answers its values.
std::vector<double> integers(std::vector<std::uint8_t> bytes, std::uint32_t bits,
                             std::uint32_t flags) {
    sample_chunk_i chunk;
    EXPECT_TRUE(chunk.set_from_integer_pcm(bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                                           44100, 1, bits, flags));
    return {chunk.sample_data(), chunk.sample_data() + chunk.sample_count()};
}

TEST(IntegerPcm8, UnsignedAndSigned) {
    EXPECT_EQ(integers({0x80, 0x00, 0xFF}, 8, 0), (std::vector<double>{0.0, -1.0, 127.0 / 128}));
    EXPECT_EQ(integers({0x80, 0x00, 0x7F}, 8, kSigned),
              (std::vector<double>{-1.0, 0.0, 127.0 / 128}));
    // Single bytes have no byte order.
    EXPECT_EQ(integers({0x01}, 8, kSigned | kBig), (std::vector<double>{1.0 / 128}));
}

TEST(IntegerPcm16, EveryByteOrderAndSignedness) {
    EXPECT_EQ(integers({0x00, 0x80, 0xFF, 0x7F}, 16, kSigned),
              (std::vector<double>{-1.0, 32767.0 / 32768}));
    EXPECT_EQ(integers({0x80, 0x00, 0x7F, 0xFF}, 16, kSigned | kBig),
              (std::vector<double>{-1.0, 32767.0 / 32768}));
    EXPECT_EQ(integers({0x00, 0x80, 0x00, 0x00, 0xFF, 0xFF}, 16, 0),
              (std::vector<double>{0.0, -1.0, 32767.0 / 32768}));
    EXPECT_EQ(integers({0x80, 0x00, 0x00, 0x01}, 16, kBig),
              (std::vector<double>{0.0, -32767.0 / 32768}));
}

TEST(IntegerPcm24, EveryByteOrderAndSignedness) {
    EXPECT_EQ(integers({0x00, 0x00, 0x80}, 24, kSigned), (std::vector<double>{-1.0}));
    EXPECT_EQ(integers({0x00, 0x00, 0x80}, 24, kSigned | kBig),
              (std::vector<double>{128.0 / 8388608}));
    EXPECT_EQ(integers({0xFF, 0xFF, 0x7F}, 24, kSigned),
              (std::vector<double>{8388607.0 / 8388608}));
    EXPECT_EQ(integers({0xFF, 0xFF, 0xFF}, 24, kSigned), (std::vector<double>{-1.0 / 8388608}));
    EXPECT_EQ(integers({0x00, 0x00, 0x80}, 24, 0), (std::vector<double>{0.0}));
    EXPECT_EQ(integers({0x80, 0x00, 0x01}, 24, kBig), (std::vector<double>{1.0 / 8388608}));
}

TEST(IntegerPcm32, EveryByteOrderAndSignedness) {
    EXPECT_EQ(integers({0xFF, 0xFF, 0xFF, 0x7F}, 32, kSigned),
              (std::vector<double>{2147483647.0 / 2147483648.0}));
    EXPECT_EQ(integers({0x00, 0x00, 0x00, 0x80}, 32, kSigned), (std::vector<double>{-1.0}));
    EXPECT_EQ(integers({0x80, 0x00, 0x00, 0x00}, 32, kSigned | kBig), (std::vector<double>{-1.0}));
    EXPECT_EQ(integers({0x00, 0x00, 0x00, 0x80}, 32, 0), (std::vector<double>{0.0}));
    EXPECT_EQ(integers({0x00, 0x00, 0x00, 0x00}, 32, kBig), (std::vector<double>{-1.0}));
}

TEST(IntegerPcmWide, FortyToSixtyFourBits) {
    EXPECT_EQ(integers({0, 0, 0, 0, 0x80}, 40, kSigned), (std::vector<double>{-1.0}));
    EXPECT_EQ(integers({0x80, 0, 0, 0, 0}, 40, kSigned | kBig), (std::vector<double>{-1.0}));
    EXPECT_EQ(integers({1, 0, 0, 0, 0}, 40, kSigned), (std::vector<double>{0x1p-39}));
    EXPECT_EQ(integers({0, 0, 0, 0, 0, 0x80}, 48, 0), (std::vector<double>{0.0}));
    EXPECT_EQ(integers({0, 0, 0, 0, 0, 0x40}, 48, kSigned), (std::vector<double>{0.5}));
    EXPECT_EQ(integers({0, 0, 0, 0, 0, 0, 1}, 56, kSigned | kBig), (std::vector<double>{0x1p-55}));
    EXPECT_EQ(integers({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 56, kSigned),
              (std::vector<double>{-0x1p-55}));
    EXPECT_EQ(integers({0, 0, 0, 0, 0, 0, 0, 0x80}, 64, kSigned), (std::vector<double>{-1.0}));
    EXPECT_EQ(integers({0, 0, 0, 0, 0, 0, 0, 0}, 64, 0), (std::vector<double>{-1.0}));
    EXPECT_EQ(integers({0, 0, 0, 0, 0, 0, 0, 2}, 64, kSigned | kBig),
              (std::vector<double>{0x1p-62}));
}

TEST(IntegerPcm, UnsupportedWidthFillsZerosButSetsTheNumbers) {
    const std::vector<std::uint8_t> bytes(8, 0x55);
    sample_chunk_i chunk;
    ASSERT_TRUE(chunk.set_from_integer_pcm(bytes.data(), 8, 22050, 2, 20, kSigned));
    EXPECT_EQ(chunk.sample_count(), 2u); // 8 bytes / 2 per value / 2 channels
    EXPECT_EQ(chunk.channel_count(), 2u);
    EXPECT_EQ(chunk.sample_rate(), 22050u);
    for (std::uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(chunk.sample_data()[i], 0.0);
    }
}

TEST(IntegerPcm, InterleavedStereoCounts) {
    const std::uint8_t bytes[] = {0x00, 0x40, 0x00, 0xC0, 0x00, 0x20, 0x00, 0xE0, 0x11};
    sample_chunk_i chunk;
    ASSERT_TRUE(chunk.set_from_integer_pcm(bytes, sizeof bytes, 48000, 2, 16, kSigned));
    EXPECT_EQ(chunk.sample_count(), 2u); // the odd trailing byte is ignored
    const double* v = chunk.sample_data();
    EXPECT_EQ(v[0], 0.5);
    EXPECT_EQ(v[1], -0.5);
    EXPECT_EQ(v[2], 0.25);
    EXPECT_EQ(v[3], -0.25);
}

TEST(IntegerPcm, NoChannelsOrSubByteWidthsAreRefused) {
    const std::uint8_t bytes[4] = {};
    sample_chunk_i chunk;
    chunk.set_samples(nullptr, 1, 1, 8000);
    EXPECT_FALSE(chunk.set_from_integer_pcm(bytes, 4, 8000, 0, 16, kSigned));
    EXPECT_TRUE(chunk.is_empty());
    EXPECT_FALSE(chunk.set_from_integer_pcm(bytes, 4, 8000, 1, 4, kSigned));
    EXPECT_FALSE(chunk.set_from_float_pcm(bytes, 4, 8000, 0, 32, 0));
}

TEST(FloatPcm, ThirtyTwoAndSixtyFourBitsInBothOrders) {
    const float f[2] = {0.25f, -1.5f};
    sample_chunk_i chunk;
    ASSERT_TRUE(chunk.set_from_float_pcm(f, sizeof f, 44100, 2, 32, 0));
    EXPECT_EQ(chunk.sample_count(), 1u);
    EXPECT_EQ(chunk.sample_data()[0], 0.25);
    EXPECT_EQ(chunk.sample_data()[1], -1.5);

    const std::uint8_t big_float[4] = {0x3F, 0x00, 0x00, 0x00}; // 0.5f
    ASSERT_TRUE(chunk.set_from_float_pcm(big_float, 4, 44100, 1, 32, kBig));
    EXPECT_EQ(chunk.sample_data()[0], 0.5);

    const double d = -0.125;
    ASSERT_TRUE(chunk.set_from_float_pcm(&d, 8, 96000, 1, 64, 0));
    EXPECT_EQ(chunk.sample_data()[0], -0.125);
    std::uint8_t big_double[8];
    std::memcpy(big_double, &d, 8);
    for (int i = 0; i < 4; ++i) {
        std::swap(big_double[i], big_double[7 - i]);
    }
    ASSERT_TRUE(chunk.set_from_float_pcm(big_double, 8, 96000, 1, 64, kBig));
    EXPECT_EQ(chunk.sample_data()[0], -0.125);
}

TEST(FloatPcm, OtherWidthsFillZeros) {
    const std::uint8_t bytes[6] = {1, 2, 3, 4, 5, 6};
    sample_chunk_i chunk;
    ASSERT_TRUE(chunk.set_from_float_pcm(bytes, 6, 8000, 1, 16, 0));
    EXPECT_EQ(chunk.sample_count(), 3u);
    EXPECT_EQ(chunk.sample_data()[2], 0.0);
}

TEST(PcmOutOfMemory, FillersResetTheChunk) {
    sample_chunk_i chunk;
    chunk.set_samples(nullptr, 2, 1, 8000);
    std::vector<std::uint8_t> bytes(400, 0);
    failing_heap refuse;
    EXPECT_FALSE(chunk.set_from_integer_pcm(bytes.data(), 400, 8000, 1, 16, kSigned));
    EXPECT_EQ(chunk.sample_count(), 0u);
    EXPECT_EQ(chunk.sample_rate(), 0u);
    EXPECT_EQ(chunk.channel_count(), 0u);
    EXPECT_EQ(chunk.data_capacity(), 2u); // the block stays
    EXPECT_FALSE(chunk.set_from_float_pcm(bytes.data(), 400, 8000, 1, 32, 0));
    EXPECT_TRUE(chunk.is_empty());
}

} // namespace
