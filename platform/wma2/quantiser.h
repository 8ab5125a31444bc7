// Quantisation of a channel's coefficients with the steps its exponents and the block's
// gain give.
#pragma once

#include <cstdint>

namespace wma2 {

// values[i] = coefs[i] * inverse_steps[i] * scale rounded, limited to +-max_level, for
// i < count; values within `bias` of a step above the half-way point round towards zero
// (small values cost more bits than the noise they remove is worth). Returns whether any
// value is non-zero.
bool Quantise(const float* coefs, const float* inverse_steps, float scale, float bias, int count,
              int max_level, std::int32_t* values);

} // namespace wma2
