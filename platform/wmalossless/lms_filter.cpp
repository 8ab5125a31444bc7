#include "lms_filter.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define WMAL_HAVE_AVX2_KERNELS 1
#endif

namespace wmal {

namespace {

// Sample loop shared by all kernels. Per sample the decoder computes the prediction with the
// current coefficients, adapts them by the residue's sign using the update steps as they are,
// then pushes the new sample. Adapting sample n and predicting sample n + 1 are done in one
// pass over the taps; the update steps are pushed only after that pass has read them.
template <typename Hist, typename Ops>
void encode_samples(LmsFilter<Hist>& f, int32_t* signal, int count, int speed,
                    int bits_per_sample) {
    const int32_t range = int32_t{1} << (bits_per_sample - 1);
    const int taps = round_up_taps(f.order);
    const int order = f.order;
    const uint32_t rounding = (uint32_t{1} << f.scaling) >> 1;
    uint32_t dot = Ops::dot(f.coefs, f.history + f.recent, taps);
    for (int i = 0; i < count; ++i) {
        const int32_t input = signal[i];
        const int32_t prediction = static_cast<int32_t>(rounding + dot) >> f.scaling;
        const int32_t residue =
            static_cast<int32_t>(static_cast<uint32_t>(input) - static_cast<uint32_t>(prediction));
        const int sign = sign_of(residue);
        const int16_t* steps = f.updates + f.recent;

        const bool wrapped = f.recent == 0;
        if (wrapped) {
            std::memcpy(f.history + order, f.history, sizeof(Hist) * order);
            f.recent = order - 1;
        } else {
            --f.recent;
        }
        f.history[f.recent] =
            static_cast<Hist>(input < -range ? -range : (input > range - 1 ? range - 1 : input));

        if (i + 1 < count)
            dot = sign != 0 ? Ops::adapt_dot(f.coefs, steps, sign, f.history + f.recent, taps)
                            : Ops::dot(f.coefs, f.history + f.recent, taps);
        else if (sign != 0)
            Ops::adapt(f.coefs, steps, sign, taps);

        if (wrapped)
            std::memcpy(f.updates + order, f.updates, sizeof(int16_t) * order);
        int16_t* u = f.updates + f.recent;
        u[0] = static_cast<int16_t>(sign_of(input) * speed);
        u[order >> 4] >>= 2;
        u[order >> 3] >>= 1;
        // Everything past the window is zero; this entry just left it.
        u[order] = 0;
        signal[i] = residue;
    }
}

// Plain C++; dot products wrap mod 2^32, coefficients mod 2^16.
struct PortableOps {
    static uint32_t dot(const int16_t* c, const int16_t* h, int taps) {
        uint32_t sum = 0;
        for (int i = 0; i < taps; ++i)
            sum += static_cast<uint32_t>(int32_t{c[i]} * int32_t{h[i]});
        return sum;
    }
    static uint32_t dot(const int16_t* c, const int32_t* h, int taps) {
        uint32_t sum = 0;
        for (int i = 0; i < taps; ++i)
            sum += static_cast<uint32_t>(c[i]) * static_cast<uint32_t>(h[i]);
        return sum;
    }
    static void adapt(int16_t* c, const int16_t* u, int sign, int taps) {
        for (int i = 0; i < taps; ++i)
            c[i] = static_cast<int16_t>(c[i] + sign * u[i]);
    }
    template <typename Hist>
    static uint32_t adapt_dot(int16_t* c, const int16_t* u, int sign, const Hist* h, int taps) {
        adapt(c, u, sign, taps);
        return dot(c, h, taps);
    }
};

#ifdef WMAL_HAVE_AVX2_KERNELS

__attribute__((target("avx2"))) inline uint32_t sum_lanes(__m256i v) {
    __m128i x = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    x = _mm_add_epi32(x, _mm_shuffle_epi32(x, 0x4E));
    x = _mm_add_epi32(x, _mm_shuffle_epi32(x, 0xB1));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(x));
}

__attribute__((target("avx2"))) inline __m256i load(const void* p) {
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

// 16 taps per step. madd_epi16 sums two 32-bit products; its one overflowing case
// (-32768 * -32768 twice) wraps to the same value mod 2^32 as the scalar sum.
struct Avx2Ops {
    __attribute__((target("avx2"))) static uint32_t dot(const int16_t* c, const int16_t* h,
                                                        int taps) {
        __m256i acc = _mm256_setzero_si256();
        for (int i = 0; i < taps; i += 16)
            acc = _mm256_add_epi32(acc, _mm256_madd_epi16(load(c + i), load(h + i)));
        return sum_lanes(acc);
    }
    __attribute__((target("avx2"))) static uint32_t dot(const int16_t* c, const int32_t* h,
                                                        int taps) {
        __m256i acc = _mm256_setzero_si256();
        for (int i = 0; i < taps; i += 8) {
            const __m256i cw =
                _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c + i)));
            acc = _mm256_add_epi32(acc, _mm256_mullo_epi32(cw, load(h + i)));
        }
        return sum_lanes(acc);
    }
    __attribute__((target("avx2"))) static void adapt(int16_t* c, const int16_t* u, int sign,
                                                      int taps) {
        for (int i = 0; i < taps; i += 16) {
            const __m256i cv = load(c + i);
            const __m256i uv = load(u + i);
            const __m256i r = sign > 0 ? _mm256_add_epi16(cv, uv) : _mm256_sub_epi16(cv, uv);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(c + i), r);
        }
    }
    __attribute__((target("avx2"))) static uint32_t
    adapt_dot(int16_t* c, const int16_t* u, int sign, const int16_t* h, int taps) {
        __m256i acc = _mm256_setzero_si256();
        if (sign > 0) {
            for (int i = 0; i < taps; i += 16) {
                const __m256i cv = _mm256_add_epi16(load(c + i), load(u + i));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(c + i), cv);
                acc = _mm256_add_epi32(acc, _mm256_madd_epi16(cv, load(h + i)));
            }
        } else {
            for (int i = 0; i < taps; i += 16) {
                const __m256i cv = _mm256_sub_epi16(load(c + i), load(u + i));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(c + i), cv);
                acc = _mm256_add_epi32(acc, _mm256_madd_epi16(cv, load(h + i)));
            }
        }
        return sum_lanes(acc);
    }
    __attribute__((target("avx2"))) static uint32_t
    adapt_dot(int16_t* c, const int16_t* u, int sign, const int32_t* h, int taps) {
        adapt(c, u, sign, taps);
        return dot(c, h, taps);
    }
};

#endif

bool g_portable_only = false;

bool use_avx2() {
#ifdef WMAL_HAVE_AVX2_KERNELS
    static const bool available = __builtin_cpu_supports("avx2");
    return available && !g_portable_only;
#else
    return false;
#endif
}

template <typename Hist>
void encode_dispatch(LmsFilter<Hist>& f, int32_t* signal, int count, int speed, int bits) {
#ifdef WMAL_HAVE_AVX2_KERNELS
    if (use_avx2()) {
        encode_samples<Hist, Avx2Ops>(f, signal, count, speed, bits);
        return;
    }
#endif
    encode_samples<Hist, PortableOps>(f, signal, count, speed, bits);
}

} // namespace

void use_portable_lms_kernels(bool portable) {
    g_portable_only = portable;
}

template <>
void LmsFilter<int16_t>::encode(int32_t* signal, int count, int speed, int bits_per_sample) {
    encode_dispatch(*this, signal, count, speed, bits_per_sample);
}

template <>
void LmsFilter<int32_t>::encode(int32_t* signal, int count, int speed, int bits_per_sample) {
    encode_dispatch(*this, signal, count, speed, bits_per_sample);
}

} // namespace wmal
