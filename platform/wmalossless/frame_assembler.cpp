#include "frame_assembler.h"

namespace wmal {

namespace {

int skip_info_bits(const StreamFormat& format, bool end_skip, bool lengthen) {
    if (!end_skip)
        return lengthen ? 3 : 1;
    return 3 + format.skip_bits + (lengthen ? format.skip_bits : 0);
}

} // namespace

uint64_t frame_overhead_bits(const StreamFormat& format) {
    return static_cast<uint64_t>(format.length_bits) + 1 +
           static_cast<uint64_t>(skip_info_bits(format, true, true)) + 2;
}

uint64_t assemble_frame(BitWriter& out, const StreamFormat& format, const uint8_t* tile,
                        uint64_t tile_bits, int samples, bool lengthen) {
    const bool end_skip = samples < format.samples_per_frame;
    const uint64_t total = static_cast<uint64_t>(format.length_bits) + 1 +
                           static_cast<uint64_t>(skip_info_bits(format, end_skip, lengthen)) +
                           tile_bits + 2;
    out.reset();
    out.put(static_cast<uint32_t>(total), format.length_bits);
    out.put(1, 1); // one tile for all channels
    if (!end_skip && !lengthen) {
        out.put(0, 1);
    } else {
        out.put(1, 1);
        // The start skip is never applied by decoders; it only serves as filler.
        if (end_skip && lengthen) {
            out.put(1, 1);
            out.put(0, format.skip_bits);
        } else {
            out.put(0, 1);
        }
        if (end_skip) {
            out.put(1, 1);
            out.put(static_cast<uint32_t>(format.samples_per_frame - samples), format.skip_bits);
        } else {
            out.put(0, 1);
        }
    }
    out.copy_bits(tile, 0, tile_bits);
    out.put(1, 1); // unused trailer bit
    out.put(1, 1); // more frames may follow; the packetizer clears it where needed
    return total;
}

} // namespace wmal
