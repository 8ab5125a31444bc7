#include "frame_coder.h"

#include "fast_math.h"
#include "quantiser.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace wma2 {
namespace {

// Exponent units per bel of noise energy: a step of 10^(e/16) is 1.25 dB per unit.
constexpr float kExponentsPerBel = 8.0F;
constexpr float kDbPerExponent = 1.25F;
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

float BandPerceptualEntropy(const float* coefs, const float* allowed, const StreamParams& params,
                            int k, int end) {
    const auto& edges = params.band_edges[k];
    float bits = 0;
    for (int b = 0; b < params.band_count(k); ++b) {
        const int from = edges[static_cast<std::size_t>(b)];
        const int to = std::min(edges[static_cast<std::size_t>(b) + 1], end);
        if (to <= from) {
            break;
        }
        float energy = 0;
        for (int i = from; i < to; ++i) {
            energy += coefs[i] * coefs[i];
        }
        const auto n = static_cast<float>(to - from);
        bits += 0.5F * n * FastLog2(1.0F + energy / n / allowed[b]);
    }
    return bits;
}

} // namespace

FrameCoder::FrameCoder(const StreamParams& params, const EncoderTuning& tuning)
    : params_(params), tuning_(tuning),
      bandwidth_hz_(tuning.bandwidth_hz > 0 ? tuning.bandwidth_hz : BandwidthFor(params)),
      transform_(params), model_(params, {tuning.tonal_offset_db, tuning.width_share}) {}

int FrameCoder::BandOf(int k, int coefficient) const {
    const auto& edges = params_.band_edges[k];
    return static_cast<int>(std::upper_bound(edges.begin(), edges.end(), coefficient) -
                            edges.begin()) -
           1;
}

void FrameCoder::Analyse(const FrameRequest& request, float expected_offset_db) {
    quantised_at_ = kNotQuantised;
    const int frame_len = params_.frame_len;
    expected_offset_db_ = expected_offset_db;
    explicit_sizes_ = request.explicit_sizes;
    blocks_.resize(request.blocks.size());
    perceptual_entropy_ = 0;
    silent_ = true;
    int position = 0;
    auto stored = stored_;
    for (std::size_t b = 0; b < request.blocks.size(); ++b) {
        BlockWork& block = blocks_[b];
        block.k = request.blocks[b];
        block.position = position;
        block.prev_k = b == 0 ? request.prev_k : request.blocks[b - 1];
        block.next_k = b + 1 < request.blocks.size() ? request.blocks[b + 1] : request.next_k;
        const int n = frame_len >> block.k;
        const double bins_per_hz = 2.0 * n / params_.sample_rate;
        block.end = std::clamp(static_cast<int>(std::ceil(bandwidth_hz_ * bins_per_hz)), 1,
                               params_.coefs_end[block.k]);
        // The block's 2N samples start half a block before its own stretch of the frame,
        // which begins F/2 into the frame.
        const int start = frame_len / 2 + position - n / 2;
        for (int ch = 0; ch < params_.channels; ++ch) {
            ChannelWork& channel = block.channels[ch];
            if (channel.coefs.size() < static_cast<std::size_t>(frame_len)) {
                channel.coefs.Resize(static_cast<std::size_t>(frame_len));
            }
            transform_.Forward(block.k, block.prev_k, block.next_k, request.signal[ch] + start,
                               channel.coefs.data());
        }
        block.coding = BlockCoding{};
        block.coding.k = block.k;
        block.coding.next_k = block.next_k;
        block.coding.prev_k = block.prev_k;
        AnalyseBlock(block);
        PlanReuse(block, stored);
        position += n;
    }
}

