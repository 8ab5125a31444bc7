#include "tuning.h"

namespace wmal {

TileParams default_tile_params(const StreamFormat& format) {
    TileParams p;
    p.ac_order = 1;
    p.ac_scaling = 5;
    p.ac_coefs[0] = 31;
    p.inter_channel = format.channels == 2;
    p.lms_count = 3;
    p.lms_order = {256, 32, 16};
    p.lms_scaling = {12, 12, 12};
    p.movave_scaling = 6;
    return p;
}

std::vector<uint16_t> preferred_frame_length_codes(int sample_rate) {
    (void)sample_rate;
    return {0, 2, 3};
}

} // namespace wmal
