// Turning decoded double samples into the signed 16-bit PCM the encoder takes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

// Writes `count` values as signed 16-bit integers in the machine's (little-endian)
// byte order: each value times 32768, rounded to nearest (halves away from zero)
// and clipped to -32768..32767. NaN becomes silence. The loop has no branches so
// the compiler vectorises it.
void convert_to_int16(const double* input, std::size_t count, std::int16_t* output);

} // namespace vantrel
