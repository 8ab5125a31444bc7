#include "block_switching.h"

#include "fast_math.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace wma2 {
namespace {

constexpr float kMaxUnevenness = 1e4F;
// Quietest segment energy counted: about -70 dBFS of a first difference over 64 samples.
constexpr float kQuietSegment = 7000.0F;
constexpr int kSegmentLen = 128;

} // namespace

BlockPlanner::BlockPlanner(const StreamParams& params, const EncoderTuning& tuning)
    : params_(params), split_unevenness_(tuning.split_unevenness), forced_(tuning.forced_blocks),
      transform_(params), model_(params, {tuning.tonal_offset_db, tuning.width_share,
                                          tuning.deep_bass_snr_db, tuning.low_tilt_db_per_bark}),
      segment_len_(kSegmentLen) {
    energy_.resize(static_cast<std::size_t>(2 * params_.frame_len / segment_len_));
    // The squared sine window of each block size at the middle of each segment.
    for (int k = 0; k < params_.block_sizes; ++k) {
        const int n = params_.block_len(k);
        for (int s = 0; s < 2 * n / segment_len_; ++s) {
            const double w = std::sin(std::numbers::pi * (s + 0.5) * segment_len_ / (2.0 * n));
            segment_weights_[k].push_back(static_cast<float>(w * w));
        }
    }
    mix_.resize(static_cast<std::size_t>(2 * params_.frame_len));
    for (auto& ancestor : ancestors_) {
        ancestor.coefs.Resize(static_cast<std::size_t>(params_.frame_len));
    }
    coefs_.Resize(static_cast<std::size_t>(params_.frame_len));
}

void BlockPlanner::Plan(const std::array<const float*, 2>& signal, float offset_db,
                        std::vector<int>& blocks) {
    noise_factor_ = std::pow(10.0F, offset_db / 10.0F);
    blocks.clear();
    if (!forced_.empty()) {
        blocks = forced_;
        return;
    }
    const int frame_len = params_.frame_len;
    const int segments = 2 * frame_len / segment_len_;
    for (int s = 0; s < segments; ++s) {
        float energy = 0;
        for (int ch = 0; ch < params_.channels; ++ch) {
            const float* x = signal[ch] + s * segment_len_;
            // First difference: attacks stand out against the low frequencies.
            energy += s == 0 ? 0.0F : (x[0] - x[-1]) * (x[0] - x[-1]);
            for (int i = 1; i < segment_len_; ++i) {
                const float d = x[i] - x[i - 1];
                energy += d * d;
            }
        }
        energy_[static_cast<std::size_t>(s)] =
            std::max(energy, kQuietSegment * static_cast<float>(params_.channels));
    }
    if (params_.block_sizes == 1 || Unevenness(0, 0) < split_unevenness_) {
        blocks.push_back(0);
        return;
    }
    // The cuts are weighed on one channel: the mean of the two.
    const float* mono = signal[0];
    if (params_.channels == 2) {
        for (std::size_t i = 0; i < mix_.size(); ++i) {
            mix_[i] = 0.5F * (signal[0][i] + signal[1][i]);
        }
        mono = mix_.data();
    }
    for (auto& ancestor : ancestors_) {
        ancestor.start = -1;
    }
    Split(mono, 0, 0, blocks);
}

float BlockPlanner::Unevenness(int k, int start) const {
    // The block's window covers [start - N/2, start + 3N/2) of the frame's block stretch,
    // which itself starts F/2 into the analysed 2F samples.
    const int n = params_.block_len(k);
    const auto& window = segment_weights_[k];
    if (window.size() < 2) {
        return 1.0F;
    }
    const float* e = energy_.data() + (params_.frame_len / 2 + start - n / 2) / segment_len_;
    double weighted = 0;
    double weights = 0;
    for (std::size_t s = 0; s < window.size(); ++s) {
        weighted += window[s] * e[s];
        weights += window[s];
    }
    const double mean = weighted / weights;
    double loss = 0;
    for (std::size_t s = 0; s < window.size(); ++s) {
        loss += window[s] * mean / e[s];
    }
    return std::min(static_cast<float>(loss / weights), kMaxUnevenness);
}