void FrameCoder::AnalyseBlock(BlockWork& block) {
    const int n = params_.block_len(block.k);
    for (int ch = 0; ch < params_.channels; ++ch) {
        ChannelWork& channel = block.channels[ch];
        if (ch == 1 && std::equal(channel.coefs.data(), channel.coefs.data() + n,
                                  block.channels[0].coefs.data())) {
            // The same sound in both channels (a mono recording): the same mask.
            channel.masking = block.channels[0].masking;
            channel.content = block.channels[0].content;
            continue;
        }
        // Tonality needs the frequency resolution of the longer blocks.
        model_.Analyse(block.k, channel.coefs.data(), block.end, channel.masking, block.k < 2);
        channel.content = false;
        // Below a hundredth of a 16-bit step there is nothing to code.
        const float floor = 0.01F * static_cast<float>(n);
        for (int i = 0; i < block.end && !channel.content; ++i) {
            channel.content = std::fabs(channel.coefs[static_cast<std::size_t>(i)]) > floor;
        }
    }
    if (params_.channels == 2 && tuning_.stereo != StereoChoice::kLeftRight) {
        ChooseStereo(block);
    }
    if (params_.noise_coding) {
        ChooseNoiseBands(block);
    }
    ChooseExponents(block);
    for (int ch = 0; ch < params_.channels; ++ch) {
        const ChannelWork& channel = block.channels[ch];
        if (channel.content) {
            silent_ = false;
            perceptual_entropy_ += channel.masking.perceptual_entropy;
        }
    }
}

void FrameCoder::ChooseStereo(BlockWork& block) {
    ChannelWork& left = block.channels[0];
    ChannelWork& right = block.channels[1];
    if (!left.content && !right.content && tuning_.stereo != StereoChoice::kMidSide) {
        return;
    }
    const int n = params_.block_len(block.k);
    const int bands = params_.band_count(block.k);
    BandMasking mid_masking = left.masking;
    BandMasking side_masking = right.masking;
    HearingModel::MidSideMasking(left.masking, right.masking, bands, mid_masking, side_masking);
    mid_scratch_.resize(static_cast<std::size_t>(n));
    side_scratch_.resize(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
        mid_scratch_[i] = 0.5F * (left.coefs[i] + right.coefs[i]);
        side_scratch_[i] = 0.5F * (left.coefs[i] - right.coefs[i]);
    }
    const float separate = left.masking.perceptual_entropy + right.masking.perceptual_entropy;
    const float mid_bits = BandPerceptualEntropy(mid_scratch_.data(), mid_masking.allowed.data(),
                                                 params_, block.k, block.end);
    const float side_bits = BandPerceptualEntropy(side_scratch_.data(), side_masking.allowed.data(),
                                                  params_, block.k, block.end);
    if (mid_bits + side_bits >= separate && tuning_.stereo != StereoChoice::kMidSide) {
        return;
    }
    block.coding.mid_side = true;
    std::copy(mid_scratch_.begin(), mid_scratch_.end(), left.coefs.data());
    std::copy(side_scratch_.begin(), side_scratch_.end(), right.coefs.data());
    mid_masking.perceptual_entropy = mid_bits;
    side_masking.perceptual_entropy = side_bits;
    left.masking = mid_masking;
    right.masking = side_masking;
    const auto& edges = params_.band_edges[block.k];
    const float floor = 0.01F * static_cast<float>(n);
    for (int ch = 0; ch < 2; ++ch) {
        ChannelWork& channel = block.channels[ch];
        channel.content = false;
        for (int b = 0; b < bands; ++b) {
            const int from = edges[static_cast<std::size_t>(b)];
            const int to = edges[static_cast<std::size_t>(b) + 1];
            float energy = 0;
            float peak = 0;
            for (int i = from; i < to; ++i) {
                const float c = channel.coefs[static_cast<std::size_t>(i)];
                energy += c * c;
                peak = std::max(peak, i < block.end ? std::fabs(c) : 0.0F);
            }
            channel.content = channel.content || peak > floor;
            channel.masking.energy[b] = energy / static_cast<float>(to - from);
        }
    }
}

