#include "block_syntax.h"

namespace wma2 {

void PackCodedValues(const StreamParams& params, int k, const ChannelCoding& channel,
                     std::vector<std::int32_t>& packed) {
    const int end = params.coefs_end[k];
    packed.clear();
    if (!params.noise_coding) {
        packed.assign(channel.values.begin(), channel.values.begin() + end);
        return;
    }
    int next = 0;
    const auto& high = params.high_bands[k];
    for (std::size_t i = 0; i < high.size(); ++i) {
        if (channel.noise[i]) {
            packed.insert(packed.end(), channel.values.begin() + next,
                          channel.values.begin() + high[i][0]);
            next = high[i][1];
        }
    }
    packed.insert(packed.end(), channel.values.begin() + next, channel.values.begin() + end);
}

std::uint64_t FrameBits(const StreamParams& params, const std::vector<BlockCoding>& blocks,
                        std::vector<std::int32_t>& scratch) {
    BitCounter counter;
    for (const BlockCoding& block : blocks) {
        if (!PutBlockSide(counter, params, block)) {
            continue;
        }
        const int escape_bits = EscapeLevelBits(block.gain);
        for (int ch = 0; ch < params.channels; ++ch) {
            const ChannelCoding& channel = block.channels[ch];
            if (!channel.coded) {
                continue;
            }
            // Without noise bands the values are counted where they are, not copied.
            const std::int32_t* values = channel.values.data();
            int count = params.coefs_end[block.k];
            if (params.noise_coding) {
                PackCodedValues(params, block.k, channel, scratch);
                values = scratch.data();
                count = static_cast<int>(scratch.size());
            }
            PutCoefficients(counter, CoefficientCodeTable(CoefficientTable(params, block, ch)),
                            values, count, escape_bits, params.frame_bits, channel.filler);
        }
    }
    return counter.bits;
}

} // namespace wma2