void BlockPlanner::AnalyseAncestor(const float* signal, int k, int start) {
    // The model runs on blocks down to half the frame; smaller blocks borrow the
    // mask of the half they lie in, scaled to their own level.
    Ancestor& ancestor = ancestors_[k];
    if (ancestor.start == start) {
        return;
    }
    ancestor.start = start;
    const int n = params_.block_len(k);
    transform_.Forward(k, k, k, signal + params_.frame_len / 2 + start - n / 2,
                       ancestor.coefs.data());
    model_.Analyse(k, ancestor.coefs.data(), params_.coefs_end[k], ancestor.masking,
                   /*tonality=*/false);
    const auto& edges = params_.band_edges[k];
    ancestor.allowed.assign(static_cast<std::size_t>(n) + 1, 0.0F);
    float energy = 0;
    for (int b = 0; b < params_.band_count(k); ++b) {
        for (int i = edges[static_cast<std::size_t>(b)]; i < edges[static_cast<std::size_t>(b) + 1];
             ++i) {
            ancestor.allowed[static_cast<std::size_t>(i) + 1] =
                ancestor.allowed[static_cast<std::size_t>(i)] + ancestor.masking.allowed[b];
            energy += ancestor.coefs[static_cast<std::size_t>(i)] *
                      ancestor.coefs[static_cast<std::size_t>(i)];
        }
    }
    ancestor.energy = energy / static_cast<float>(n) + 1e-6F;
}

float BlockPlanner::BlockCost(const float* signal, int k, int start) {
    const int n = params_.block_len(k);
    const int first = params_.frame_len / 2 + start - n / 2;
    const float loss = Unevenness(k, start);
    const auto& edges = params_.band_edges[k];
    const int bands = params_.band_count(k);
    const int end = params_.coefs_end[k];
    const int analysed = std::min(k, kDeepestModel);
    const int ancestor_n = params_.block_len(analysed);
    AnalyseAncestor(signal, analysed, start / ancestor_n * ancestor_n);
    const Ancestor& ancestor = ancestors_[analysed];
    const float* coefs = ancestor.coefs.data();
    if (k == analysed) {
        masking_ = ancestor.masking;
    } else {
        transform_.Forward(k, k, k, signal + first, coefs_.data());
        coefs = coefs_.data();
        float energy = 0;
        for (int i = 0; i < n; ++i) {
            energy += coefs[i] * coefs[i];
        }
        // The borrowed mask follows the block's own level.
        const float ratio = energy / static_cast<float>(n) / ancestor.energy;
        const int r = 1 << (k - analysed);
        for (int b = 0; b < bands; ++b) {
            const auto lo = static_cast<std::size_t>(edges[static_cast<std::size_t>(b)] * r);
            const auto hi = static_cast<std::size_t>(edges[static_cast<std::size_t>(b) + 1] * r);
            masking_.allowed[b] = (ancestor.allowed[hi] - ancestor.allowed[lo]) /
                                      static_cast<float>(hi - lo) * ratio +
                                  1e-6F;
        }
    }
    float bits = 0;
    for (int b = 0; b < bands; ++b) {
        const int to = std::min(edges[static_cast<std::size_t>(b) + 1], end);
        const float scale = loss / (masking_.allowed[b] * noise_factor_);
        for (int i = edges[static_cast<std::size_t>(b)]; i < to; ++i) {
            bits += 0.5F * RoughLog2(1.0F + coefs[i] * coefs[i] * scale);
        }
    }
    // Per channel the side information (exponents, noise-coded bands, gain); then sizes,
    // stereo and coded flags.
    const float side =
        2.5F * static_cast<float>(bands) + (params_.noise_coding ? 25.0F : 0.0F) + 8.0F;
    return static_cast<float>(params_.channels) * (bits + side) + 6.0F;
}

float BlockPlanner::Split(const float* signal, int k, int start, std::vector<int>& blocks) {
    // Bottom up: the cheaper of the block and the best cuts of its halves.
    if (k + 1 >= params_.block_sizes || Unevenness(k, start) < split_unevenness_) {
        blocks.push_back(k);
        return BlockCost(signal, k, start);
    }
    const std::size_t mark = blocks.size();
    const int half = params_.block_len(k) / 2;
    const float halves =
        Split(signal, k + 1, start, blocks) + Split(signal, k + 1, start + half, blocks);
    const float whole = BlockCost(signal, k, start);
    if (whole <= halves) {
        blocks.resize(mark);
        blocks.push_back(k);
        return whole;
    }
    return halves;
}

} // namespace wma2
