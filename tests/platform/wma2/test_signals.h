// Short test signals, planar float, full scale +-1.
#pragma once

#include "stream_round_trip.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace wma2_test {

inline Planes Silence(int channels, std::size_t length) {
    return Planes(static_cast<std::size_t>(channels), std::vector<float>(length, 0.0F));
}

// A chord of three partials with a slow vibrato, slightly different per channel.
inline Planes Chord(int rate, int channels, double seconds, double level = 0.3) {
    const auto length = static_cast<std::size_t>(rate * seconds);
    Planes out = Silence(channels, length);
    for (int ch = 0; ch < channels; ++ch) {
        for (std::size_t i = 0; i < length; ++i) {
            const double t = static_cast<double>(i) / rate;
            const double vibrato = 1.0 + 0.002 * std::sin(2 * std::numbers::pi * 5 * t);
            double value = 0;
            for (const double f : {220.0, 277.2, 329.6}) {
                value += std::sin(2 * std::numbers::pi * f * (1 + 0.01 * ch) * vibrato * t);
            }
            out[static_cast<std::size_t>(ch)][i] = static_cast<float>(level / 3 * value);
        }
    }
    return out;
}

// Uniform white noise from a fixed seed, different per channel.
inline Planes Noise(int rate, int channels, double seconds, double level = 0.2,
                    std::uint32_t seed = 1) {
    const auto length = static_cast<std::size_t>(rate * seconds);
    Planes out = Silence(channels, length);
    for (auto& channel : out) {
        for (auto& sample : channel) {
            seed = seed * 1664525u + 1013904223u;
            sample = static_cast<float>(level * (static_cast<double>(seed) / 2147483648.0 - 1.0));
        }
    }
    return out;
}

// Short decaying clicks on a quiet chord: attacks for the block switching.
inline Planes Clicks(int rate, int channels, double seconds, double every = 0.25) {
    Planes out = Chord(rate, channels, seconds, 0.02);
    const auto period = static_cast<std::size_t>(rate * every);
    for (auto& channel : out) {
        for (std::size_t start = period / 2; start < channel.size(); start += period) {
            for (std::size_t i = 0; i < 200 && start + i < channel.size(); ++i) {
                channel[start + i] += static_cast<float>(
                    0.8 * std::exp(-static_cast<double>(i) / 30.0) *
                    std::sin(2 * std::numbers::pi * 3000.0 * static_cast<double>(i) / rate));
            }
        }
    }
    return out;
}

inline Planes Add(Planes a, const Planes& b) {
    for (std::size_t ch = 0; ch < a.size(); ++ch) {
        for (std::size_t i = 0; i < a[ch].size(); ++i) {
            a[ch][i] += b[ch][i];
        }
    }
    return a;
}

} // namespace wma2_test
