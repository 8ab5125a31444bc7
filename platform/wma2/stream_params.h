// The parameters a decoder derives from the stream's sample rate, channel count, declared
// bit rate and codec flags. The encoder must use exactly the same ones: the noise-coding
// switch, the coefficient code tables and the block sizes all follow from them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace wma2 {

// Flags word of the codec data: exponents as variable-length deltas, the bit reservoir,
// variable block lengths and all extra block sizes.
inline constexpr int kExponentVlcFlag = 0x0001;
inline constexpr int kBitReservoirFlag = 0x0002;
inline constexpr int kVariableBlockFlag = 0x0004;
inline constexpr int kExtraBlockSizesFlags = 0x0018;
inline constexpr int kEncoderFlags =
    kExponentVlcFlag | kBitReservoirFlag | kVariableBlockFlag | kExtraBlockSizesFlags;

inline constexpr int kMaxBlockSizes = 5;
inline constexpr int kMinBlockBits = 7; // the smallest block has 128 coefficients
inline constexpr int kMaxExponentBands = 25;
inline constexpr int kMaxHighBands = 16;

struct StreamParams {
    int sample_rate = 0;
    int channels = 0;
    std::int64_t bit_rate = 0; // as declared in the container
    int flags = kEncoderFlags;

    int frame_bits = 0;  // log2 of the frame length
    int frame_len = 0;   // samples per channel in a frame
    int block_sizes = 0; // sizes frame_len >> k for k < block_sizes
    int block_code_bits = 0;

    // Per block size k: coefficients that can be coded, exponent band boundaries (band b
    // covers [band_edges[k][b], band_edges[k][b + 1]) and reaches the block's end).
    std::array<int, kMaxBlockSizes> coefs_end{};
    std::array<std::vector<int>, kMaxBlockSizes> band_edges;

    // Noise coding of the high bands: only at low bit rates.
    bool noise_coding = false;
    std::array<int, kMaxBlockSizes> high_band_start{};
    // The high bands as [start, end) coefficient ranges, and the exponent band each lies in.
    std::array<std::vector<std::array<int, 2>>, kMaxBlockSizes> high_bands;

    int coef_table_pair = 2; // tables 2p (main) and 2p + 1 (side)
    int byte_offset_bits = 0;

    int block_len(int k) const { return frame_len >> k; }
    int band_count(int k) const { return static_cast<int>(band_edges[k].size()) - 1; }
    // Width of the bit offset field in a packet header.
    int bit_offset_field_bits() const { return byte_offset_bits + 3; }
};

// Derives the parameters; the caller has checked the target with TargetProblem.
StreamParams DeriveStreamParams(int sample_rate, int channels, std::int64_t bit_rate,
                                int flags = kEncoderFlags);

// Limits of the encoder in terms of the format.
inline constexpr int kMinSampleRate = 8000;
inline constexpr int kMaxSampleRate = 48000;
inline constexpr int kMaxChannels = 2;
// Below a quarter of a bit per sample a frame cannot carry its spectral envelope and a
// useful spectrum; above six the format gains nothing and packets grow past their limit.
inline constexpr double kMinBitsPerSample = 0.25;
inline constexpr double kMaxBitsPerSample = 6.0;

// Empty when the encoder can write the stream; otherwise one line naming the limit.
std::string TargetProblem(int sample_rate, int channels, std::int64_t bit_rate);

} // namespace wma2
