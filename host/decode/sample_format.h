// Copying FFmpeg's decoded audio, in any of its sample formats, into
// interleaved doubles in the range -1.0 to 1.0.
#pragma once

#include <cstddef>

extern "C" {
#include <libavutil/frame.h>
}

namespace vantrel {

// Writes frames [first, first + count) of `frame` (all its channels) to `out`,
// interleaved. Answers false for a sample format it does not know.
bool frame_to_double(const AVFrame& frame, int channels, std::size_t first, std::size_t count,
                     double* out);

} // namespace vantrel
