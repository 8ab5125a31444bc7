// Parameter choices that affect only compression, never correctness.
#pragma once

#include <cstdint>
#include <vector>

#include "stream_format.h"
#include "tile_params.h"

namespace wmal {

// The sets of coding tools a seekable tile may announce for this stream; the encoder tries
// them at every seekable point and keeps the one that codes the next frames smallest.
std::vector<TileParams> candidate_tile_params(const StreamFormat& format);

// Tools for a restart of one frame with a fixed predictor of order 0 or 1 (the first
// difference) and plain coding: the one cascade filter the format requires, fine enough to
// predict next to nothing, and the Rice speed picked by the tile.
TileParams fixed_tools(const StreamFormat& format, int order, bool mid_side);

// Tools for a restart of one frame with a linear predictor fitted to the frame: the
// multichannel stage with sent weights, then as fixed_tools.
TileParams fitted_tools(const StreamFormat& format, bool mid_side);

// The first of the candidates: what the encoder starts with.
TileParams default_tile_params(const StreamFormat& format);

// Frame-length codes (0 = base, 1 = double, 2 = half, 3 = quarter) in order of preference.
std::vector<uint16_t> preferred_frame_length_codes(int sample_rate);

} // namespace wmal
