// Turning decoded double samples into the signed integer PCM encoders take.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

// Writes `count` values as signed 16-bit integers in the machine's (little-endian)
// byte order: each value times 32768, rounded to nearest (halves away from zero,
// exactly as std::round) and clipped to -32768..32767. NaN becomes silence.
void convert_to_int16(const double* input, std::size_t count, std::int16_t* output);

// The same for 24 bits: each value times 8388608, rounded and clipped to
// -8388608..8388607, written as three little-endian bytes (3 * count bytes).
void convert_to_int24(const double* input, std::size_t count, std::uint8_t* output);

} // namespace vantrel
