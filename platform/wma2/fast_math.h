// Logarithms and powers of two precise to about 1e-4, and sums over runs of coefficients,
// for the hearing model's many evaluations where the library functions and a single chain
// of additions would dominate the run time.
#pragma once

#include <bit>
#include <cstdint>

namespace wma2 {

// log2(x) for x > 0 (normal numbers).
inline float FastLog2(float x) {
    const auto bits = std::bit_cast<std::uint32_t>(x);
    const auto exponent = static_cast<float>(static_cast<int>((bits >> 23) & 0xFF) - 127);
    const float m = std::bit_cast<float>((bits & 0x007FFFFFu) | 0x3F800000u); // [1, 2)
    // Minimax polynomial of log2 on [1, 2).
    const float p =
        -1.7417939F + (2.8212026F + (-1.4699568F + (0.44717955F - 0.056570851F * m) * m) * m) * m;
    return exponent + p;
}

// log2(x) for x > 0 within 0.09: the exponent and a straight line through the mantissa.
inline float RoughLog2(float x) {
    const auto bits = std::bit_cast<std::uint32_t>(x);
    return static_cast<float>(bits) * (1.0F / 8388608.0F) - 127.0F;
}

// 2^x for -126 < x < 128.
inline float FastExp2(float x) {
    const float floor_x = static_cast<float>(static_cast<int>(x) - (x < 0 ? 1 : 0));
    const float f = x - floor_x; // [0, 1)
    // Polynomial of 2^f on [0, 1).
    const float p =
        1.0F + f * (0.69314718F + f * (0.24022652F + f * (0.05550411F + f * 0.00961813F)));
    const auto bits = static_cast<std::uint32_t>(static_cast<int>(floor_x) + 127) << 23;
    return p * std::bit_cast<float>(bits);
}

// x[0] + ... + x[count - 1], in eight independent partial sums that the vectoriser can keep
// in one register (the order of additions differs from a plain loop's).
inline float Sum(const float* x, int count) {
    float partial[8] = {};
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        for (int m = 0; m < 8; ++m) {
            partial[m] += x[i + m];
        }
    }
    for (; i < count; ++i) {
        partial[0] += x[i];
    }
    return ((partial[0] + partial[1]) + (partial[2] + partial[3])) +
           ((partial[4] + partial[5]) + (partial[6] + partial[7]));
}

// x[0] y[0] + ... + x[count - 1] y[count - 1], summed as Sum does.
inline float SumOfProducts(const float* x, const float* y, int count) {
    float partial[8] = {};
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        for (int m = 0; m < 8; ++m) {
            partial[m] += x[i + m] * y[i + m];
        }
    }
    for (; i < count; ++i) {
        partial[0] += x[i] * y[i];
    }
    return ((partial[0] + partial[1]) + (partial[2] + partial[3])) +
           ((partial[4] + partial[5]) + (partial[6] + partial[7]));
}

} // namespace wma2
