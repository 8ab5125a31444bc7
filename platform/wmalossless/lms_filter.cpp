#include "lms_filter.h"

namespace wmal {

uint32_t lms_dot(const int16_t* coefs, const int16_t* history, int taps) {
    uint32_t sum = 0;
    for (int i = 0; i < taps; ++i)
        sum += static_cast<uint32_t>(int32_t{coefs[i]} * int32_t{history[i]});
    return sum;
}

uint32_t lms_dot(const int16_t* coefs, const int32_t* history, int taps) {
    uint32_t sum = 0;
    for (int i = 0; i < taps; ++i)
        sum += static_cast<uint32_t>(coefs[i]) * static_cast<uint32_t>(history[i]);
    return sum;
}

void lms_adapt(int16_t* coefs, const int16_t* updates, int taps, int sign) {
    for (int i = 0; i < taps; ++i)
        coefs[i] = static_cast<int16_t>(coefs[i] + sign * updates[i]);
}

} // namespace wmal
