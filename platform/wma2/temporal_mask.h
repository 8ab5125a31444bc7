// How far a block's mask holds over the whole of its window. The hearing model judges a
// block's noise against the block's mean spectrum, but the decoder spreads that noise
// evenly (under the window) over the block's time span: where the sound is much quieter
// than the mean (before a hit, or late in its decay), the noise stands above it. The ear
// forgives a little of that: a sound masks what follows it for a while (post-masking) and
// very briefly what precedes it (pre-masking). What is left lowers the block's allowed
// noise, down to a limit.
#pragma once

#include <vector>

namespace wma2 {

struct TemporalMaskTuning {
    float limit_db = 10.0F; // the most the allowed noise comes down (0: never)
    // How much quieter than the block's mean a stretch may be before the mask comes down.
    float tolerance_db = 3.0F;
    // How fast the masking after a sound fades, and before it. A decay is left to the
    // masks of its own blocks: counting it too took bits from the hits and scored worse;
    // the noise a block spreads before a hit is what is heard.
    float post_db_per_ms = 0.0F;
    float pre_db_per_ms = 4.0F;
    float segment_ms = 8.7F; // time resolution of the envelope
    // The size index from which on it applies: blocks as long as the frame keep their
    // masks (lowering theirs cost reverberant speech more than it gained elsewhere).
    int from_k = 1;
};

class TemporalMask {
public:
    TemporalMask(int sample_rate, TemporalMaskTuning tuning);

    // Factor (at most 1) for the allowed noise of a block of n coefficients whose 2n input
    // samples (16-bit units) start at `signal`; `left` and `right` are the lengths of the
    // window's rising and falling slopes.
    float Factor(const float* signal, int n, int left, int right);

private:
    // The window's mean power per segment, for each window shape met so far.
    struct Shape {
        int n;
        int left;
        int right;
        std::vector<float> weights;
    };
    const std::vector<float>& Weights(int n, int left, int right, int segment);

    int sample_rate_;
    TemporalMaskTuning tuning_;
    float min_factor_ = 1.0F;
    float tolerance_ = 1.0F;
    std::vector<float> energy_;
    std::vector<Shape> shapes_;
};

} // namespace wma2
