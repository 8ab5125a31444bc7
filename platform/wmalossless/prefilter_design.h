// Fits the fixed pre-filter of a seekable tile to the sound that follows it.
//
// The decoder sums every adaptive stage's prediction in 32 bits, so a stage that sees a loud
// 24-bit signal must use coarse steps, and a coarse sign-sign LMS jitters by its step times
// the signal's level. The pre-filter is fixed, so it does not jitter: a good one lowers the
// level that the adaptive stages see, and every halving of that level lets them use steps
// four times finer at the same risk of overflow.
#pragma once

#include <cstdint>

#include "tile_params.h"

namespace wmal {

// Sets p's pre-filter to the predictor of at most `max_order` taps with coefficients between
// 0 and 1 (the only ones the format carries) that leaves the least energy in `length`
// samples of each of `channels` channels, at the finest scaling whose sums stay clear of the
// decoder's 32-bit limit with `headroom_bits` to spare. Leaves p unchanged and returns false
// when the signal is silent, when no such filter beats leaving it off, or when it leaves more
// than 1 / `least_gain` of the energy that the classic 31/32 pre-emphasis leaves.
bool fit_prefilter(const int32_t* const* channels, int channel_count, int length, int max_order,
                   int headroom_bits, double least_gain, TileParams& p);

// The pre-filter of `p` run forwards, in place: e[i] = x[i] - (sum c_j x[i-1-j]) >> s, with the
// decoder's 32-bit wrap. `history` holds the previous samples, most recent first (zeros after a
// seekable tile), and is advanced past these `length` samples.
void apply_prefilter(int32_t* x, int length, const TileParams& p, int32_t* history);

} // namespace wmal
