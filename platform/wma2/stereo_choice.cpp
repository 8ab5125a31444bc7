#include "stereo_choice.h"

#include "fast_math.h"

#include <algorithm>
#include <cmath>

namespace wma2 {
namespace {

// Bits that the coded part of a block's spectrum takes at the allowed noise.
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

void StereoChooser::Choose(StereoChoice choice, BlockAnalysis& block) {
    ChannelAnalysis& left = block.channels[0];
    ChannelAnalysis& right = block.channels[1];
    block.mid_side = false;
    if (choice == StereoChoice::kLeftRight ||
        (!left.content && !right.content && choice != StereoChoice::kMidSide)) {
        return;
    }
    const int n = params_.block_len(block.k);
    const int bands = params_.band_count(block.k);
    BandMasking mid_masking = left.masking;
    BandMasking side_masking = right.masking;
    HearingModel::MidSideMasking(left.masking, right.masking, bands, mid_masking, side_masking);
    mid_.resize(static_cast<std::size_t>(n));
    side_.resize(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
        mid_[i] = 0.5F * (left.coefs[i] + right.coefs[i]);
        side_[i] = 0.5F * (left.coefs[i] - right.coefs[i]);
    }
    const float separate = left.masking.perceptual_entropy + right.masking.perceptual_entropy;
    const float mid_bits =
        BandPerceptualEntropy(mid_.data(), mid_masking.allowed.data(), params_, block.k, block.end);
    const float side_bits = BandPerceptualEntropy(side_.data(), side_masking.allowed.data(),
                                                  params_, block.k, block.end);
    if (mid_bits + side_bits >= separate * (1.0F + bias_) && choice != StereoChoice::kMidSide) {
        return;
    }
    block.mid_side = true;
    std::copy(mid_.begin(), mid_.end(), left.coefs.data());
    std::copy(side_.begin(), side_.end(), right.coefs.data());
    mid_masking.perceptual_entropy = mid_bits;
    side_masking.perceptual_entropy = side_bits;
    left.masking = mid_masking;
    right.masking = side_masking;
    const auto& edges = params_.band_edges[block.k];
    const float floor = 0.01F * static_cast<float>(n);
    for (ChannelAnalysis* channel : {&left, &right}) {
        channel->content = false;
        for (int b = 0; b < bands; ++b) {
            const int from = edges[static_cast<std::size_t>(b)];
            const int to = edges[static_cast<std::size_t>(b) + 1];
            float energy = 0;
            float peak = 0;
            for (int i = from; i < to; ++i) {
                const float c = channel->coefs[static_cast<std::size_t>(i)];
                energy += c * c;
                peak = std::max(peak, i < block.end ? std::fabs(c) : 0.0F);
            }
            channel->content = channel->content || peak > floor;
            channel->masking.energy[b] = energy / static_cast<float>(to - from);
        }
    }
}

} // namespace wma2
