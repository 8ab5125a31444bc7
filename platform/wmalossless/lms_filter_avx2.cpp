// AVX2 kernels of the LMS cascade. This file alone is compiled for AVX2; the dispatcher in
// lms_filter.cpp calls it only on processors that have it.
#include <immintrin.h>

#include <cstring>

#include "lms_cascade.h"
#include "mclms_loop.h"

namespace wmal {

namespace {

inline uint32_t sum_lanes(__m256i v) {
    __m128i x = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    x = _mm_add_epi32(x, _mm_shuffle_epi32(x, 0x4E));
    x = _mm_add_epi32(x, _mm_shuffle_epi32(x, 0xB1));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(x));
}

inline __m256i load(const void* p) {
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

// 16 taps per step, two sums in flight. madd_epi16 sums two 32-bit products; its one
// overflowing case (-32768 * -32768 twice) wraps to the same value mod 2^32 as the scalar sum.
// sign_epi16 applies the residue's sign (-1, 0, +1) to the steps without a branch.
//
// 24-bit histories (clipped to 24 bits) are held split in two planes of 16-bit cells, the low
// halves and the rounded high halves: v = hi * 2^16 + lo with lo = (int16_t)v and
// hi = (v + 2^15) >> 16, which lies in -128..128. Then coef * v = coef * lo + (coef * hi) << 16
// mod 2^32, two madd_epi16 per 16 taps where 32-bit products would take four multiplies of
// twice the cost and widening of the coefficients.
constexpr int kHighPlane = kLmsBufferLength;

inline int16_t low_half(int32_t v) {
    return static_cast<int16_t>(v);
}
inline int16_t high_half(int32_t v) {
    return static_cast<int16_t>((v + 0x8000) >> 16);
}

struct Avx2Ops {
    template <typename Hist> using Cell = int16_t;
    template <typename Hist>
    static constexpr int kWindowCells = sizeof(Hist) == 2 ? 0 : 2 * kLmsBufferLength;

    template <typename Hist> static int16_t* open_window(LmsFilter<Hist>& filter, int16_t* split) {
        if constexpr (sizeof(Hist) == 2) {
            return filter.history;
        } else {
            for (int i = 0; i < kLmsBufferLength; ++i) {
                split[i] = low_half(filter.history[i]);
                split[kHighPlane + i] = high_half(filter.history[i]);
            }
            return split;
        }
    }
    template <typename Hist>
    static void close_window(LmsFilter<Hist>& filter, const int16_t* split) {
        if constexpr (sizeof(Hist) == 4) {
            for (int i = 0; i < kLmsBufferLength; ++i)
                filter.history[i] =
                    static_cast<int32_t>(static_cast<uint32_t>(split[kHighPlane + i]) * 65536u +
                                         static_cast<uint32_t>(split[i]));
        }
    }
    template <typename Hist> static void wrap(int16_t* h, int order) {
        const size_t bytes = sizeof(int16_t) * static_cast<size_t>(order);
        std::memcpy(h + order, h, bytes);
        if constexpr (sizeof(Hist) == 4)
            std::memcpy(h + kHighPlane + order, h + kHighPlane, bytes);
    }

    template <typename Hist> static uint32_t dot(const int16_t* c, const int16_t* h, int taps) {
        __m256i acc = _mm256_setzero_si256();
        __m256i high = _mm256_setzero_si256();
        for (int i = 0; i < taps; i += 16) {
            acc = _mm256_add_epi32(acc, _mm256_madd_epi16(load(c + i), load(h + i)));
            if constexpr (sizeof(Hist) == 4)
                high = _mm256_add_epi32(high,
                                        _mm256_madd_epi16(load(c + i), load(h + kHighPlane + i)));
        }
        return sum_lanes(_mm256_add_epi32(acc, _mm256_slli_epi32(high, 16)));
    }

    // h[0] becomes `newest`. The first block of the history is loaded before that store and
    // gets the new sample in a register: a wide load that overlaps a narrow store still in
    // flight waits until the store completes, and this one would, at every sample.
    template <typename Hist, int kTaps>
    static uint32_t adapt_dot(int16_t* c, const int16_t* u, int sign, int16_t* h, int taps,
                              int32_t newest) {
        if constexpr (kTaps > 0)
            taps = kTaps;
        constexpr bool kSplit = sizeof(Hist) == 4;
        const __m256i s = _mm256_set1_epi16(static_cast<int16_t>(sign));
        const __m256i lane0 = _mm256_setr_epi16(-1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
        const int16_t low = low_half(newest);
        const __m256i first = load(h);
        h[0] = low;
        const __m256i h0 = _mm256_blendv_epi8(first, _mm256_set1_epi16(low), lane0);
        __m256i high0 = _mm256_setzero_si256();
        if constexpr (kSplit) {
            const int16_t high = high_half(newest);
            const __m256i first_high = load(h + kHighPlane);
            h[kHighPlane] = high;
            high0 = _mm256_blendv_epi8(first_high, _mm256_set1_epi16(high), lane0);
        }
        const __m256i c0 = _mm256_add_epi16(load(c), _mm256_sign_epi16(load(u), s));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(c), c0);
        __m256i acc0 = _mm256_madd_epi16(c0, h0);
        __m256i acc1 = _mm256_setzero_si256();
        __m256i high_acc = kSplit ? _mm256_madd_epi16(c0, high0) : _mm256_setzero_si256();
        int i = 16;
        for (; i + 32 <= taps; i += 32) {
            const __m256i ca = _mm256_add_epi16(load(c + i), _mm256_sign_epi16(load(u + i), s));
            const __m256i cb =
                _mm256_add_epi16(load(c + i + 16), _mm256_sign_epi16(load(u + i + 16), s));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(c + i), ca);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(c + i + 16), cb);
            acc1 = _mm256_add_epi32(acc1, _mm256_madd_epi16(ca, load(h + i)));
            acc0 = _mm256_add_epi32(acc0, _mm256_madd_epi16(cb, load(h + i + 16)));
            if constexpr (kSplit) {
                high_acc = _mm256_add_epi32(
                    high_acc,
                    _mm256_add_epi32(_mm256_madd_epi16(ca, load(h + kHighPlane + i)),
                                     _mm256_madd_epi16(cb, load(h + kHighPlane + i + 16))));
            }
        }
        if (i < taps) {
            const __m256i ca = _mm256_add_epi16(load(c + i), _mm256_sign_epi16(load(u + i), s));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(c + i), ca);
            acc1 = _mm256_add_epi32(acc1, _mm256_madd_epi16(ca, load(h + i)));
            if constexpr (kSplit)
                high_acc =
                    _mm256_add_epi32(high_acc, _mm256_madd_epi16(ca, load(h + kHighPlane + i)));
        }
        __m256i total = _mm256_add_epi32(acc0, acc1);
        if constexpr (kSplit)
            total = _mm256_add_epi32(total, _mm256_slli_epi32(high_acc, 16));
        return sum_lanes(total);
    }
};

} // namespace