void FrameCoder::ChooseNoiseBands(BlockWork& block) {
    const auto& high = params_.high_bands[block.k];
    for (int ch = 0; ch < params_.channels; ++ch) {
        ChannelWork& channel = block.channels[ch];
        ChannelCoding& coding = block.coding.channels[ch];
        coding.noise.fill(false);
        if (!channel.content) {
            continue;
        }
        for (std::size_t j = 0; j < high.size(); ++j) {
            const int from = high[j][0];
            const int to = high[j][1];
            // Only bands that lie wholly in the high range: a band's exponent also sets the
            // step of its coded part.
            const int band = BandOf(block.k, from);
            if (from < block.end ||
                params_.band_edges[block.k][static_cast<std::size_t>(band)] < from) {
                continue;
            }
            double energy = 0;
            for (int i = from; i < to; ++i) {
                energy += static_cast<double>(channel.coefs[static_cast<std::size_t>(i)]) *
                          channel.coefs[static_cast<std::size_t>(i)];
            }
            energy /= to - from;
            // Noise where something would be heard; silence where nothing would be.
            coding.noise[j] = tuning_.noise_substitution && energy > channel.masking.allowed[band];
            channel.noise_energy[j] = static_cast<float>(energy);
        }
    }
}

bool FrameCoder::HasNoiseBand(const BlockWork& block, int ch, int band) const {
    if (!params_.noise_coding) {
        return false;
    }
    const auto& high = params_.high_bands[block.k];
    for (std::size_t j = 0; j < high.size(); ++j) {
        if (block.coding.channels[ch].noise[j] && BandOf(block.k, high[j][0]) == band) {
            return true;
        }
    }
    return false;
}

void FrameCoder::ChooseExponents(BlockWork& block) {
    const int k = block.k;
    const int bands = params_.band_count(k);
    const auto& edges = params_.band_edges[k];
    // A coefficient counts where it would not quantise to zero at the expected offset.
    const float significance = std::pow(10.0F, expected_offset_db_ / 10.0F) * 0.25F;
    for (int ch = 0; ch < params_.channels; ++ch) {
        ChannelWork& channel = block.channels[ch];
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
        if (params_.noise_coding && channel.content) {
            // The decoder adds a little noise (1/50 of the step) at every coded position,
            // zeros included: bands that carry nothing keep the step their mask asks for.
            for (int b = 0; b < bands; ++b) {
                const bool all_noise =
                    HasNoiseBand(block, ch, b) &&
                    edges[static_cast<std::size_t>(b)] >= params_.high_band_start[k];
                channel.weight[b] = all_noise ? 0.0F : std::max(channel.weight[b], 0.5F);
            }
        }
        channel.offset = wma2::ChooseExponents(channel.wanted.data(), channel.weight.data(), bands,
                                               tuning_.precision_cost, channel.chosen);
        channel.top = *std::max_element(channel.chosen.begin(), channel.chosen.begin() + bands);
        if (params_.noise_coding && channel.content) {
            PlaceNoiseExponents(block, ch);
        }
        channel.gain_base = kDbPerExponent * static_cast<float>(channel.top - channel.offset);
    }
    if (params_.channels == 2 && block.channels[0].content && block.channels[1].content &&
        !params_.noise_coding) {
        // One gain serves both channels, and each channel's steps are relative to its own
        // largest exponent. Lift a band that carries nothing in the quieter channel so that
        // its largest exponent matches the louder channel's; without such a band the two
        // meet half-way.
        const int louder = block.channels[0].gain_base >= block.channels[1].gain_base ? 0 : 1;
        const int quieter = 1 - louder;
        ChannelWork& quiet = block.channels[quieter];
        const float gap = block.channels[louder].gain_base - quiet.gain_base;
        const int lift = static_cast<int>(std::lround(gap / kDbPerExponent));
        if (lift > 0) {
            const int wanted = quiet.top + lift;
            for (int b = bands - 1; b >= 0; --b) {
                if (quiet.weight[b] > 0 || HasNoiseBand(block, quieter, b)) {
                    continue;
                }
                const int before = b > 0 ? quiet.chosen[b - 1] : kFirstExponentBase;
                const int after = b + 1 < bands ? quiet.chosen[b + 1] : wanted;
                if (wanted <= kMaxExponent && std::abs(wanted - before) <= kMaxExponentDelta &&
                    std::abs(wanted - after) <= kMaxExponentDelta) {
                    quiet.chosen[b] = wanted;
                    quiet.top = wanted;
                    quiet.gain_base = block.channels[louder].gain_base;
                    break;
                }
            }
        }
    }
}

