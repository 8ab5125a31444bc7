// One sign-sign LMS predictor of the per-channel cascade, kept bit-identical to the decoder's
// copy: 16-bit coefficients that wrap, a double-length history whose "recent" index counts
// down, and a parallel vector of update steps.
#pragma once

#include <cstdint>
#include <cstring>

#include "stream_format.h"

namespace wmal {

// Taps are processed in blocks of this size; the extra taps always hold zero coefficients
// and zero update steps, so they never change a prediction.
constexpr int kLmsTapBlock = 16;
constexpr int kLmsBufferLength = 2 * kMaxLmsOrder + 2 * kLmsTapBlock;

inline int round_up_taps(int order) {
    return (order + kLmsTapBlock - 1) / kLmsTapBlock * kLmsTapBlock;
}

inline int sign_of(int32_t v) {
    return (v > 0) - (v < 0);
}

// History samples are 16 bits wide in 16-bit streams and 32 bits wide in 24-bit streams.
template <typename Hist> struct LmsFilter {
    int order = 0;
    int scaling = 0;
    int recent = 0;
    alignas(32) int16_t coefs[kMaxLmsOrder + kLmsTapBlock];
    alignas(32) Hist history[kLmsBufferLength];
    alignas(32) int16_t updates[kLmsBufferLength];

    // Zeroes everything, as a seekable tile does, and restarts the history window.
    void clear() {
        std::memset(coefs, 0, sizeof coefs);
        std::memset(history, 0, sizeof history);
        std::memset(updates, 0, sizeof updates);
        recent = order;
    }

    // The decoder's rescale of the update steps when the adaptation speed changes. Without
    // the bV3RTM flag it touches the first `order` entries of the buffer, not the live window.
    void rescale_updates(bool doubling) {
        for (int i = 0; i < order; ++i)
            updates[i] = static_cast<int16_t>(doubling ? updates[i] * 2 : updates[i] / 2);
    }

    // Turns `signal` into prediction residues in place, updating the filter exactly as the
    // decoder does when it turns the residues back.
    void encode(int32_t* signal, int count, int speed, int bits_per_sample);
};

// Dot product of the live window with the coefficients, wrapping mod 2^32.
uint32_t lms_dot(const int16_t* coefs, const int16_t* history, int taps);
uint32_t lms_dot(const int16_t* coefs, const int32_t* history, int taps);
// coefs[i] += sign * updates[i], wrapping mod 2^16.
void lms_adapt(int16_t* coefs, const int16_t* updates, int taps, int sign);

template <typename Hist>
void LmsFilter<Hist>::encode(int32_t* signal, int count, int speed, int bits_per_sample) {
    const int32_t range = int32_t{1} << (bits_per_sample - 1);
    const int taps = round_up_taps(order);
    const uint32_t rounding = (uint32_t{1} << scaling) >> 1;
    for (int i = 0; i < count; ++i) {
        const int32_t input = signal[i];
        const uint32_t sum = rounding + lms_dot(coefs, history + recent, taps);
        const int32_t prediction = static_cast<int32_t>(sum) >> scaling;
        const int32_t residue =
            static_cast<int32_t>(static_cast<uint32_t>(input) - static_cast<uint32_t>(prediction));
        const int sign = sign_of(residue);
        if (sign != 0)
            lms_adapt(coefs, updates + recent, taps, sign);

        if (recent > 0) {
            --recent;
        } else {
            std::memcpy(history + order, history, sizeof(Hist) * order);
            std::memcpy(updates + order, updates, sizeof(int16_t) * order);
            recent = order - 1;
        }
        history[recent] =
            static_cast<Hist>(input < -range ? -range : (input > range - 1 ? range - 1 : input));
        updates[recent] = static_cast<int16_t>(sign_of(input) * speed);
        updates[recent + (order >> 4)] >>= 2;
        updates[recent + (order >> 3)] >>= 1;
        // Everything past the window is zero; this entry just left it.
        updates[recent + order] = 0;
        signal[i] = residue;
    }
}

} // namespace wmal
