// Parameter choices that affect only compression, never correctness.
#pragma once

#include <cstdint>
#include <vector>

#include "stream_format.h"
#include "tile_params.h"

namespace wmal {

// The coding tools every seekable tile announces for this stream.
TileParams default_tile_params(const StreamFormat& format);

// Frame-length codes (0 = base, 1 = double, 2 = half, 3 = quarter) in order of preference.
std::vector<uint16_t> preferred_frame_length_codes(int sample_rate);

} // namespace wmal
