// The multichannel LMS stage, kept bit-identical to the decoder's copy: it predicts each
// channel from the recent samples of all channels and from the current samples of the
// channels before it. In the decoder it runs after the per-channel cascades, so in the
// encoder it runs before them.
#pragma once

#include <cstdint>
#include <vector>

#include "stream_format.h"

namespace wmal {

constexpr int kMaxMclmsOrder = 32;

// Room for the history of one tile: the tile's samples and the `order` before them, of every
// channel, with their signs. Kept apart from the filter so that copies of the filter's state
// stay small.
struct McLmsScratch {
    std::vector<int32_t> history;
    std::vector<int16_t> signs;
    std::vector<int16_t> narrow; // the history again in 16 bits, for 16-bit streams
};

struct McLmsFilter {
    int order = 0; // samples per channel in the history, 2..32, even
    int scaling = 0;
    int channels = 0;
    int16_t coefs[kMaxChannels][kMaxChannels * kMaxMclmsOrder];
    int16_t cross[kMaxChannels][kMaxChannels]; // weights of the current samples of lower channels
    // The last `order` samples of every channel, clipped, newest first: entry
    // channels * j + c holds channel c as it was j + 1 samples ago.
    int32_t window[kMaxChannels * kMaxMclmsOrder];

    // Zeroes everything, as a seekable tile does.
    void clear(int new_order, int new_scaling, int new_channels);

    // Turns the channels' samples into residues in place. Uncoded channels must be all zero:
    // the decoder neither predicts nor adapts them.
    void encode(int32_t* const* signals, const bool* coded, int length, int bits_per_sample,
                McLmsScratch& scratch);
};

// McLmsFilter::encode with the vector kernels (lms_filter_avx2.cpp).
void mclms_encode_avx2(McLmsFilter& filter, int32_t* const* signals, const bool* coded, int length,
                       int bits_per_sample, McLmsScratch& scratch);

} // namespace wmal
