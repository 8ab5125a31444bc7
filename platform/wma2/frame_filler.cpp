#include "frame_filler.h"

#include <algorithm>

namespace wma2 {
namespace {

// Whether channel `ch` of block `b`, not coded, may be coded all zeros. Its exponents go
// out with it: only in a block that sends exponents anyway (or sends none because nothing
// in it is coded), and only when no later block of the frame codes the channel with the
// exponents the decoder holds now.
bool MayStartCoding(const StreamParams& params, const std::vector<BlockCoding>& blocks,
                    std::size_t b, int ch) {
    const BlockCoding& coding = blocks[b];
    bool any_coded = false;
    for (int c = 0; c < params.channels; ++c) {
        any_coded = any_coded || coding.channels[c].coded;
    }
    if (any_coded && !coding.new_exponents && coding.k != 0) {
        return false;
    }
    for (std::size_t later = b + 1; later < blocks.size(); ++later) {
        const BlockCoding& next = blocks[later];
        if (next.channels[ch].coded) {
            return next.new_exponents || next.k == 0;
        }
    }
    return true;
}

// Adds zero-level escapes to channel `ch` of block `b`; answers the frame's new size.
std::uint64_t FillChannel(const StreamParams& params, std::vector<BlockCoding>& blocks,
                          std::size_t b, int ch, std::uint64_t bits, std::uint64_t min_bits,
                          std::uint64_t max_bits, std::vector<std::int32_t>& scratch) {
    BlockCoding& coding = blocks[b];
    ChannelCoding& channel = coding.channels[ch];
    PackCodedValues(params, coding.k, channel, scratch);
    const auto zeros = static_cast<int>(std::count(scratch.begin(), scratch.end(), 0));
    const auto each = static_cast<std::uint64_t>(
        FillerBits(CoefficientCodeTable(CoefficientTable(params, coding, ch)),
                   EscapeLevelBits(coding.gain), params.frame_bits));
    // Escapes placed among zeros shorten the runs of the values after them, so the count
    // is not quite additive: a few rounds settle it.
    for (int round = 0; round < 6; ++round) {
        int filler = channel.filler;
        if (bits < min_bits) {
            filler += static_cast<int>((min_bits - bits + each - 1) / each);
        } else if (bits > max_bits) {
            filler -= static_cast<int>((bits - max_bits + each - 1) / each);
        }
        filler = std::clamp(filler, 0, zeros);
        if (filler == channel.filler) {
            break;
        }
        channel.filler = filler;
        bits = FrameBits(params, blocks, scratch);
    }
    while (bits > max_bits && channel.filler > 0) {
        --channel.filler;
        bits = FrameBits(params, blocks, scratch);
    }
    return bits;
}

} // namespace

std::uint64_t AddFiller(const StreamParams& params, std::vector<BlockCoding>& blocks,
                        std::uint64_t bits, std::uint64_t min_bits, std::uint64_t max_bits,
                        std::vector<std::int32_t>& scratch) {
    // Zero-level escapes in the coded channels first; then channels that carried nothing
    // are coded, all zeros, to hold more.
    for (const bool start_channels : {false, true}) {
        for (std::size_t b = 0; b < blocks.size() && bits < min_bits; ++b) {
            BlockCoding& coding = blocks[b];
            for (int ch = 0; ch < params.channels && bits < min_bits; ++ch) {
                ChannelCoding& channel = coding.channels[ch];
                if (channel.coded == start_channels) {
                    continue;
                }
                if (start_channels) {
                    if (!MayStartCoding(params, blocks, b, ch)) {
                        continue;
                    }
                    const bool sent_exponents = coding.new_exponents;
                    channel.coded = true;
                    coding.new_exponents = true;
                    const std::uint64_t with = FrameBits(params, blocks, scratch);
                    if (with > max_bits) {
                        channel.coded = false;
                        coding.new_exponents = sent_exponents;
                        continue;
                    }
                    bits = with;
                }
                bits = FillChannel(params, blocks, b, ch, bits, min_bits, max_bits, scratch);
            }
        }
    }
    return bits;
}

} // namespace wma2
