#include "services/pcm_conversion.h"

#include <bit>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantrel {

static_assert(std::endian::native == std::endian::little,
              "16-bit PCM is handed over in the machine's byte order, which must be little-endian");

namespace {

// One value: scaled, NaN as silence, clipped, rounded half away from zero.
// (Adding 0.5 before truncating would round 0.49999999999999994 up to 1.)
template <int Bits> std::int32_t ToInt(double sample) {
    constexpr double kScale = static_cast<double>(1 << (Bits - 1));
    double v = sample * kScale;
    v = (v == v) ? v : 0.0;
    v = v < kScale - 1 ? v : kScale - 1;
    v = v > -kScale ? v : -kScale;
    return static_cast<std::int32_t>(std::round(v));
}

#if defined(__SSE2__)
// The same steps on two values at once; the compiler does not vectorise the
// scalar form (copysign and the narrowing conversion stop it), and this loop
// runs over every sample of every track.
__m128i TwoToInt32(const double* input) {
    const __m128d scale = _mm_set1_pd(32768.0);
    const __m128d high = _mm_set1_pd(32767.0);
    const __m128d low = _mm_set1_pd(-32768.0);
    const __m128d half = _mm_set1_pd(0.5);
    const __m128d signBit = _mm_set1_pd(-0.0);
    const __m128d one = _mm_set1_pd(1.0);
    __m128d v = _mm_mul_pd(_mm_loadu_pd(input), scale);
    v = _mm_and_pd(v, _mm_cmpord_pd(v, v));
    v = _mm_max_pd(_mm_min_pd(v, high), low);
    // Truncate, then step one away from zero where the dropped part is at least
    // a half; the difference is exact, so halves round as std::round does.
    const __m128i truncated = _mm_cvttpd_epi32(v);
    const __m128d dropped = _mm_sub_pd(v, _mm_cvtepi32_pd(truncated));
    const __m128d sign = _mm_and_pd(v, signBit);
    const __m128d atLeastHalf = _mm_cmpge_pd(_mm_andnot_pd(signBit, dropped), half);
    const __m128d step = _mm_and_pd(atLeastHalf, _mm_or_pd(one, sign));
    return _mm_add_epi32(truncated, _mm_cvttpd_epi32(step));
}
#endif

} // namespace

void convert_to_int16(const double* input, std::size_t count, std::int16_t* output) {
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 8 <= count; i += 8) {
        const __m128i first = _mm_unpacklo_epi64(TwoToInt32(input + i), TwoToInt32(input + i + 2));
        const __m128i second =
            _mm_unpacklo_epi64(TwoToInt32(input + i + 4), TwoToInt32(input + i + 6));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(output + i), _mm_packs_epi32(first, second));
    }
#endif
    for (; i < count; ++i)
        output[i] = static_cast<std::int16_t>(ToInt<16>(input[i]));
}

void convert_to_int24(const double* input, std::size_t count, std::uint8_t* output) {
    for (std::size_t i = 0; i < count; ++i, output += 3) {
        const auto value = static_cast<std::uint32_t>(ToInt<24>(input[i]));
        output[0] = static_cast<std::uint8_t>(value);
        output[1] = static_cast<std::uint8_t>(value >> 8);
        output[2] = static_cast<std::uint8_t>(value >> 16);
    }
}

} // namespace vantrel
