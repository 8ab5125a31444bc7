// Codes one frame in three steps. Analyse transforms its blocks and decides everything that
// does not depend on the gain offset (masks, stereo mode, noise bands, exponent curves,
// which blocks keep the decoder's exponents). Quantise codes the blocks at a gain offset;
// counting the result changes nothing, so the rate control may try offsets freely. Write
// puts the frame at the chosen offset into the stream, with filler where it must be longer.
//
// The gain offset (dB) places the quantisation noise relative to the masking threshold:
// every block's gain follows from it and the block's exponent curve, so one number sets
// the quality of the whole frame.
#pragma once

#include "bit_writer.h"
#include "block_analysis.h"
#include "block_quantiser.h"
#include "block_syntax.h"
#include "block_transform.h"
#include "hearing_model.h"
#include "stereo_choice.h"
#include "stored_exponents.h"
#include "stream_params.h"
#include "temporal_mask.h"
#include "tuning.h"

#include <array>
#include <vector>

namespace wma2 {

struct FrameRequest {
    // Per channel, the signal (16-bit units) at decoder time frame_index * F, at least
    // 3F samples.
    std::array<const float*, 2> signal{};
    std::vector<int> blocks; // size indices, summing to the frame
    int prev_k = 0;          // size index of the block before the frame
    int next_k = 0;          // size index of the first block of the next frame
    bool explicit_sizes = false;
};

class FrameCoder {
public:
    FrameCoder(const StreamParams& params, const EncoderTuning& tuning);

    // Everything that does not depend on the gain offset; `expected_offset_db` is the
    // offset the frame will probably be coded at.
    void Analyse(const FrameRequest& request, float expected_offset_db);
    // The frame's blocks quantised at a gain offset (kept until another offset is asked
    // for or the frame is written).
    const std::vector<BlockCoding>& Quantise(int offset_db);
    // Bits of quantised blocks.
    std::uint64_t Bits(const std::vector<BlockCoding>& blocks) const;
    // Writes the frame at a gain offset, at least `min_bits` long (filler where needed) and
    // at most `max_bits` where it can be, and keeps the exponents a decoder now holds.
    // Answers the frame's size.
    std::uint64_t Write(int offset_db, std::uint64_t min_bits, std::uint64_t max_bits,
                        BitWriter& out);

    float perceptual_entropy() const { return perceptual_entropy_; }
    bool silent() const { return silent_; }
    // The analysed blocks of the frame (size, stereo mode, masks).
    const std::vector<BlockAnalysis>& blocks() const { return analysis_; }

private:
    // `temporal`: per channel, the factor TemporalMask gives the block's allowed noise.
    void AnalyseBlock(BlockAnalysis& block, const std::array<float, 2>& temporal);

    const StreamParams& params_;
    const EncoderTuning& tuning_;
    float bandwidth_hz_;
    float expected_offset_db_ = 10.0F;
    BlockTransform transform_;
    HearingModel model_;
    TemporalMask temporal_;
    StereoChooser stereo_;
    BlockQuantiser quantiser_;
    std::vector<BlockAnalysis> analysis_;
    DecoderExponents held_; // what the decoder holds before this frame
    std::vector<BlockCoding> quantised_;
    static constexpr int kNotQuantised = -1000;
    int quantised_at_ = kNotQuantised; // the offset `quantised_` holds
    mutable std::vector<std::int32_t> scratch_;
    float perceptual_entropy_ = 0;
    bool silent_ = true;
};

} // namespace wma2
