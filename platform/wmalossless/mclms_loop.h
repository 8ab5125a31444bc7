// The sample loop of the multichannel LMS stage, shared by the plain and the vector kernels:
// each instantiates it with its own weighted sum (dot) and weight update (adapt).
#pragma once

#include <cstring>

#include "mclms_filter.h"

namespace wmal::mclms_detail {

// Internal linkage: the AVX2 file compiles its own copy with other options.
static inline int sign_of_sample(int32_t v) {
    return (v > 0) - (v < 0);
}

template <typename Ops>
inline void mclms_encode(McLmsFilter& m, int32_t* const* signals, const bool* coded, int length,
                         int bits_per_sample) {
    const int32_t range = int32_t{1} << (bits_per_sample - 1);
    const int taps = m.order * m.channels;
    const uint32_t rounding = (uint32_t{1} << m.scaling) >> 1;
    for (int i = 0; i < length; ++i) {
        int32_t residue[kMaxChannels];
        // Predict every channel from the history and the lower channels' current samples.
        for (int c = 0; c < m.channels; ++c) {
            residue[c] = 0;
            if (!coded[c])
                continue;
            const int32_t* h = m.history + m.recent;
            uint32_t sum = Ops::dot(h, m.coefs[c], taps);
            for (int j = 0; j < c; ++j)
                sum += static_cast<uint32_t>(signals[j][i]) * static_cast<uint32_t>(m.cross[c][j]);
            const int32_t prediction = static_cast<int32_t>(sum + rounding) >> m.scaling;
            residue[c] = static_cast<int32_t>(static_cast<uint32_t>(signals[c][i]) -
                                              static_cast<uint32_t>(prediction));
        }
        // Adapt by the sign of each channel's error, then push the samples.
        for (int c = 0; c < m.channels; ++c) {
            if (residue[c] == 0)
                continue;
            const int16_t* u = m.updates + m.recent;
            int16_t* w = m.coefs[c];
            const int direction = residue[c] > 0 ? 1 : -1;
            Ops::adapt(w, u, taps, direction > 0);
            for (int j = 0; j < c; ++j)
                m.cross[c][j] =
                    static_cast<int16_t>(m.cross[c][j] + direction * sign_of_sample(signals[j][i]));
        }
        for (int c = m.channels - 1; c >= 0; --c) {
            const int32_t v = signals[c][i];
            --m.recent;
            m.history[m.recent] = v < -range ? -range : (v > range - 1 ? range - 1 : v);
            m.updates[m.recent] = static_cast<int16_t>(sign_of_sample(v));
        }
        if (m.recent == 0) {
            std::memcpy(m.history + taps, m.history, sizeof(int32_t) * static_cast<size_t>(taps));
            std::memcpy(m.updates + taps, m.updates, sizeof(int16_t) * static_cast<size_t>(taps));
            m.recent = taps;
        }
        for (int c = 0; c < m.channels; ++c)
            if (coded[c])
                signals[c][i] = residue[c];
    }
}

} // namespace wmal::mclms_detail