void FrameCoder::PlaceNoiseExponents(BlockWork& block, int ch) {
    // A noise band's level is sent relative to its own exponent, the last noise band's and
    // the channel's largest, in a limited range (and in limited steps from band to band).
    // The exponents of the noise bands are free otherwise: place them so that every level
    // comes out the same, high in its range; low exponents also keep the decoder's faint
    // noise above the coded range (a fiftieth of the last band's step) far down.
    ChannelWork& channel = block.channels[ch];
    const auto& high = params_.high_bands[block.k];
    int last = -1;
    for (std::size_t j = 0; j < high.size(); ++j) {
        if (block.coding.channels[ch].noise[j]) {
            last = static_cast<int>(j);
        }
    }
    if (last < 0) {
        return;
    }
    constexpr float kLevelAim = 100.0F; // dB, inside the level field's -19 .. 108
    const auto level_db = [&](int j) {
        return 10.0F *
               std::log10(std::max(channel.noise_energy[static_cast<std::size_t>(j)], 1e-10F));
    };
    const float last_exponent =
        static_cast<float>(channel.top) - (kLevelAim - level_db(last)) / kDbPerExponent;
    for (std::size_t j = 0; j < high.size(); ++j) {
        if (!block.coding.channels[ch].noise[j]) {
            continue;
        }
        const float exponent = last_exponent + (level_db(static_cast<int>(j)) - level_db(last)) /
                                                   (2.0F * kDbPerExponent);
        const int b = BandOf(block.k, high[j][0]);
        channel.wanted[b] = std::min(exponent, static_cast<float>(channel.top)) -
                            static_cast<float>(channel.offset);
        channel.weight[b] = 4.0F;
    }
    const int bands = params_.band_count(block.k);
    channel.offset = wma2::ChooseExponents(channel.wanted.data(), channel.weight.data(), bands,
                                           tuning_.precision_cost, channel.chosen);
    channel.top = *std::max_element(channel.chosen.begin(), channel.chosen.begin() + bands);
}

void FrameCoder::PlanReuse(BlockWork& block, std::array<StoredExponents, 2>& stored) {
    const int k = block.k;
    const int bands = params_.band_count(k);
    const auto& edges = params_.band_edges[k];
    block.reuse = false;
    bool any = false;
    if (k != 0) {
        // Keeping the decoder's exponents saves their code bits and costs precision where
        // they differ from the wanted curve.
        float saved = 0;
        float lost = 0;
        bool possible = true;
        for (int ch = 0; ch < params_.channels; ++ch) {
            const ChannelWork& channel = block.channels[ch];
            if (!channel.content) {
                continue;
            }
            any = true;
            const StoredExponents& old = stored[ch];
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
                lost += tuning_.precision_cost * channel.weight[b] * miss * miss;
            }
        }
        const bool cheaper = tuning_.reuse_exponents == ExponentReuse::kAlways || lost < saved;
        block.reuse =
            tuning_.reuse_exponents != ExponentReuse::kNever && possible && any && cheaper;
    }
    if (block.reuse) {
        return;
    }
    for (int ch = 0; ch < params_.channels; ++ch) {
        const ChannelWork& channel = block.channels[ch];
        if (channel.content) {
            Store(k, channel.chosen, channel.offset, stored[ch]);
        }
    }
}

