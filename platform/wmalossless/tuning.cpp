#include "tuning.h"

namespace wmal {

// Tuned on rendered music, speech, noise and a quiet signal (bench/wmalossless): the 31/32
// pre-emphasis and mid/side help everywhere; a 128-tap first stage does nearly as well as 256
// taps at half the cost; finer steps (larger scaling) suit the long filter, coarser ones the
// short filters that mop up what it leaves. 24-bit streams need a coarser first stage: the
// decoder's 32-bit prediction sum must not wrap with 24-bit history values.
TileParams default_tile_params(const StreamFormat& format) {
    TileParams p;
    p.ac_order = 1;
    p.ac_scaling = 5;
    p.ac_coefs[0] = 31;
    p.inter_channel = format.channels == 2;
    p.lms_count = 3;
    p.lms_order = {128, 32, 16};
    p.lms_scaling = {format.bits_per_sample > 16 ? 12 : 14, 11, 9};
    p.movave_scaling = 5;
    return p;
}

// The frame length hardly changes the size; the base length keeps raw fallbacks fine-grained.
std::vector<uint16_t> preferred_frame_length_codes(int sample_rate) {
    (void)sample_rate;
    return {0, 2, 3};
}

} // namespace wmal
