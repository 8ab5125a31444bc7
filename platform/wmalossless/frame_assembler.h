// Wraps a coded tile into a frame: length prefix, tile layout, skip info, tile, trailer.
#pragma once

#include <cstdint>

#include "bit_writer.h"
#include "stream_format.h"

namespace wmal {

// Writes the frame into `out` and returns its length in bits. `samples` < samples_per_frame
// makes the decoder drop the frame's tail. `lengthen` adds otherwise unused skip fields so
// that the frame ends a few bits later.
uint64_t assemble_frame(BitWriter& out, const StreamFormat& format, const uint8_t* tile,
                        uint64_t tile_bits, int samples, bool lengthen);

// Bits of everything in a frame except its tile, at most.
uint64_t frame_overhead_bits(const StreamFormat& format);

} // namespace wmal
