// What one block of a frame says, and how it is written: block sizes, mid/side and coded
// flags, the gain, noise-coded high bands, exponents and run/level coded coefficients.
// The same template writes bits or only counts them, so counts always match the output.
#pragma once

#include "stream_params.h"
#include "tables.h"

#include <array>
#include <cassert>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace wma2 {

// Exponents lie in -60..95 (units of 1.25 dB); the first band is coded against 36.
inline constexpr int kMinExponent = -60;
inline constexpr int kMaxExponent = 95;
inline constexpr int kFirstExponentBase = 36;
inline constexpr int kMaxExponentDelta = 60;
// A noise-coded band's first level is sent in 7 bits as level + 19.
inline constexpr int kNoiseLevelBias = 19;
inline constexpr int kMinNoiseLevel = -19;
inline constexpr int kMaxNoiseLevel = 108;
inline constexpr int kMaxNoiseLevelDelta = 18;

struct ChannelCoding {
    bool coded = false;
    // Per exponent band of the block's size; sent when the block sends exponents.
    std::array<int, kMaxExponentBands> exponents{};
    // Per high band (with noise coding): whether it is noise, and its level.
    std::array<bool, kMaxHighBands> noise{};
    std::array<int, kMaxHighBands> noise_level{};
    // Quantised values at positions 0 .. coefs_end - 1; positions in noise bands are unused.
    std::vector<std::int32_t> values;
    // Zeros written as zero-level escapes, the last ones of the coded values: filler bits
    // when a frame must be longer than its content.
    int filler = 0;
};

struct BlockCoding {
    int k = 0;                   // size index of this block
    int next_k = 0;              // size index of the next block
    bool explicit_sizes = false; // first block of a frame that starts a packet's frames
    int prev_k = 0;              // sent with explicit_sizes
    bool mid_side = false;
    int gain = 1;              // total gain, 1 dB units, >= 1
    bool new_exponents = true; // always true for full-frame blocks
    std::array<ChannelCoding, 2> channels;
};

// Bits of the escape level field for a total gain.
inline int EscapeLevelBits(int gain) {
    if (gain < 15) {
        return 13;
    }
    if (gain < 32) {
        return 12;
    }
    if (gain < 40) {
        return 11;
    }
    return gain < 45 ? 10 : 9;
}

struct BitCounter {
    std::uint64_t bits = 0;
    void Put(std::uint32_t /*value*/, int count) { bits += static_cast<std::uint64_t>(count); }
    void PutBit(bool /*bit*/) { ++bits; }
};

template <class Sink> void PutCode(Sink& sink, const PrefixCode& code, int value) {
    const int index = value - code.first;
    assert(index >= 0 && index < code.count);
    sink.Put(code.codes[index], code.lengths[index]);
}

// Bits of one zero-level escape.
inline int FillerBits(const CoefficientCode& code, int escape_level_bits, int frame_bits) {
    return code.lengths[kEscapeSymbol] + escape_level_bits + frame_bits + 1;
}

// First position from which on every zero of `values[0 .. count)` is written as filler
// when the last `filler` zeros are.
inline int FillerStart(const std::int32_t* values, int count, int filler) {
    int from = count;
    while (filler > 0 && from > 0) {
        --from;
        filler -= values[from] == 0 ? 1 : 0;
    }
    return from;
}

// Run/level codes for `values[0 .. count)`, the last `filler` zeros written as zero-level
// escapes (bits that decode to nothing, for frames that must be longer than their
// content), ending with an end-of-block code unless the last code written is at position
// count - 1.
template <class Sink>
void PutCoefficients(Sink& sink, const CoefficientCode& code, const std::int32_t* values, int count,
                     int escape_level_bits, int frame_bits, int filler = 0) {
    int last = count - 1;
    while (last >= 0 && values[last] == 0) {
        --last;
    }
    const int filler_from = FillerStart(values, count, filler);
    if (filler > 0) {
        last = count - 1;
    }
    int run = 0;
    int written_to = -1; // position of the last code written
    for (int i = 0; i <= last; ++i) {
        const std::int32_t value = values[i];
        if (value == 0 && i < filler_from) {
            ++run;
            continue;
        }
        const int level = std::abs(value);
        if (level != 0 && level <= code.max_level && run < code.runs[level - 1]) {
            const int symbol = code.first[level - 1] + run;
            sink.Put(code.codes[symbol], code.lengths[symbol]);
        } else {
            sink.Put(code.codes[kEscapeSymbol], code.lengths[kEscapeSymbol]);
            sink.Put(static_cast<std::uint32_t>(level), escape_level_bits);
            sink.Put(static_cast<std::uint32_t>(run), frame_bits);
        }
        sink.PutBit(value > 0);
        run = 0;
        written_to = i;
    }
    if (written_to < count - 1) {
        sink.Put(code.codes[kEndOfBlockSymbol], code.lengths[kEndOfBlockSymbol]);
    }
}

