// A block's exponent curves: per channel, the steps its masks ask for, smoothed where that
// saves bits (exponent_coder.h), with noise bands placed for their levels; in a stereo
// block the quieter channel's largest exponent raised to the louder one's, as the two share
// one gain.
#pragma once

#include "block_analysis.h"
#include "stream_params.h"
#include "tuning.h"

namespace wma2 {

// `expected_offset_db`: the gain offset the frame will probably be coded at (which
// coefficients will not quantise to zero, and so depend on their exponent).
void ChooseBlockExponents(const StreamParams& params, const EncoderTuning& tuning,
                          float expected_offset_db, BlockAnalysis& block);

} // namespace wma2
