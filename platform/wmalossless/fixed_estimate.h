// A quick estimate of what one frame costs with a fixed predictor of order 0 or 1 and plain
// Rice coding, the way a block coder such as flac codes noise, silence and quiet sound: the
// encoder compares it with what its adaptive tools spent on the frame and tries a restart with
// such a predictor only where the estimate says it may win.
#pragma once

#include <cstdint>

namespace wmal {

struct FixedEstimate {
    uint64_t bits = 0;     // residue bits, with the best Rice parameter per channel
    int order = 0;         // 0: the samples as they are; 1: their first difference
    bool mid_side = false; // on two channels: mid and side rather than left and right
};

// The cheapest order and channel form for `length` samples of each of `channels` channels.
FixedEstimate estimate_fixed(const int32_t* const* channels, int channel_count, int length);

} // namespace wmal
