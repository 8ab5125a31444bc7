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
std::int16_t ToInt16(double sample) {
    double v = sample * 32768.0;
    v = (v == v) ? v : 0.0;
    v = v < 32767.0 ? v : 32767.0;
    v = v > -32768.0 ? v : -32768.0;
    return static_cast<std::int16_t>(v + std::copysign(0.5, v));
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
    __m128d v = _mm_mul_pd(_mm_loadu_pd(input), scale);
    v = _mm_and_pd(v, _mm_cmpord_pd(v, v));
    v = _mm_max_pd(_mm_min_pd(v, high), low);
    v = _mm_add_pd(v, _mm_or_pd(half, _mm_and_pd(v, signBit)));
    return _mm_cvttpd_epi32(v);
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
        output[i] = ToInt16(input[i]);
}

} // namespace vantrel
