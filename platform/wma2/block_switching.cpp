#include "block_switching.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace wma2 {
namespace {

constexpr float kMaxUnevenness = 1e4F;
// Quietest segment energy counted: about -70 dBFS of a first difference over 64 samples.
constexpr float kQuietSegment = 7000.0F;
constexpr int kSegmentLen = 64;

} // namespace

BlockPlanner::BlockPlanner(const StreamParams& params, const EncoderTuning& tuning)
    : params_(params), split_unevenness_(tuning.split_unevenness), forced_(tuning.forced_blocks),
      transform_(params), model_(params, {tuning.tonal_offset_db, tuning.width_share}),
      segment_len_(kSegmentLen) {
    energy_.resize(static_cast<std::size_t>(2 * params_.frame_len / segment_len_));
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
        double energy = 0;
        for (int ch = 0; ch < params_.channels; ++ch) {
            const float* x = signal[ch] + s * segment_len_;
            // First difference: attacks stand out against the low frequencies.
            float previous = s == 0 ? x[0] : x[-1];
            for (int i = 0; i < segment_len_; ++i) {
                const float d = x[i] - previous;
                energy += static_cast<double>(d) * d;
                previous = x[i];
            }
        }
        energy_[static_cast<std::size_t>(s)] =
            std::max(static_cast<float>(energy), kQuietSegment * params_.channels);
    }
    if (params_.block_sizes == 1 || Unevenness(0, 0) < split_unevenness_) {
        blocks.push_back(0);
        return;
    }
    float cost = 0;
    Split(signal, 0, 0, blocks, &cost);
}

float BlockPlanner::Unevenness(int k, int start) const {
    // The block's window covers [start - N/2, start + 3N/2) of the frame's block stretch,
    // which itself starts F/2 into the analysed 2F samples.
    const int n = params_.block_len(k);
    const int first = params_.frame_len / 2 + start - n / 2;
    const int segments = 2 * n / segment_len_;
    if (segments < 2) {
        return 1.0F;
    }
    double weighted = 0;
    double weights = 0;
    std::array<double, 64> window{};
    for (int s = 0; s < segments; ++s) {
        const double t = (s + 0.5) * segment_len_;
        const double w = std::sin(std::numbers::pi * t / (2.0 * n));
        window[static_cast<std::size_t>(s)] = w * w;
        const auto e = energy_[static_cast<std::size_t>(first / segment_len_ + s)];
        weighted += w * w * e;
        weights += w * w;
    }
    const double mean = weighted / weights;
    double loss = 0;
    for (int s = 0; s < segments; ++s) {
        const auto e = energy_[static_cast<std::size_t>(first / segment_len_ + s)];
        loss += window[static_cast<std::size_t>(s)] * mean / e;
    }
    return std::min(static_cast<float>(loss / weights), kMaxUnevenness);
}

float BlockPlanner::BlockCost(const std::array<const float*, 2>& signal, int k, int start) {
    const int n = params_.block_len(k);
    const int first = params_.frame_len / 2 + start - n / 2;
    const float loss = Unevenness(k, start);
    const auto& edges = params_.band_edges[k];
    const int bands = params_.band_count(k);
    const int end = params_.coefs_end[k];
    float bits = 0;
    for (int ch = 0; ch < params_.channels; ++ch) {
        transform_.Forward(k, k, k, signal[ch] + first, coefs_.data());
        model_.Analyse(k, coefs_.data(), end, masking_);
        for (int b = 0; b < bands; ++b) {
            const int to = std::min(edges[static_cast<std::size_t>(b) + 1], end);
            const float scale = loss / (masking_.allowed[b] * noise_factor_);
            for (int i = edges[static_cast<std::size_t>(b)]; i < to; ++i) {
                const float c = coefs_[static_cast<std::size_t>(i)];
                bits += 0.5F * std::log2(1.0F + c * c * scale);
            }
        }
        // Side information: exponents, noise-coded bands, gain.
        bits += 2.5F * static_cast<float>(bands) + (params_.noise_coding ? 25.0F : 0.0F) + 8.0F;
    }
    return bits + 6.0F; // sizes, stereo and coded flags
}

void BlockPlanner::Split(const std::array<const float*, 2>& signal, int k, int start,
                         std::vector<int>& blocks, float* cost) {
    const bool smallest = k + 1 >= params_.block_sizes;
    if (smallest || Unevenness(k, start) < split_unevenness_) {
        blocks.push_back(k);
        *cost = BlockCost(signal, k, start);
        return;
    }
    const std::size_t mark = blocks.size();
    float halves = 0;
    float half = 0;
    const int n = params_.block_len(k);
    Split(signal, k + 1, start, blocks, &half);
    halves += half;
    Split(signal, k + 1, start + n / 2, blocks, &half);
    halves += half;
    const float whole = BlockCost(signal, k, start);
    if (whole <= halves) {
        blocks.resize(mark);
        blocks.push_back(k);
        *cost = whole;
    } else {
        *cost = halves;
    }
}

} // namespace wma2
