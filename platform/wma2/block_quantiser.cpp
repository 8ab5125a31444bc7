#include "block_quantiser.h"

#include "noise_bands.h"
#include "quantiser.h"

#include <algorithm>
#include <cmath>

namespace wma2 {
namespace {

// A noise band's level may miss its target by this much (dB) before kept exponents are
// given up for new ones.
constexpr float kNoiseLevelSlack = 1.5F;

// 10^(d / 16) for exponent differences d = 0 .. 155.
const std::array<float, kMaxExponent - kMinExponent + 1>& StepRatios() {
    static const auto table = [] {
        std::array<float, kMaxExponent - kMinExponent + 1> t{};
        for (std::size_t d = 0; d < t.size(); ++d) {
            t[d] = std::pow(10.0F, static_cast<float>(d) / 16.0F);
        }
        return t;
    }();
    return table;
}

} // namespace

BlockQuantiser::BlockQuantiser(const StreamParams& params, const EncoderTuning& tuning)
    : params_(params), tuning_(tuning) {}

void BlockQuantiser::Quantise(const BlockAnalysis& block, int offset_db, DecoderExponents& held,
                              BlockCoding& out) {
    Quantise(block, offset_db, held, out, true);
}

int BlockQuantiser::GainFor(const BlockAnalysis& block, int offset_db, bool reuse,
                            const DecoderExponents& held, BlockCoding& out) {
    const int k = block.k;
    const int n = params_.block_len(k);
    const int bands = params_.band_count(k);
    const auto& edges = params_.band_edges[k];
    float base = 0;
    int with_content = 0;
    for (int ch = 0; ch < params_.channels; ++ch) {
        const ChannelAnalysis& channel = block.channels[ch];
        std::vector<int>& exponent_of = exponent_of_[ch];
        exponent_of.resize(static_cast<std::size_t>(n));
        out.channels[ch].exponents = channel.chosen;
        if (!channel.content) {
            continue;
        }
        ++with_content;
        if (reuse) {
            const StoredExponents& old = held[ch];
            MapStoredExponents(params_, k, old, exponent_of);
            top_[ch] = old.top;
            base += kDbPerExponent * static_cast<float>(old.top - old.offset);
        } else {
            for (int b = 0; b < bands; ++b) {
                std::fill(exponent_of.begin() + edges[static_cast<std::size_t>(b)],
                          exponent_of.begin() + edges[static_cast<std::size_t>(b) + 1],
                          channel.chosen[b]);
            }
            top_[ch] = channel.top;
            base += channel.gain_base;
        }
    }
    return std::max(1, static_cast<int>(std::lround(
                           static_cast<float>(offset_db) +
                           (with_content > 0 ? base / static_cast<float>(with_content) : 0.0F))));
}

int BlockQuantiser::FitEscapeLevels(const BlockAnalysis& block, int gain, bool reuse,
                                    BlockCoding& out) {
    // Every value must fit the escape code's level field: bands that would overflow get a
    // coarser step (their exponent up, at most to the channel's largest), and if that is
    // not enough the whole block a larger gain.
    const int bands = params_.band_count(block.k);
    const auto& edges = params_.band_edges[block.k];
    const auto& ratios = StepRatios();
    for (int pass = 0; pass < 4; ++pass) {
        const auto limit = static_cast<float>((1 << EscapeLevelBits(gain)) - 1);
        const float scale = std::pow(10.0F, -static_cast<float>(gain) / 20.0F);
        float worst = 0;
        for (int ch = 0; ch < params_.channels; ++ch) {
            const ChannelAnalysis& channel = block.channels[ch];
            if (!channel.content) {
                continue;
            }
            std::vector<int>& exponent_of = exponent_of_[ch];
            const int top = top_[ch];
            bool raised = false;
            for (int b = 0; b < bands; ++b) {
                const int from = edges[static_cast<std::size_t>(b)];
                const int to = std::min(edges[static_cast<std::size_t>(b) + 1], block.end);
                float peak = 0;
                for (int i = from; i < to; ++i) {
                    const float level = std::fabs(channel.coefs[static_cast<std::size_t>(i)]) *
                                        ratios[static_cast<std::size_t>(
                                            top - exponent_of[static_cast<std::size_t>(i)])];
                    peak = std::max(peak, level);
                }
                peak *= scale;
                if (peak <= limit) {
                    continue;
                }
                const int e = out.channels[ch].exponents[b];
                if (!reuse && e < top) {
                    const int need = static_cast<int>(std::ceil(16.0F * std::log10(peak / limit)));
                    out.channels[ch].exponents[b] = std::min(top, e + need);
                    raised = true;
                    const float left =
                        peak / ratios[static_cast<std::size_t>(out.channels[ch].exponents[b] - e)];
                    worst = std::max(worst, left / limit);
                } else {
                    worst = std::max(worst, peak / limit);
                }
            }
            if (raised) {
                // Keep neighbouring exponents within the code's reach.
                Exponents& e = out.channels[ch].exponents;
                for (int b = bands - 1; b > 0; --b) {
                    e[b - 1] = std::max(e[b - 1], e[b] - kMaxExponentDelta);
                }
                for (int b = 1; b < bands; ++b) {
                    e[b] = std::max(e[b], e[b - 1] - kMaxExponentDelta);
                }
                for (int b = 0; b < bands; ++b) {
                    std::fill(exponent_of.begin() + edges[static_cast<std::size_t>(b)],
                              exponent_of.begin() + edges[static_cast<std::size_t>(b) + 1], e[b]);
                }
            }
        }
        if (worst <= 1.0F) {
            break;
        }
        gain += static_cast<int>(std::ceil(20.0F * std::log10(worst)));
    }
    return gain;
}

void BlockQuantiser::Quantise(const BlockAnalysis& block, int offset_db, DecoderExponents& held,
                              BlockCoding& out, bool may_reuse) {
    const int k = block.k;
    out.k = k;
    out.prev_k = block.prev_k;
    out.next_k = block.next_k;
    out.explicit_sizes = block.explicit_sizes;
    out.mid_side = block.mid_side;

    bool reuse = may_reuse && block.reuse && k != 0;
    for (int ch = 0; ch < params_.channels && reuse; ++ch) {
        reuse = !block.channels[ch].content || held[ch].valid;
    }
    out.new_exponents = !reuse;
    const int gain =
        FitEscapeLevels(block, GainFor(block, offset_db, reuse, held, out), reuse, out);
    out.gain = gain;

    const float scale = std::pow(10.0F, -static_cast<float>(gain) / 20.0F);
    const int max_level = (1 << EscapeLevelBits(gain)) - 1;
    const auto& ratios = StepRatios();
    float noise_miss = 0;
    for (int ch = 0; ch < params_.channels; ++ch) {
        const ChannelAnalysis& channel = block.channels[ch];
        ChannelCoding& coded = out.channels[ch];
        coded.values.assign(static_cast<std::size_t>(params_.coefs_end[k]), 0);
        coded.filler = 0;
        coded.noise = channel.noise;
        bool any = false;
        if (channel.content) {
            std::vector<float>& inverse_step = inverse_step_[ch];
            inverse_step.resize(static_cast<std::size_t>(block.end));
            for (int i = 0; i < block.end; ++i) {
                inverse_step[static_cast<std::size_t>(i)] = ratios[static_cast<std::size_t>(
                    top_[ch] - exponent_of_[ch][static_cast<std::size_t>(i)])];
            }
            any = wma2::Quantise(channel.coefs.data(), inverse_step.data(), scale,
                                 params_.noise_coding ? tuning_.rounding_bias
                                                      : tuning_.rounding_bias_coded,
                                 block.end, max_level, coded.values.data());
        }
        const bool noise = std::any_of(
            coded.noise.begin(),
            coded.noise.begin() + static_cast<std::ptrdiff_t>(params_.high_bands[k].size()),
            [](bool b) { return b; });
        coded.coded = any || noise;
        if (noise) {
            noise_miss =
                std::max(noise_miss, SetNoiseLevels(params_, tuning_.noise_fill_db, block, ch,
                                                    exponent_of_[ch], top_[ch], coded));
        }
    }
    if (reuse && noise_miss > kNoiseLevelSlack) {
        // The kept exponents put a noise level out of its field's reach: send new ones.
        Quantise(block, offset_db, held, out, false);
        return;
    }

    // What the decoder keeps from this block.
    if (out.new_exponents || k == 0) {
        out.new_exponents = true;
        for (int ch = 0; ch < params_.channels; ++ch) {
            if (out.channels[ch].coded) {
                StoreExponents(params_, k, out.channels[ch].exponents,
                               block.channels[ch].content ? block.channels[ch].offset : 0,
                               held[ch]);
            }
        }
    }
}

} // namespace wma2
