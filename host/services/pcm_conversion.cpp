#include "services/pcm_conversion.h"

#include <bit>
#include <cmath>

namespace vantrel {

static_assert(std::endian::native == std::endian::little,
              "16-bit PCM is handed over in the machine's byte order, which must be little-endian");

void convert_to_int16(const double* input, std::size_t count, std::int16_t* output) {
    for (std::size_t i = 0; i < count; ++i) {
        double v = input[i] * 32768.0;
        v = (v == v) ? v : 0.0; // NaN
        v = v < 32767.0 ? v : 32767.0;
        v = v > -32768.0 ? v : -32768.0;
        output[i] = static_cast<std::int16_t>(v + std::copysign(0.5, v));
    }
}

} // namespace vantrel
