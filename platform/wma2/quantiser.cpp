#include "quantiser.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace wma2 {

bool Quantise(const float* coefs, const float* inverse_steps, float scale, float bias, int count,
              int max_level, std::int32_t* values) {
    const float round = 0.5F - bias;
    const auto limit = static_cast<float>(max_level);
    int any = 0;
    for (int i = 0; i < count; ++i) {
        const float x = coefs[i] * inverse_steps[i] * scale;
        const float magnitude = std::min(std::fabs(x) + round, limit);
        const auto level = static_cast<std::int32_t>(magnitude);
        values[i] = x < 0 ? -level : level;
        any |= level;
    }
    return any != 0;
}

} // namespace wma2
