// Exponents as a noise-shaping curve: integer exponents (1.25 dB steps) close to the steps
// the hearing model asks for, smoothed where that saves more code bits than it costs in
// precision, and within the format's limits (-60..95, neighbours at most 60 apart).
#pragma once

#include "stream_params.h"

#include <array>

namespace wma2 {

using Exponents = std::array<int, kMaxExponentBands>;

// `desired[b]`: the wanted exponent of band b (any offset); `weight[b]`: how many
// coefficients depend on it (0 for bands that carry nothing). Writes exponents whose
// differences follow the wanted ones and returns the offset added to them:
// exponents[b] ~ desired[b] + offset.
// `precision_cost`: bits per coefficient that one squared unit of error is worth.
int ChooseExponents(const float* desired, const float* weight, int bands, float precision_cost,
                    Exponents& exponents);

// Bits of the exponent codes of one channel.
int ExponentBits(const Exponents& exponents, int bands);

} // namespace wma2
