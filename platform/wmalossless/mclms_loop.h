// The sample loop of the multichannel LMS stage, shared by the plain and the vector kernels:
// each instantiates it with its own weighted sum (dot) and weight update (adapt).
#pragma once

#include <algorithm>
#include <cstring>

#include "mclms_filter.h"

namespace wmal::mclms_detail {

// Internal linkage: the AVX2 file compiles its own copy with other options.
static inline int sign_of_sample(int32_t v) {
    return (v > 0) - (v < 0);
}

// The history the decoder keeps is the clipped input itself, which the encoder has for the
// whole tile up front. It is laid out once, newest sample first, so that the window for
// sample i is a plain slice: nothing is stored into the history inside the sample loop,
// where a narrow store followed by a wide load of the same place would stall the loop.
//
// kChannels and kOrder, when not 0, fix the stage's shape at compile time, so that the
// short loops over channels and taps unroll. With kNarrow (16-bit streams, whose clipped
// samples fit 16 bits) the history is also laid out in 16 bits for the sums.
template <typename Ops, int kChannels, int kOrder, bool kNarrow>
inline void run(McLmsFilter& m, int32_t* const* signals, const bool* coded, int length,
                int bits_per_sample, McLmsScratch& scratch) {
    const int32_t range = int32_t{1} << (bits_per_sample - 1);
    const int channels = kChannels > 0 ? kChannels : m.channels;
    const int taps = (kOrder > 0 ? kOrder : m.order) * channels;
    const size_t size =
        static_cast<size_t>(length) * static_cast<size_t>(channels) + static_cast<size_t>(taps);
    if (scratch.history.size() < size) {
        scratch.history.resize(size);
        scratch.signs.resize(size + 16); // whole blocks of 16 steps are read
    }
    // The 16-bit sums read whole blocks of 16 weights, those past the taps being zero; the
    // history has room for them to read past its end.
    if (kNarrow && scratch.narrow.size() < size + 16)
        scratch.narrow.resize(size + 16);
    int32_t* history = scratch.history.data();
    int16_t* signs = scratch.signs.data();
    int16_t* narrow = scratch.narrow.data();
    // Sample s of channel c at (length - 1 - s) * channels + c; the previous tiles' samples
    // (s < 0) follow the tile's.
    for (int s = 0; s < length; ++s) {
        const size_t at = static_cast<size_t>(length - 1 - s) * static_cast<size_t>(channels);
        for (int c = 0; c < channels; ++c) {
            const int32_t v = std::clamp(signals[c][s], -range, range - 1);
            history[at + static_cast<size_t>(c)] = v;
            signs[at + static_cast<size_t>(c)] = static_cast<int16_t>(sign_of_sample(v));
            if (kNarrow)
                narrow[at + static_cast<size_t>(c)] = static_cast<int16_t>(v);
        }
    }
    const size_t old = static_cast<size_t>(length) * static_cast<size_t>(channels);
    for (int k = 0; k < taps; ++k) {
        history[old + static_cast<size_t>(k)] = m.window[k];
        signs[old + static_cast<size_t>(k)] = static_cast<int16_t>(sign_of_sample(m.window[k]));
        if (kNarrow)
            narrow[old + static_cast<size_t>(k)] = static_cast<int16_t>(m.window[k]);
    }

    const uint32_t rounding = (uint32_t{1} << m.scaling) >> 1;
    // Stages of at most 16 weights a channel on 16-bit streams keep each channel's weights in
    // one block (a register) for the whole tile: each sample's update feeds the next sample's
    // sum, and a store and reload between them would lengthen that chain at every sample.
    constexpr bool kHeld = kNarrow && kChannels > 0 && kOrder > 0 && kOrder * kChannels <= 16;
    if constexpr (kHeld) {
        typename Ops::Held w[kChannels];
        for (int c = 0; c < kChannels; ++c)
            w[c] = Ops::hold(m.coefs[c]);
        for (int i = 0; i < length; ++i) {
            const size_t at = static_cast<size_t>(length - i) * static_cast<size_t>(kChannels);
            int32_t residue[kChannels];
            for (int c = 0; c < kChannels; ++c) {
                residue[c] = 0;
                if (!coded[c])
                    continue;
                uint32_t sum = Ops::held_dot(narrow + at, w[c]);
                for (int j = 0; j < c; ++j)
                    sum +=
                        static_cast<uint32_t>(signals[j][i]) * static_cast<uint32_t>(m.cross[c][j]);
                const int32_t prediction = static_cast<int32_t>(sum + rounding) >> m.scaling;
                residue[c] = static_cast<int32_t>(static_cast<uint32_t>(signals[c][i]) -
                                                  static_cast<uint32_t>(prediction));
            }
            for (int c = 0; c < kChannels; ++c) {
                if (residue[c] == 0)
                    continue;
                const int direction = residue[c] > 0 ? 1 : -1;
                w[c] = Ops::held_adapt(w[c], signs + at, taps, direction);
                for (int j = 0; j < c; ++j)
                    m.cross[c][j] = static_cast<int16_t>(m.cross[c][j] +
                                                         direction * sign_of_sample(signals[j][i]));
            }
            for (int c = 0; c < kChannels; ++c)
                if (coded[c])
                    signals[c][i] = residue[c];
        }
        for (int c = 0; c < kChannels; ++c)
            Ops::release(w[c], m.coefs[c]);
        std::memcpy(m.window, history, sizeof(int32_t) * static_cast<size_t>(taps));
        return;
    }
    for (int i = 0; i < length; ++i) {
        // The window for sample i starts with sample i - 1.
        const size_t at = static_cast<size_t>(length - i) * static_cast<size_t>(channels);
        const int32_t* h = history + at;
        const int16_t* u = signs + at;
        int32_t residue[kMaxChannels];
        // Predict every channel from the history and the lower channels' current samples.
        for (int c = 0; c < channels; ++c) {
            residue[c] = 0;
            if (!coded[c])
                continue;
            uint32_t sum =
                kNarrow ? Ops::dot16(narrow + at, m.coefs[c], taps) : Ops::dot(h, m.coefs[c], taps);
            for (int j = 0; j < c; ++j)
                sum += static_cast<uint32_t>(signals[j][i]) * static_cast<uint32_t>(m.cross[c][j]);
            const int32_t prediction = static_cast<int32_t>(sum + rounding) >> m.scaling;
            residue[c] = static_cast<int32_t>(static_cast<uint32_t>(signals[c][i]) -
                                              static_cast<uint32_t>(prediction));
        }
        // Adapt by the sign of each channel's error.
        for (int c = 0; c < channels; ++c) {
            if (residue[c] == 0)
                continue;
            const int direction = residue[c] > 0 ? 1 : -1;
            Ops::adapt(m.coefs[c], u, taps, direction > 0);
            for (int j = 0; j < c; ++j)
                m.cross[c][j] =
                    static_cast<int16_t>(m.cross[c][j] + direction * sign_of_sample(signals[j][i]));
        }
        for (int c = 0; c < channels; ++c)
            if (coded[c])
                signals[c][i] = residue[c];
    }
    std::memcpy(m.window, history, sizeof(int32_t) * static_cast<size_t>(taps));
}

template <typename Ops, bool kNarrow>
inline void run_shape(McLmsFilter& m, int32_t* const* signals, const bool* coded, int length,
                      int bits_per_sample, McLmsScratch& scratch) {
    // The shapes the encoder's tools use.
    if (m.channels == 2 && m.order == 2)
        run<Ops, 2, 2, kNarrow>(m, signals, coded, length, bits_per_sample, scratch);
    else if (m.channels == 2 && m.order == 4)
        run<Ops, 2, 4, kNarrow>(m, signals, coded, length, bits_per_sample, scratch);
    else if (m.channels == 2 && m.order == 8)
        run<Ops, 2, 8, kNarrow>(m, signals, coded, length, bits_per_sample, scratch);
    else if (m.channels == 2 && m.order == 12)
        run<Ops, 2, 12, kNarrow>(m, signals, coded, length, bits_per_sample, scratch);
    else if (m.channels == 1 && m.order == 2)
        run<Ops, 1, 2, kNarrow>(m, signals, coded, length, bits_per_sample, scratch);
    else if (m.channels == 1 && m.order == 12)
        run<Ops, 1, 12, kNarrow>(m, signals, coded, length, bits_per_sample, scratch);
    else
        run<Ops, 0, 0, kNarrow>(m, signals, coded, length, bits_per_sample, scratch);
}

template <typename Ops>
inline void mclms_encode(McLmsFilter& m, int32_t* const* signals, const bool* coded, int length,
                         int bits_per_sample, McLmsScratch& scratch) {
    if (bits_per_sample == 16)
        run_shape<Ops, true>(m, signals, coded, length, bits_per_sample, scratch);
    else
        run_shape<Ops, false>(m, signals, coded, length, bits_per_sample, scratch);
}

} // namespace wmal::mclms_detail