float FrameCoder::SetNoiseLevels(BlockWork& block, int ch) {
    ChannelWork& channel = block.channels[ch];
    ChannelCoding& coding = block.coding.channels[ch];
    const auto& high = params_.high_bands[block.k];
    // Per noise band, 10 log10 of the mean squared exponent factor over its coefficients.
    std::array<float, kMaxHighBands> power_db{};
    int last = -1;
    for (std::size_t j = 0; j < high.size(); ++j) {
        if (!coding.noise[j]) {
            continue;
        }
        double sum = 0;
        for (int i = high[j][0]; i < high[j][1]; ++i) {
            sum += std::pow(10.0, channel.exponent_of[static_cast<std::size_t>(i)] / 8.0);
        }
        power_db[j] = static_cast<float>(10.0 * std::log10(sum / (high[j][1] - high[j][0])));
        last = static_cast<int>(j);
    }
    bool first = true;
    int previous = 0;
    float miss = 0;
    const float top_db = kDbPerExponent * static_cast<float>(channel.effective_top);
    for (std::size_t j = 0; j < high.size(); ++j) {
        if (!coding.noise[j]) {
            continue;
        }
        // The decoder scales noise band j by P_j / (sqrt(P_last) Emax) 10^(level / 20).
        const float target_db =
            10.0F * std::log10(std::max(channel.noise_energy[j], 1e-10F)) + tuning_.noise_fill_db;
        const float level_db =
            target_db - 2.0F * power_db[j] + power_db[static_cast<std::size_t>(last)] + top_db;
        int level = static_cast<int>(std::lround(level_db));
        if (first) {
            level = std::clamp(level, kMinNoiseLevel, kMaxNoiseLevel);
            first = false;
        } else {
            level =
                std::clamp(level, previous - kMaxNoiseLevelDelta, previous + kMaxNoiseLevelDelta);
        }
        coding.noise_level[j] = level;
        previous = level;
        miss = std::max(miss, std::fabs(static_cast<float>(level) - level_db));
    }
    return miss;
}

