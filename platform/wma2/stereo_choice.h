// Mid/side or left/right, per block: the pair is coded as sum and difference when that
// takes fewer bits at the noise the hearing model allows (each output hears the noise of
// both coded channels, so the sum and difference share the stricter of the two masks).
#pragma once

#include "block_analysis.h"
#include "stream_params.h"
#include "tuning.h"

#include <vector>

namespace wma2 {

class StereoChooser {
public:
    StereoChooser(const StreamParams& params, const EncoderTuning& tuning)
        // Measured only where no band is sent as noise: there the sum and difference would
        // each carry noise levels of their own, and the choice stays the plain comparison.
        : params_(params), bias_(params.noise_coding ? 0.0F : tuning.mid_side_bias) {}

    // Decides for a stereo block whose channels hold left and right; with mid/side their
    // coefficients, masks and content become those of the sum and the difference.
    void Choose(StereoChoice choice, BlockAnalysis& block);

private:
    const StreamParams& params_;
    float bias_;
    std::vector<float> mid_;
    std::vector<float> side_;
};

} // namespace wma2
