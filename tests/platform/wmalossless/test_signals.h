// Deterministic test signals, interleaved, right-aligned to the given bit depth.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace wmal_test {

class Lcg {
public:
    explicit Lcg(uint32_t seed) : state_(seed) {}
    uint32_t next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_;
    }
    // Uniform over the full signed range of `bits` bits.
    int32_t full_scale(int bits) { return static_cast<int32_t>(next()) >> (32 - bits); }

private:
    uint32_t state_;
};

inline int32_t clamp_to(double v, int bits) {
    const double hi = std::ldexp(1.0, bits - 1) - 1;
    const double lo = -std::ldexp(1.0, bits - 1);
    return static_cast<int32_t>(std::lround(v < lo ? lo : (v > hi ? hi : v)));
}

// A few decaying partials per channel plus a little noise: behaves like tonal music.
inline std::vector<int32_t> tonal(size_t frames, int channels, int bits, int rate, uint32_t seed) {
    std::vector<int32_t> out(frames * static_cast<size_t>(channels));
    Lcg rng(seed);
    const double scale = std::ldexp(1.0, bits - 1) * 0.3;
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        for (int c = 0; c < channels; ++c) {
            const double f = 220.0 * (1 + c * 0.25);
            double v = std::sin(2 * M_PI * f * t) + 0.5 * std::sin(2 * M_PI * 2.01 * f * t + c) +
                       0.25 * std::sin(2 * M_PI * 3.7 * f * t) * std::exp(-std::fmod(t, 0.5) * 4);
            v = v * scale + (static_cast<double>(rng.full_scale(bits)) / 512.0);
            out[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] = clamp_to(v, bits);
        }
    }
    return out;
}

// One loud sine (0.7 of full scale) at 1234.5 Hz in every channel, with TPDF dither.
inline std::vector<int32_t> pure_tone(size_t frames, int channels, int bits, uint32_t seed) {
    std::vector<int32_t> out;
    out.reserve(frames * static_cast<size_t>(channels));
    Lcg dither(seed);
    for (size_t i = 0; i < frames; ++i) {
        const double v = std::sin(2 * M_PI * 1234.5 * static_cast<double>(i) / 44100);
        for (int c = 0; c < channels; ++c) {
            const double tpdf = static_cast<double>(dither.next() >> 24) / 128.0 - 1.0;
            out.push_back(clamp_to(v * std::ldexp(0.7, bits - 1) + tpdf, bits));
        }
    }
    return out;
}

inline std::vector<int32_t> white_noise(size_t frames, int channels, int bits, uint32_t seed) {
    std::vector<int32_t> out(frames * static_cast<size_t>(channels));
    Lcg rng(seed);
    for (int32_t& v : out)
        v = rng.full_scale(bits);
    return out;
}

// The same signal on every channel.
inline std::vector<int32_t> identical_channels(size_t frames, int channels, int bits, int rate) {
    std::vector<int32_t> mono = tonal(frames, 1, bits, rate, 7);
    std::vector<int32_t> out(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] = mono[i];
    return out;
}

inline std::vector<int16_t> to_int16(const std::vector<int32_t>& v) {
    return std::vector<int16_t>(v.begin(), v.end());
}

} // namespace wmal_test