void lms_cascade_encode_avx2(LmsFilter<int16_t>* const* filters, int channels, int count,
                             int32_t* const* signals, int length, int speed, int bits_per_sample) {
    lms_detail::encode_cascades<int16_t, Avx2Ops>(filters, channels, count, signals, length, speed,
                                                  bits_per_sample);
}

void lms_cascade_encode_avx2(LmsFilter<int32_t>* const* filters, int channels, int count,
                             int32_t* const* signals, int length, int speed, int bits_per_sample) {
    lms_detail::encode_cascades<int32_t, Avx2Ops>(filters, channels, count, signals, length, speed,
                                                  bits_per_sample);
}

namespace {

// The multichannel stage's sums: 8 weights per step, then the odd rest.
struct McLmsAvx2Ops {
    static uint32_t dot(const int32_t* history, const int16_t* weights, int count) {
        __m256i acc = _mm256_setzero_si256();
        int k = 0;
        for (; k + 8 <= count; k += 8) {
            const __m256i w = _mm256_cvtepi16_epi32(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + k)));
            acc = _mm256_add_epi32(acc, _mm256_mullo_epi32(w, load(history + k)));
        }
        uint32_t sum = sum_lanes(acc);
        for (; k < count; ++k)
            sum += static_cast<uint32_t>(history[k]) * static_cast<uint32_t>(weights[k]);
        return sum;
    }
    // 16 weights a step; those past `count` are zero, so whole blocks are summed.
    static uint32_t dot16(const int16_t* history, const int16_t* weights, int count) {
        __m256i acc = _mm256_setzero_si256();
        for (int k = 0; k < count; k += 16)
            acc = _mm256_add_epi32(acc, _mm256_madd_epi16(load(history + k), load(weights + k)));
        return sum_lanes(acc);
    }
    // The direction applies as a sign (sign_epi16), not a branch: it follows the sign of the
    // prediction error, which no branch predictor guesses. Blocks of 16, then of 8 (the short
    // stages have 4 or 8 weights a channel), then one by one.
    static void adapt(int16_t* weights, const int16_t* steps, int count, bool up) {
        const int16_t direction = up ? 1 : -1;
        const __m256i d = _mm256_set1_epi16(direction);
        int k = 0;
        for (; k + 16 <= count; k += 16) {
            const __m256i w = load(weights + k);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(weights + k),
                                _mm256_add_epi16(w, _mm256_sign_epi16(load(steps + k), d)));
        }
        if (k + 8 <= count) {
            const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + k));
            const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(steps + k));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(weights + k),
                             _mm_add_epi16(w, _mm_sign_epi16(s, _mm256_castsi256_si128(d))));
            k += 8;
        }
        for (; k < count; ++k)
            weights[k] = static_cast<int16_t>(weights[k] + direction * steps[k]);
    }
    // A channel's weights held in a register for a tile, 16 of them, those past the stage's
    // count zero; its steps past the count are masked off.
    using Held = __m256i;
    static Held hold(const int16_t* weights) { return load(weights); }
    static void release(Held h, int16_t* weights) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(weights), h);
    }
    static uint32_t held_dot(const int16_t* history, Held h) {
        return sum_lanes(_mm256_madd_epi16(load(history), h));
    }
    static Held held_adapt(Held h, const int16_t* steps, int count, int direction) {
        alignas(32) static constexpr int16_t kLanes[32] = {-1, -1, -1, -1, -1, -1, -1, -1,
                                                           -1, -1, -1, -1, -1, -1, -1, -1};
        const __m256i mask = load(kLanes + 16 - count);
        const __m256i s = _mm256_and_si256(load(steps), mask);
        return _mm256_add_epi16(
            h, _mm256_sign_epi16(s, _mm256_set1_epi16(static_cast<int16_t>(direction))));
    }
};

} // namespace

void mclms_encode_avx2(McLmsFilter& filter, int32_t* const* signals, const bool* coded, int length,
                       int bits_per_sample, McLmsScratch& scratch) {
    mclms_detail::mclms_encode<McLmsAvx2Ops>(filter, signals, coded, length, bits_per_sample,
                                             scratch);
}

} // namespace wmal
