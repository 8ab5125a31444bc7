// The parameters the decoder derives from rate, channels and bit rate, checked against what
// libavcodec 5.1.9's decoder derives, and the targets the encoder refuses.
#include "stream_params.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

using wma2::DeriveStreamParams;
using wma2::StreamParams;

std::vector<int> Widths(const StreamParams& p, int k) {
    std::vector<int> widths;
    for (std::size_t b = 0; b + 1 < p.band_edges[k].size(); ++b) {
        widths.push_back(p.band_edges[k][b + 1] - p.band_edges[k][b]);
    }
    return widths;
}

std::vector<int> HighWidths(const StreamParams& p, int k) {
    std::vector<int> widths;
    for (const auto& band : p.high_bands[k]) {
        widths.push_back(band[1] - band[0]);
    }
    return widths;
}

TEST(StreamParams, WhatTheDecoderDerivesAt44100And48000) {
    struct Row {
        int rate, channels, kbps;
        bool noise;
        int pair, field_bits;
    };
    const Row rows[] = {
        {44100, 1, 32, false, 1, 12}, {44100, 1, 64, false, 2, 13},  {44100, 1, 192, false, 2, 15},
        {44100, 2, 32, true, 0, 11},  {44100, 2, 48, false, 1, 12},  {44100, 2, 64, false, 2, 12},
        {44100, 2, 96, false, 2, 13}, {44100, 2, 192, false, 2, 14}, {48000, 1, 32, false, 0, 12},
        {48000, 2, 32, true, 0, 11},  {48000, 2, 64, false, 1, 12},  {48000, 2, 80, false, 2, 12},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << row.rate << " Hz " << row.channels << " ch " << row.kbps);
        const auto p = DeriveStreamParams(row.rate, row.channels, row.kbps * 1000);
        EXPECT_EQ(p.frame_len, 2048);
        EXPECT_EQ(p.block_sizes, 5);
        EXPECT_EQ(p.block_code_bits, 3);
        EXPECT_EQ(p.noise_coding, row.noise);
        EXPECT_EQ(p.coef_table_pair, row.pair);
        EXPECT_EQ(p.bit_offset_field_bits(), row.field_bits);
        EXPECT_EQ(p.coefs_end, (std::array<int, 5>{1864, 932, 466, 233, 116}));
    }
}

TEST(StreamParams, SinglePrecisionDecidesTheBoundaries) {
    // 64000 b/s stereo gives bps1 = 1.16099 in float: the last table pair; one byte per
    // second less and it is the middle one. Noise coding stops at 33627 b/s.
    EXPECT_EQ(DeriveStreamParams(44100, 2, 64000).coef_table_pair, 2);
    EXPECT_EQ(DeriveStreamParams(44100, 2, 63944).coef_table_pair, 1);
    EXPECT_TRUE(DeriveStreamParams(44100, 2, 33624).noise_coding);
    EXPECT_FALSE(DeriveStreamParams(44100, 2, 33632).noise_coding);
    EXPECT_TRUE(DeriveStreamParams(48000, 2, 36592).noise_coding);
    EXPECT_FALSE(DeriveStreamParams(48000, 2, 36600).noise_coding);
}

TEST(StreamParams, ExponentBandsAndHighBands) {
    const auto p44 = DeriveStreamParams(44100, 2, 32000);
    EXPECT_EQ(Widths(p44, 0),
              (std::vector<int>{8,  12, 8,  8,  12, 12, 12,  12,  16,  16,  20,  24, 24,
                                32, 36, 40, 52, 64, 84, 104, 120, 168, 232, 324, 608}));
    EXPECT_EQ(Widths(p44, 4), (std::vector<int>{4, 4, 4, 4, 4, 8, 8, 8, 12, 16, 20, 36}));
    EXPECT_EQ(p44.high_band_start, (std::array<int, 5>{819, 410, 205, 102, 51}));
    EXPECT_EQ(HighWidths(p44, 0), (std::vector<int>{65, 232, 324, 424}));
    EXPECT_EQ(HighWidths(p44, 1), (std::vector<int>{30, 116, 164, 212}));
    EXPECT_EQ(HighWidths(p44, 4), (std::vector<int>{5, 16, 20, 24}));

    const auto p48 = DeriveStreamParams(48000, 2, 32000);
    EXPECT_EQ(Widths(p48, 1),
              (std::vector<int>{4,  4,  4,  4,  4,  8,  4,  8,  8,  8,   8,   8,  12,
                                16, 16, 20, 20, 32, 40, 44, 56, 76, 108, 148, 364}));
    EXPECT_EQ(HighWidths(p48, 0), (std::vector<int>{205, 300, 540}));
    // Every layout covers its block.
    for (const auto* p : {&p44, &p48}) {
        for (int k = 0; k < p->block_sizes; ++k) {
            EXPECT_EQ(p->band_edges[k].front(), 0);
            EXPECT_EQ(p->band_edges[k].back(), p->block_len(k));
        }
    }
}

TEST(StreamParams, LowerRatesHaveShorterFramesAndFewerSizes) {
    const auto p22 = DeriveStreamParams(22050, 2, 64000);
    EXPECT_EQ(p22.frame_len, 1024);
    EXPECT_EQ(p22.block_sizes, 4);
    EXPECT_EQ(Widths(p22, 3), (std::vector<int>{4, 8, 4, 8, 8, 12, 20, 24, 24, 16}));
    const auto p16 = DeriveStreamParams(16000, 1, 24000);
    EXPECT_EQ(p16.frame_len, 512);
    EXPECT_EQ(p16.block_sizes, 3);
    for (int k = 0; k < p16.block_sizes; ++k) {
        EXPECT_EQ(p16.band_edges[k].back(), p16.block_len(k));
    }
}

TEST(StreamParams, TargetsOutsideTheFormatNameTheirLimit) {
    EXPECT_EQ(wma2::TargetProblem(44100, 2, 128000), "");
    EXPECT_EQ(wma2::TargetProblem(48000, 1, 32000), "");
    EXPECT_EQ(wma2::TargetProblem(8000, 1, 8000), "");
    EXPECT_NE(wma2::TargetProblem(44100, 6, 128000).find("1 or 2 channels"), std::string::npos);
    EXPECT_NE(wma2::TargetProblem(96000, 2, 128000).find("96000 Hz"), std::string::npos);
    EXPECT_NE(wma2::TargetProblem(44100, 2, 8000).find("too low"), std::string::npos);
    EXPECT_NE(wma2::TargetProblem(44100, 2, 8000000).find("too high"), std::string::npos);
}

} // namespace