// The coded values of a channel in stream order: noise-coded bands left out.
void PackCodedValues(const StreamParams& params, int k, const ChannelCoding& channel,
                     std::vector<std::int32_t>& packed);

// Everything of a block before its coefficients; false when no channel is coded (the block
// ends there).
template <class Sink>
bool PutBlockSide(Sink& sink, const StreamParams& params, const BlockCoding& block) {
    const int channels = params.channels;
    if (params.block_sizes > 1) {
        if (block.explicit_sizes) {
            sink.Put(static_cast<std::uint32_t>(block.prev_k), params.block_code_bits);
            sink.Put(static_cast<std::uint32_t>(block.k), params.block_code_bits);
        }
        sink.Put(static_cast<std::uint32_t>(block.next_k), params.block_code_bits);
    }
    if (channels == 2) {
        sink.PutBit(block.mid_side);
    }
    bool any = false;
    for (int ch = 0; ch < channels; ++ch) {
        sink.PutBit(block.channels[ch].coded);
        any = any || block.channels[ch].coded;
    }
    if (!any) {
        return false;
    }
    for (int rest = block.gain - 1;; rest -= 127) {
        sink.Put(static_cast<std::uint32_t>(rest >= 127 ? 127 : rest), 7);
        if (rest < 127) {
            break;
        }
    }
    if (params.noise_coding) {
        const auto& high = params.high_bands[block.k];
        const int bands = static_cast<int>(high.size());
        for (int ch = 0; ch < channels; ++ch) {
            if (block.channels[ch].coded) {
                for (int i = 0; i < bands; ++i) {
                    sink.PutBit(block.channels[ch].noise[i]);
                }
            }
        }
        for (int ch = 0; ch < channels; ++ch) {
            const ChannelCoding& channel = block.channels[ch];
            if (!channel.coded) {
                continue;
            }
            bool first = true;
            int previous = 0;
            for (int i = 0; i < bands; ++i) {
                if (!channel.noise[i]) {
                    continue;
                }
                if (first) {
                    sink.Put(static_cast<std::uint32_t>(channel.noise_level[i] + kNoiseLevelBias),
                             7);
                    first = false;
                } else {
                    PutCode(sink, NoiseLevelDeltaCode(), channel.noise_level[i] - previous);
                }
                previous = channel.noise_level[i];
            }
        }
    }
    if (block.k != 0) {
        sink.PutBit(block.new_exponents);
    }
    if (block.k == 0 || block.new_exponents) {
        const int bands = params.band_count(block.k);
        for (int ch = 0; ch < channels; ++ch) {
            const ChannelCoding& channel = block.channels[ch];
            if (!channel.coded) {
                continue;
            }
            int previous = kFirstExponentBase;
            for (int b = 0; b < bands; ++b) {
                PutCode(sink, ExponentDeltaCode(), channel.exponents[b] - previous);
                previous = channel.exponents[b];
            }
        }
    }
    return true;
}

inline int CoefficientTable(const StreamParams& params, const BlockCoding& block, int ch) {
    return 2 * params.coef_table_pair + (block.mid_side && ch == 1 ? 1 : 0);
}

template <class Sink>
void PutBlock(Sink& sink, const StreamParams& params, const BlockCoding& block,
              std::vector<std::int32_t>& scratch) {
    if (!PutBlockSide(sink, params, block)) {
        return;
    }
    const int channels = params.channels;
    const int escape_bits = EscapeLevelBits(block.gain);
    for (int ch = 0; ch < channels; ++ch) {
        const ChannelCoding& channel = block.channels[ch];
        if (!channel.coded) {
            continue;
        }
        PackCodedValues(params, block.k, channel, scratch);
        PutCoefficients(sink, CoefficientCodeTable(CoefficientTable(params, block, ch)),
                        scratch.data(), static_cast<int>(scratch.size()), escape_bits,
                        params.frame_bits, channel.filler);
    }
}

// Bits of a frame's blocks as PutBlock writes them. `scratch` is working space only.
std::uint64_t FrameBits(const StreamParams& params, const std::vector<BlockCoding>& blocks,
                        std::vector<std::int32_t>& scratch);

} // namespace wma2
