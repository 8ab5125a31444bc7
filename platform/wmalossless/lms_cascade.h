// The per-sample loop of the LMS cascade, shared by the plain and the vector kernels: each
// kernel set instantiates it with its own dot-product operations.
#pragma once

#include <cstdint>
#include <cstring>

#include "lms_filter.h"

namespace wmal::lms_detail {

// One sample through one filter. The decoder predicts with the current coefficients, adapts
// them by the residue's sign using the update steps as they are, then pushes the new sample;
// adapting for this sample and predicting the next are done in one pass over the taps (`dot`
// carries that prediction's sum to the next call). The update steps are pushed only after
// that pass has read them.
template <typename Hist, typename Ops>
inline int32_t step(LmsFilter<Hist>& f, uint32_t& dot, int32_t input, int speed, int32_t range,
                    int taps) {
    const uint32_t rounding = (uint32_t{1} << f.scaling) >> 1;
    const int32_t prediction = static_cast<int32_t>(rounding + dot) >> f.scaling;
    const int32_t residue =
        static_cast<int32_t>(static_cast<uint32_t>(input) - static_cast<uint32_t>(prediction));
    const int order = f.order;
    const int16_t* steps = f.updates + f.recent;

    const bool wrapped = f.recent == 0;
    if (wrapped) {
        std::memcpy(f.history + order, f.history, sizeof(Hist) * order);
        f.recent = order - 1;
    } else {
        --f.recent;
    }
    // adapt_dot stores the clipped input as the newest history entry.
    dot = Ops::adapt_dot(
        f.coefs, steps, sign_of(residue), f.history + f.recent, taps,
        static_cast<Hist>(input < -range ? -range : (input > range - 1 ? range - 1 : input)));

    if (wrapped)
        std::memcpy(f.updates + order, f.updates, sizeof(int16_t) * order);
    int16_t* u = f.updates + f.recent;
    u[0] = static_cast<int16_t>(sign_of(input) * speed);
    u[order >> 4] >>= 2;
    u[order >> 3] >>= 1;
    // Everything past the window is zero; this entry just left it.
    u[order] = 0;
    return residue;
}

template <typename Hist, typename Ops>
inline void encode_cascades(LmsFilter<Hist>* const* filters, int channels, int count,
                            int32_t* const* signals, int length, int speed, int bits_per_sample) {
    const int32_t range = int32_t{1} << (bits_per_sample - 1);
    for (int c = 0; c < channels; ++c) {
        LmsFilter<Hist>* cascade = filters[c];
        int32_t* signal = signals[c];
        uint32_t dots[kMaxLmsFilters];
        int taps[kMaxLmsFilters];
        for (int f = 0; f < count; ++f) {
            taps[f] = round_up_taps(cascade[f].order);
            dots[f] = Ops::dot(cascade[f].coefs, cascade[f].history + cascade[f].recent, taps[f]);
        }
        // Sample by sample through the whole cascade: the processor overlaps the work of one
        // filter with the next.
        for (int i = 0; i < length; ++i) {
            int32_t v = signal[i];
            for (int f = 0; f < count; ++f)
                v = step<Hist, Ops>(cascade[f], dots[f], v, speed, range, taps[f]);
            signal[i] = v;
        }
    }
}

} // namespace wmal::lms_detail