void FrameCoder::Quantise(BlockWork& block, int offset_db, std::array<StoredExponents, 2>& stored,
                          bool may_reuse) {
    const int k = block.k;
    const int n = params_.block_len(k);
    const int bands = params_.band_count(k);
    const auto& edges = params_.band_edges[k];
    const int end_all = params_.coefs_end[k];
    BlockCoding& coding = block.coding;

    bool reuse = may_reuse && block.reuse && k != 0;
    for (int ch = 0; ch < params_.channels && reuse; ++ch) {
        reuse = !block.channels[ch].content || stored[ch].valid;
    }
    coding.new_exponents = !reuse;

    // Effective exponents per coefficient, and the gain the offset asks for.
    float base = 0;
    int with_content = 0;
    for (int ch = 0; ch < params_.channels; ++ch) {
        ChannelWork& channel = block.channels[ch];
        channel.exponent_of.resize(static_cast<std::size_t>(n));
        coding.channels[ch].exponents = channel.chosen;
        if (!channel.content) {
            continue;
        }
        ++with_content;
        if (reuse) {
            const StoredExponents& old = stored[ch];
            MapStoredExponents(k, old, channel.exponent_of);
            channel.effective_top = old.top;
            base += kDbPerExponent * static_cast<float>(old.top - old.offset);
        } else {
            for (int b = 0; b < bands; ++b) {
                std::fill(channel.exponent_of.begin() + edges[static_cast<std::size_t>(b)],
                          channel.exponent_of.begin() + edges[static_cast<std::size_t>(b) + 1],
                          channel.chosen[b]);
            }
            channel.effective_top = channel.top;
            base += channel.gain_base;
        }
    }
    int gain =
        std::max(1, static_cast<int>(std::lround(
                        static_cast<float>(offset_db) +
                        (with_content > 0 ? base / static_cast<float>(with_content) : 0.0F))));

    // Every value must fit the escape code's level field: bands that would overflow get a
    // coarser step (their exponent up, at most to the channel's largest), and if that is
    // not enough the whole block a larger gain.
    const auto& ratios = StepRatios();
    for (int pass = 0; pass < 4; ++pass) {
        const auto limit = static_cast<float>((1 << EscapeLevelBits(gain)) - 1);
        const float scale = std::pow(10.0F, -static_cast<float>(gain) / 20.0F);
        float worst = 0;
        for (int ch = 0; ch < params_.channels; ++ch) {
            ChannelWork& channel = block.channels[ch];
            if (!channel.content) {
                continue;
            }
            const int top = channel.effective_top;
            bool raised = false;
            for (int b = 0; b < bands; ++b) {
                const int from = edges[static_cast<std::size_t>(b)];
                const int to = std::min(edges[static_cast<std::size_t>(b) + 1], block.end);
                float peak = 0;
                for (int i = from; i < to; ++i) {
                    const float level =
                        std::fabs(channel.coefs[static_cast<std::size_t>(i)]) *
                        ratios[static_cast<std::size_t>(
                            top - channel.exponent_of[static_cast<std::size_t>(i)])];
                    peak = std::max(peak, level);
                }
                peak *= scale;
                if (peak <= limit) {
                    continue;
                }
                const int e = coding.channels[ch].exponents[b];
                if (!reuse && e < top) {
                    const int need = static_cast<int>(std::ceil(16.0F * std::log10(peak / limit)));
                    coding.channels[ch].exponents[b] = std::min(top, e + need);
                    raised = true;
                    const float left =
                        peak /
                        ratios[static_cast<std::size_t>(coding.channels[ch].exponents[b] - e)];
                    worst = std::max(worst, left / limit);
                } else {
                    worst = std::max(worst, peak / limit);
                }
            }
            if (raised) {
                // Keep neighbouring exponents within the code's reach.
                Exponents& e = coding.channels[ch].exponents;
                for (int b = bands - 1; b > 0; --b) {
                    e[b - 1] = std::max(e[b - 1], e[b] - kMaxExponentDelta);
                }
                for (int b = 1; b < bands; ++b) {
                    e[b] = std::max(e[b], e[b - 1] - kMaxExponentDelta);
                }
                for (int b = 0; b < bands; ++b) {
                    std::fill(channel.exponent_of.begin() + edges[static_cast<std::size_t>(b)],
                              channel.exponent_of.begin() + edges[static_cast<std::size_t>(b) + 1],
                              e[b]);
                }
            }
        }
        if (worst <= 1.0F) {
            break;
        }
        gain += static_cast<int>(std::ceil(20.0F * std::log10(worst)));
    }
    coding.gain = gain;
    const float scale = std::pow(10.0F, -static_cast<float>(gain) / 20.0F);
    const int max_level = (1 << EscapeLevelBits(gain)) - 1;
    float noise_miss = 0;
    for (int ch = 0; ch < params_.channels; ++ch) {
        ChannelWork& channel = block.channels[ch];
        ChannelCoding& out = coding.channels[ch];
        out.values.assign(static_cast<std::size_t>(end_all), 0);
        out.filler = 0;
        bool any = false;
        if (channel.content) {
            channel.inverse_step.resize(static_cast<std::size_t>(block.end));
            for (int i = 0; i < block.end; ++i) {
                channel.inverse_step[static_cast<std::size_t>(i)] = ratios[static_cast<std::size_t>(
                    channel.effective_top - channel.exponent_of[static_cast<std::size_t>(i)])];
            }
            any = wma2::Quantise(channel.coefs.data(), channel.inverse_step.data(), scale,
                                 tuning_.rounding_bias, block.end, max_level, out.values.data());
        }
        bool noise = false;
        for (std::size_t j = 0; j < params_.high_bands[k].size(); ++j) {
            noise = noise || out.noise[j];
        }
        out.coded = any || noise;
        if (noise) {
            noise_miss = std::max(noise_miss, SetNoiseLevels(block, ch));
        }
    }
    if (reuse && noise_miss > kNoiseLevelSlack) {
        // The kept exponents put a noise level out of its field's reach: send new ones.
        Quantise(block, offset_db, stored, false);
        return;
    }

    // What the decoder keeps from this block.
    if (coding.new_exponents || k == 0) {
        coding.new_exponents = true;
        for (int ch = 0; ch < params_.channels; ++ch) {
            if (coding.channels[ch].coded) {
                Store(coding.k, coding.channels[ch].exponents,
                      block.channels[ch].content ? block.channels[ch].offset : 0, stored[ch]);
            }
        }
    }
}

