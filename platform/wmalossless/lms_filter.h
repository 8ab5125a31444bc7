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

// Internal linkage (static): the AVX2 kernels are compiled with other code-generation options,
// and their copies of these helpers must not stand in for the plain ones.
static inline int round_up_taps(int order) {
    return (order + kLmsTapBlock - 1) / kLmsTapBlock * kLmsTapBlock;
}

static inline int sign_of(int32_t v) {
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
};

// Turns each channel's signal into the residues of its cascade of `count` filters, in place
// (filter 0 sees the signal first), updating every filter exactly as the decoder does when it
// turns the residues back. filters[c] points at channel c's cascade, signals[c] at its
// `length` samples.
template <typename Hist>
void lms_cascade_encode(LmsFilter<Hist>* const* filters, int channels, int count,
                        int32_t* const* signals, int length, int speed, int bits_per_sample);

// Restricts the filters to the plain C++ kernels (tests compare them with the vector ones).
void use_portable_lms_kernels(bool portable);

// True when the vector (AVX2) kernels run: the processor has them and they are not turned off.
bool vector_lms_kernels();

} // namespace wmal
