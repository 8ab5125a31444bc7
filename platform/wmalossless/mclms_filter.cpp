#include "mclms_filter.h"

#include <cstring>

#include "lms_filter.h"

namespace wmal {

namespace {

int sign_of_sample(int32_t v) {
    return (v > 0) - (v < 0);
}

} // namespace

void McLmsFilter::clear(int new_order, int new_scaling, int new_channels) {
    order = new_order;
    scaling = new_scaling;
    channels = new_channels;
    std::memset(coefs, 0, sizeof coefs);
    std::memset(cross, 0, sizeof cross);
    std::memset(history, 0, sizeof history);
    std::memset(updates, 0, sizeof updates);
    recent = order * channels;
}

void McLmsFilter::encode(int32_t* const* signals, const bool* coded, int length,
                         int bits_per_sample) {
    const int32_t range = int32_t{1} << (bits_per_sample - 1);
    const int taps = order * channels;
    const uint32_t rounding = (uint32_t{1} << scaling) >> 1;
    const bool vector = vector_lms_kernels();
    for (int i = 0; i < length; ++i) {
        int32_t residue[kMaxChannels];
        // Predict every channel from the history and the lower channels' current samples.
        for (int c = 0; c < channels; ++c) {
            residue[c] = 0;
            if (!coded[c])
                continue;
            uint32_t sum = 0;
            const int32_t* h = history + recent;
            if (vector) {
                sum = mclms_dot_avx2(h, coefs[c], taps);
            } else {
                for (int k = 0; k < taps; ++k)
                    sum += static_cast<uint32_t>(h[k]) * static_cast<uint32_t>(coefs[c][k]);
            }
            for (int j = 0; j < c; ++j)
                sum += static_cast<uint32_t>(signals[j][i]) * static_cast<uint32_t>(cross[c][j]);
            const int32_t prediction = static_cast<int32_t>(sum + rounding) >> scaling;
            residue[c] = static_cast<int32_t>(static_cast<uint32_t>(signals[c][i]) -
                                              static_cast<uint32_t>(prediction));
        }
        // Adapt by the sign of each channel's error, then push the samples.
        for (int c = 0; c < channels; ++c) {
            if (residue[c] == 0)
                continue;
            const int16_t* u = updates + recent;
            int16_t* w = coefs[c];
            const int direction = residue[c] > 0 ? 1 : -1;
            if (vector) {
                mclms_adapt_avx2(w, u, taps, direction > 0);
            } else {
                for (int k = 0; k < taps; ++k)
                    w[k] = static_cast<int16_t>(w[k] + direction * u[k]);
            }
            for (int j = 0; j < c; ++j)
                cross[c][j] =
                    static_cast<int16_t>(cross[c][j] + direction * sign_of_sample(signals[j][i]));
        }
        for (int c = channels - 1; c >= 0; --c) {
            const int32_t v = signals[c][i];
            --recent;
            history[recent] = v < -range ? -range : (v > range - 1 ? range - 1 : v);
            updates[recent] = static_cast<int16_t>(sign_of_sample(v));
        }
        if (recent == 0) {
            std::memcpy(history + taps, history, sizeof(int32_t) * static_cast<size_t>(taps));
            std::memcpy(updates + taps, updates, sizeof(int16_t) * static_cast<size_t>(taps));
            recent = taps;
        }
        for (int c = 0; c < channels; ++c)
            if (coded[c])
                signals[c][i] = residue[c];
    }
}

} // namespace wmal
