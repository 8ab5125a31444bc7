#include "frame_coder.h"

#include "block_exponents.h"
#include "frame_filler.h"
#include "noise_bands.h"

#include <algorithm>
#include <cmath>

namespace wma2 {
namespace {

// At the rates that code the high bands as noise, bits are too scarce to lower whole
// blocks' masks for the quiet before a hit, and the noise levels are sent relative to
// exponents that must stay within reach of them.
TemporalMaskTuning TemporalTuning(const StreamParams& params, const EncoderTuning& tuning) {
    TemporalMaskTuning temporal = tuning.temporal_mask;
    if (params.noise_coding) {
        temporal.limit_db = 0.0F;
    }
    return temporal;
}

} // namespace

FrameCoder::FrameCoder(const StreamParams& params, const EncoderTuning& tuning)
    : params_(params), tuning_(tuning),
      bandwidth_hz_(tuning.bandwidth_hz > 0 ? tuning.bandwidth_hz : BandwidthFor(params)),
      transform_(params), model_(params, {tuning.tonal_offset_db, tuning.width_share,
                                          tuning.deep_bass_snr_db, tuning.low_tilt_db_per_bark}),
      temporal_(params.sample_rate, TemporalTuning(params, tuning)), stereo_(params, tuning),
      quantiser_(params, tuning) {}

void FrameCoder::Analyse(const FrameRequest& request, float expected_offset_db) {
    quantised_at_ = kNotQuantised;
    const int frame_len = params_.frame_len;
    expected_offset_db_ = expected_offset_db;
    analysis_.resize(request.blocks.size());
    perceptual_entropy_ = 0;
    silent_ = true;
    int position = 0;
    DecoderExponents held = held_;
    for (std::size_t b = 0; b < request.blocks.size(); ++b) {
        BlockAnalysis& block = analysis_[b];
        block.k = request.blocks[b];
        block.position = position;
        block.prev_k = b == 0 ? request.prev_k : request.blocks[b - 1];
        block.next_k = b + 1 < request.blocks.size() ? request.blocks[b + 1] : request.next_k;
        block.explicit_sizes = b == 0 && request.explicit_sizes;
        const int n = frame_len >> block.k;
        const double bins_per_hz = 2.0 * n / params_.sample_rate;
        block.end = std::clamp(static_cast<int>(std::ceil(bandwidth_hz_ * bins_per_hz)), 1,
                               params_.coefs_end[block.k]);
        // The block's 2N samples start half a block before its own stretch of the frame,
        // which begins F/2 into the frame.
        const int start = frame_len / 2 + position - n / 2;
        const int left = frame_len >> std::max(block.k, block.prev_k);
        const int right = frame_len >> std::max(block.k, block.next_k);
        std::array<float, 2> temporal{1.0F, 1.0F};
        for (int ch = 0; ch < params_.channels; ++ch) {
            ChannelAnalysis& channel = block.channels[ch];
            if (channel.coefs.size() < static_cast<std::size_t>(frame_len)) {
                channel.coefs.Resize(static_cast<std::size_t>(frame_len));
            }
            transform_.Forward(block.k, block.prev_k, block.next_k, request.signal[ch] + start,
                               channel.coefs.data());
            if (block.k >= tuning_.temporal_mask.from_k) {
                temporal[static_cast<std::size_t>(ch)] =
                    temporal_.Factor(request.signal[ch] + start, n, left, right);
            }
        }
        AnalyseBlock(block, temporal);
        PlanReuse(params_, tuning_, block, held);
        position += n;
    }
}

void FrameCoder::AnalyseBlock(BlockAnalysis& block, const std::array<float, 2>& temporal) {
    const int n = params_.block_len(block.k);
    for (int ch = 0; ch < params_.channels; ++ch) {
        ChannelAnalysis& channel = block.channels[ch];
        channel.noise.fill(false);
        if (ch == 1 && std::equal(channel.coefs.data(), channel.coefs.data() + n,
                                  block.channels[0].coefs.data())) {
            // The same sound in both channels (a mono recording): the same mask.
            channel.masking = block.channels[0].masking;
            channel.content = block.channels[0].content;
            continue;
        }
        // Tonality needs the frequency resolution of the longer blocks.
        model_.Analyse(block.k, channel.coefs.data(), block.end, channel.masking, block.k < 2);
        const float factor = temporal[static_cast<std::size_t>(ch)];
        if (factor < 1.0F) {
            for (int b = 0; b < params_.band_count(block.k); ++b) {
                channel.masking.allowed[b] *= factor;
            }
        }
        channel.content = false;
        // Below a hundredth of a 16-bit step there is nothing to code.
        const float floor = 0.01F * static_cast<float>(n);
        for (int i = 0; i < block.end && !channel.content; ++i) {
            channel.content = std::fabs(channel.coefs[static_cast<std::size_t>(i)]) > floor;
        }
    }
    block.mid_side = false;
    if (params_.channels == 2) {
        stereo_.Choose(tuning_.stereo, block);
    }
    if (params_.noise_coding) {
        ChooseNoiseBands(params_, tuning_.noise_substitution, block);
    }
    ChooseBlockExponents(params_, tuning_, expected_offset_db_, block);
    for (int ch = 0; ch < params_.channels; ++ch) {
        const ChannelAnalysis& channel = block.channels[ch];
        if (channel.content) {
            silent_ = false;
            perceptual_entropy_ += channel.masking.perceptual_entropy;
        }
    }
}

const std::vector<BlockCoding>& FrameCoder::Quantise(int offset_db) {
    if (quantised_at_ == offset_db) {
        return quantised_;
    }
    quantised_.resize(analysis_.size());
    DecoderExponents held = held_;
    for (std::size_t b = 0; b < analysis_.size(); ++b) {
        quantiser_.Quantise(analysis_[b], offset_db, held, quantised_[b]);
    }
    quantised_at_ = offset_db;
    return quantised_;
}

std::uint64_t FrameCoder::Bits(const std::vector<BlockCoding>& blocks) const {
    return FrameBits(params_, blocks, scratch_);
}

std::uint64_t FrameCoder::Write(int offset_db, std::uint64_t min_bits, std::uint64_t max_bits,
                                BitWriter& out) {
    Quantise(offset_db);
    // Filler and silenced blocks change the quantised blocks: they are this write's own.
    quantised_at_ = kNotQuantised;
    std::vector<BlockCoding>& blocks = quantised_;
    std::uint64_t bits = Bits(blocks);
    if (bits > max_bits) {
        // Even the coarsest steps leave too much: silence blocks from the end until the
        // frame fits. (The block planner and the rate control keep this from happening.)
        for (std::size_t b = blocks.size(); b-- > 0 && bits > max_bits;) {
            for (auto& channel : blocks[b].channels) {
                channel.coded = false;
            }
            bits = Bits(blocks);
        }
    }
    if (bits < min_bits) {
        bits = AddFiller(params_, blocks, bits, min_bits, max_bits, scratch_);
    }
    for (const BlockCoding& block : blocks) {
        PutBlock(out, params_, block, scratch_);
    }
    HeldAfter(params_, analysis_, blocks, held_);
    return bits;
}

} // namespace wma2
