// The multichannel LMS stage, kept bit-identical to the decoder's copy: it predicts each
// channel from the recent samples of all channels and from the current samples of the
// channels before it. In the decoder it runs after the per-channel cascades, so in the
// encoder it runs before them.
#pragma once

#include <cstdint>

#include "stream_format.h"

namespace wmal {

constexpr int kMaxMclmsOrder = 32;

struct McLmsFilter {
    int order = 0; // samples per channel in the history, 2..32, even
    int scaling = 0;
    int channels = 0;
    int recent = 0;
    int16_t coefs[kMaxChannels][kMaxChannels * kMaxMclmsOrder];
    int16_t cross[kMaxChannels][kMaxChannels]; // weights of the current samples of lower channels
    int32_t history[2 * kMaxChannels * kMaxMclmsOrder];
    int16_t updates[2 * kMaxChannels * kMaxMclmsOrder]; // signs of the history entries

    // Zeroes everything, as a seekable tile does.
    void clear(int new_order, int new_scaling, int new_channels);

    // Turns the channels' samples into residues in place. Uncoded channels must be all zero:
    // the decoder neither predicts nor adapts them.
    void encode(int32_t* const* signals, const bool* coded, int length, int bits_per_sample);
};

// McLmsFilter::encode with the vector kernels (lms_filter_avx2.cpp).
void mclms_encode_avx2(McLmsFilter& filter, int32_t* const* signals, const bool* coded, int length,
                       int bits_per_sample);

} // namespace wmal
