#include "block_exponents.h"

#include "noise_bands.h"

#include <algorithm>
#include <cmath>

namespace wma2 {
namespace {

// One gain serves both channels, and each channel's steps are relative to its own largest
// exponent. Lifts a band that carries nothing in the quieter channel so that its largest
// exponent matches the louder channel's.
void MatchLargestExponents(const StreamParams& params, BlockAnalysis& block) {
    const int bands = params.band_count(block.k);
    const int louder = block.channels[0].gain_base >= block.channels[1].gain_base ? 0 : 1;
    const int quieter = 1 - louder;
    ChannelAnalysis& quiet = block.channels[quieter];
    const float gap = block.channels[louder].gain_base - quiet.gain_base;
    const int lift = static_cast<int>(std::lround(gap / kDbPerExponent));
    if (lift <= 0) {
        return;
    }
    const int wanted = quiet.top + lift;
    for (int b = bands - 1; b >= 0; --b) {
        if (quiet.weight[b] > 0 || HasNoiseBand(params, block, quieter, b)) {
            continue;
        }
        const int before = b > 0 ? quiet.chosen[b - 1] : kFirstExponentBase;
        const int after = b + 1 < bands ? quiet.chosen[b + 1] : wanted;
        if (wanted <= kMaxExponent && std::abs(wanted - before) <= kMaxExponentDelta &&
            std::abs(wanted - after) <= kMaxExponentDelta) {
            quiet.chosen[b] = wanted;
            quiet.top = wanted;
            quiet.gain_base = block.channels[louder].gain_base;
            return;
        }
    }
}

} // namespace

void ChooseBlockExponents(const StreamParams& params, const EncoderTuning& tuning,
                          float expected_offset_db, BlockAnalysis& block) {
    const int k = block.k;
    const int bands = params.band_count(k);
    const auto& edges = params.band_edges[k];
    // A coefficient counts where it would not quantise to zero at the expected offset.
    const float significance = std::pow(10.0F, expected_offset_db / 10.0F) * 0.25F;
    for (int ch = 0; ch < params.channels; ++ch) {
        ChannelAnalysis& channel = block.channels[ch];
        for (int b = 0; b < bands; ++b) {
            const float allowed = channel.masking.allowed[b];
            const int from = edges[static_cast<std::size_t>(b)];
            const int to = std::min(edges[static_cast<std::size_t>(b) + 1], block.end);
            channel.wanted[b] = kExponentsPerBel * std::log10(allowed);
            int count = 0;
            const float threshold = allowed * significance;
            for (int i = from; i < to; ++i) {
                const float c = channel.coefs[static_cast<std::size_t>(i)];
                count += c * c > threshold ? 1 : 0;
            }
            channel.weight[b] = channel.content ? static_cast<float>(count) : 0.0F;
        }
        if (params.noise_coding && channel.content) {
            // The decoder adds a little noise (1/50 of the step) at every coded position,
            // zeros included: bands that carry nothing keep the step their mask asks for.
            for (int b = 0; b < bands; ++b) {
                const bool all_noise =
                    HasNoiseBand(params, block, ch, b) &&
                    edges[static_cast<std::size_t>(b)] >= params.high_band_start[k];
                channel.weight[b] = all_noise ? 0.0F : std::max(channel.weight[b], 0.5F);
            }
        }
        channel.offset = ChooseExponents(channel.wanted.data(), channel.weight.data(), bands,
                                         tuning.precision_cost, channel.chosen);
        channel.top = *std::max_element(channel.chosen.begin(), channel.chosen.begin() + bands);
        if (params.noise_coding && channel.content) {
            PlaceNoiseExponents(params, tuning.precision_cost, block, ch);
        }
        channel.gain_base = kDbPerExponent * static_cast<float>(channel.top - channel.offset);
    }
    if (params.channels == 2 && block.channels[0].content && block.channels[1].content &&
        !params.noise_coding) {
        MatchLargestExponents(params, block);
    }
}

} // namespace wma2
