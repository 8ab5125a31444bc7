#include "stored_exponents.h"

#include <algorithm>

namespace wma2 {

void StoreExponents(const StreamParams& params, int k, const Exponents& exponents, int offset,
                    StoredExponents& stored) {
    const int bands = params.band_count(k);
    const auto& edges = params.band_edges[k];
    stored.valid = true;
    stored.k = k;
    stored.per_coef.resize(static_cast<std::size_t>(params.block_len(k)));
    for (int b = 0; b < bands; ++b) {
        std::fill(stored.per_coef.begin() + edges[static_cast<std::size_t>(b)],
                  stored.per_coef.begin() + edges[static_cast<std::size_t>(b) + 1], exponents[b]);
    }
    stored.top = *std::max_element(exponents.begin(), exponents.begin() + bands);
    stored.offset = offset;
}

void MapStoredExponents(const StreamParams& params, int k, const StoredExponents& stored,
                        std::vector<int>& exponent_of) {
    // Coefficient i of a block of size index k reads stored position (i << k) >> k_s. With
    // noise coding the decoder walks the high bands with a pointer advanced by each band's
    // width scaled the same way, which rounds down where a larger block reads the exponents
    // of a smaller one: follow it exactly.
    const int n = params.block_len(k);
    const auto at = [&](int position) {
        return stored.per_coef[static_cast<std::size_t>(position)];
    };
    if (!params.noise_coding) {
        for (int i = 0; i < n; ++i) {
            exponent_of[static_cast<std::size_t>(i)] = at((i << k) >> stored.k);
        }
        return;
    }
    const int start = params.high_band_start[k];
    for (int i = 0; i < start; ++i) {
        exponent_of[static_cast<std::size_t>(i)] = at((i << k) >> stored.k);
    }
    int pointer = (start << k) >> stored.k;
    int position = start;
    for (const auto& band : params.high_bands[k]) {
        const int width = band[1] - band[0];
        for (int i = 0; i < width; ++i) {
            exponent_of[static_cast<std::size_t>(position + i)] =
                at(pointer + ((i << k) >> stored.k));
        }
        pointer += (width << k) >> stored.k;
        position += width;
    }
    // Above the coded range the decoder reads the exponent just before the pointer.
    const int last = at(pointer + ((-1 * (1 << k)) >> stored.k));
    for (int i = position; i < n; ++i) {
        exponent_of[static_cast<std::size_t>(i)] = last;
    }
}

void PlanReuse(const StreamParams& params, const EncoderTuning& tuning, BlockAnalysis& block,
               DecoderExponents& held) {
    const int k = block.k;
    const int bands = params.band_count(k);
    const auto& edges = params.band_edges[k];
    block.reuse = false;
    bool any = false;
    if (k != 0) {
        // Keeping the decoder's exponents saves their code bits and costs precision where
        // they differ from the wanted curve.
        float saved = 0;
        float lost = 0;
        bool possible = true;
        for (int ch = 0; ch < params.channels; ++ch) {
            const ChannelAnalysis& channel = block.channels[ch];
            if (!channel.content) {
                continue;
            }
            any = true;
            const StoredExponents& old = held[ch];
            if (!old.valid) {
                possible = false;
                break;
            }
            saved += static_cast<float>(ExponentBits(channel.chosen, bands));
            for (int b = 0; b < bands; ++b) {
                if (channel.weight[b] <= 0) {
                    continue;
                }
                const int middle =
                    (edges[static_cast<std::size_t>(b)] + edges[static_cast<std::size_t>(b) + 1]) /
                    2;
                const int value = old.per_coef[static_cast<std::size_t>((middle << k) >> old.k)];
                const float miss = static_cast<float>(value - old.offset) - channel.wanted[b];
                lost += tuning.precision_cost * channel.weight[b] * miss * miss;
            }
        }
        const bool cheaper = tuning.reuse_exponents == ExponentReuse::kAlways || lost < saved;
        block.reuse = tuning.reuse_exponents != ExponentReuse::kNever && possible && any && cheaper;
    }
    if (block.reuse) {
        return;
    }
    for (int ch = 0; ch < params.channels; ++ch) {
        const ChannelAnalysis& channel = block.channels[ch];
        if (channel.content) {
            StoreExponents(params, k, channel.chosen, channel.offset, held[ch]);
        }
    }
}

void HeldAfter(const StreamParams& params, const std::vector<BlockAnalysis>& analysis,
               const std::vector<BlockCoding>& blocks, DecoderExponents& held) {
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const BlockCoding& coding = blocks[b];
        if (!coding.new_exponents && coding.k != 0) {
            continue;
        }
        for (int ch = 0; ch < params.channels; ++ch) {
            if (coding.channels[ch].coded) {
                const ChannelAnalysis& channel = analysis[b].channels[ch];
                StoreExponents(params, coding.k, coding.channels[ch].exponents,
                               channel.content ? channel.offset : 0, held[ch]);
            }
        }
    }
}

} // namespace wma2