void FrameCoder::MapStoredExponents(int k, const StoredExponents& stored,
                                    std::vector<int>& exponent_of) const {
    // Coefficient i of a block of size index k reads stored position (i << k) >> k_s. With
    // noise coding the decoder walks the high bands with a pointer advanced by each band's
    // width scaled the same way, which rounds down where a larger block reads the exponents
    // of a smaller one: follow it exactly.
    const int n = params_.block_len(k);
    const auto at = [&](int position) {
        return stored.per_coef[static_cast<std::size_t>(position)];
    };
    if (!params_.noise_coding) {
        for (int i = 0; i < n; ++i) {
            exponent_of[static_cast<std::size_t>(i)] = at((i << k) >> stored.k);
        }
        return;
    }
    const int start = params_.high_band_start[k];
    for (int i = 0; i < start; ++i) {
        exponent_of[static_cast<std::size_t>(i)] = at((i << k) >> stored.k);
    }
    int pointer = (start << k) >> stored.k;
    int position = start;
    for (const auto& band : params_.high_bands[k]) {
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

std::uint64_t FrameCoder::CountBlocks() {
    BitCounter counter;
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        BlockCoding& coding = blocks_[b].coding;
        coding.explicit_sizes = b == 0 && explicit_sizes_;
        if (!PutBlockSide(counter, params_, coding)) {
            continue;
        }
        const int escape_bits = EscapeLevelBits(coding.gain);
        for (int ch = 0; ch < params_.channels; ++ch) {
            const ChannelCoding& channel = coding.channels[ch];
            if (!channel.coded) {
                continue;
            }
            const CoefficientCode& code =
                CoefficientCodeTable(CoefficientTable(params_, coding, ch));
            const std::int32_t* values = channel.values.data();
            int count = params_.coefs_end[coding.k];
            if (params_.noise_coding) {
                PackCodedValues(params_, coding.k, channel, scratch_);
                values = scratch_.data();
                count = static_cast<int>(scratch_.size());
            }
            PutCoefficients(counter, code, values, count, escape_bits, params_.frame_bits,
                            channel.filler);
        }
    }
    return counter.bits;
}

std::uint64_t FrameCoder::Bits(int offset_db) {
    QuantiseAll(offset_db);
    return CountBlocks();
}

void FrameCoder::QuantiseAll(int offset_db) {
    if (quantised_at_ == offset_db) {
        return; // the blocks hold this offset's values already
    }
    auto stored = stored_;
    for (auto& block : blocks_) {
        Quantise(block, offset_db, stored);
    }
    pending_stored_ = std::move(stored);
    quantised_at_ = offset_db;
}

std::uint64_t FrameCoder::Write(int offset_db, std::uint64_t min_bits, std::uint64_t max_bits,
                                BitWriter& out) {
    QuantiseAll(offset_db);
    std::uint64_t bits = CountBlocks();
    if (bits > max_bits) {
        // Even the coarsest steps leave too much: silence blocks from the end until the
        // frame fits. (The block planner and the rate control keep this from happening.)
        for (std::size_t b = blocks_.size(); b-- > 0 && bits > max_bits;) {
            for (auto& channel : blocks_[b].coding.channels) {
                channel.coded = false;
            }
            bits = CountBlocks();
        }
        RecomputeStored();
    }
    if (bits < min_bits) {
        bits = AddFiller(bits, min_bits, max_bits);
        RecomputeStored();
    }
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        blocks_[b].coding.explicit_sizes = b == 0 && explicit_sizes_;
        PutBlock(out, params_, blocks_[b].coding, scratch_);
    }
    stored_ = pending_stored_;
    quantised_at_ = kNotQuantised; // filler and silenced blocks changed the values
    return bits;
}

