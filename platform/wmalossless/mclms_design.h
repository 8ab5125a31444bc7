// Fits the starting weights of the multichannel LMS stage to the sound that follows a seekable
// tile, as a linear predictor of fixed order would be fitted.
//
// A seekable tile may send the stage's weights. Sent well, the stage starts as the best linear
// predictor of its order for the frames ahead (each channel from the recent samples of every
// channel and from the current samples of the channels before it), and its sign-sign updates
// of one unit per sample then only follow the sound as it changes. This is the coding tool
// that predicts noise-like and sparse sound as a fitted fixed predictor does.
#pragma once

#include <cstdint>

#include "mclms_filter.h"

namespace wmal {

// Weights for McLmsFilter, in its layout, and the scaling they are meant for.
struct McLmsStart {
    int order = 0;
    int scaling = 0;
    int16_t coefs[kMaxChannels][kMaxChannels * kMaxMclmsOrder] = {};
    int16_t cross[kMaxChannels][kMaxChannels] = {};
};

// Fits weights of `order` samples per channel (2..32, even) to `length` samples of each of
// `channel_count` channels, the signals as the stage sees them. Picks the finest scaling at
// which every weight fits 16 bits and the stage's sums on these samples stay below 2^31 with
// `headroom_bits` to spare (checked on a sample in four, with an eighth more). Returns false when
// the signal is silent or too loud for any scaling to keep its sums in range.
bool fit_mclms(const int32_t* const* channels, int channel_count, int length, int order,
               int headroom_bits, McLmsStart& out);

// A quick estimate of the residue bits a linear predictor of `order` taps per channel, fitted
// to each channel on its own, leaves in these samples (entropy of a Gaussian residue of the
// predicted energy). Cheap enough to decide whether fit_mclms is worth its time.
double predictor_bits(const int32_t* const* channels, int channel_count, int length, int order);

} // namespace wmal