void FrameCoder::RecomputeStored() {
    // What the decoder keeps after the frame as it is now: the exponents of every coded
    // channel of every block that sends them.
    auto stored = stored_;
    for (auto& block : blocks_) {
        const BlockCoding& coding = block.coding;
        if (!coding.new_exponents && coding.k != 0) {
            continue;
        }
        for (int ch = 0; ch < params_.channels; ++ch) {
            if (coding.channels[ch].coded) {
                Store(coding.k, coding.channels[ch].exponents,
                      block.channels[ch].content ? block.channels[ch].offset : 0, stored[ch]);
            }
        }
    }
    pending_stored_ = std::move(stored);
}

void FrameCoder::Store(int k, const Exponents& exponents, int offset, StoredExponents& s) const {
    const int bands = params_.band_count(k);
    const auto& edges = params_.band_edges[k];
    s.valid = true;
    s.k = k;
    s.per_coef.resize(static_cast<std::size_t>(params_.block_len(k)));
    for (int b = 0; b < bands; ++b) {
        std::fill(s.per_coef.begin() + edges[static_cast<std::size_t>(b)],
                  s.per_coef.begin() + edges[static_cast<std::size_t>(b) + 1], exponents[b]);
    }
    s.top = *std::max_element(exponents.begin(), exponents.begin() + bands);
    s.offset = offset;
}

std::uint64_t FrameCoder::AddFiller(std::uint64_t bits, std::uint64_t min_bits,
                                    std::uint64_t max_bits) {
    // Zero-level escapes in the coded channels first; then channels that carried nothing
    // are coded, all zeros, to hold more.
    for (const bool start_channels : {false, true}) {
        for (std::size_t b = 0; b < blocks_.size() && bits < min_bits; ++b) {
            BlockCoding& coding = blocks_[b].coding;
            for (int ch = 0; ch < params_.channels && bits < min_bits; ++ch) {
                ChannelCoding& channel = coding.channels[ch];
                if (channel.coded == start_channels) {
                    continue;
                }
                if (start_channels) {
                    if (!MayStartCoding(b, ch)) {
                        continue;
                    }
                    const bool sent_exponents = coding.new_exponents;
                    channel.coded = true;
                    coding.new_exponents = true;
                    const std::uint64_t with = CountBlocks();
                    if (with > max_bits) {
                        channel.coded = false;
                        coding.new_exponents = sent_exponents;
                        continue;
                    }
                    bits = with;
                }
                bits = FillChannel(coding, ch, bits, min_bits, max_bits);
            }
        }
    }
    return bits;
}

bool FrameCoder::MayStartCoding(std::size_t b, int ch) const {
    // The channel's exponents go out with it: only in a block that sends exponents anyway
    // (or sends none because nothing in it is coded), and only when no later block of the
    // frame codes the channel with the exponents the decoder holds now.
    const BlockCoding& coding = blocks_[b].coding;
    bool any_coded = false;
    for (int c = 0; c < params_.channels; ++c) {
        any_coded = any_coded || coding.channels[c].coded;
    }
    if (any_coded && !coding.new_exponents && coding.k != 0) {
        return false;
    }
    for (std::size_t later = b + 1; later < blocks_.size(); ++later) {
        const BlockCoding& next = blocks_[later].coding;
        if (next.channels[ch].coded) {
            return next.new_exponents || next.k == 0;
        }
    }
    return true;
}

std::uint64_t FrameCoder::FillChannel(BlockCoding& coding, int ch, std::uint64_t bits,
                                      std::uint64_t min_bits, std::uint64_t max_bits) {
    ChannelCoding& channel = coding.channels[ch];
    PackCodedValues(params_, coding.k, channel, scratch_);
    const auto zeros = static_cast<int>(std::count(scratch_.begin(), scratch_.end(), 0));
    const auto each = static_cast<std::uint64_t>(
        FillerBits(CoefficientCodeTable(CoefficientTable(params_, coding, ch)),
                   EscapeLevelBits(coding.gain), params_.frame_bits));
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
        bits = CountBlocks();
    }
    while (bits > max_bits && channel.filler > 0) {
        --channel.filler;
        bits = CountBlocks();
    }
    return bits;
}

} // namespace wma2
