#include "lms_filter.h"

#include "lms_cascade.h"

#if defined(__x86_64__) || defined(__i386__)
#define WMAL_HAVE_AVX2_KERNELS 1
#endif

namespace wmal {

#ifdef WMAL_HAVE_AVX2_KERNELS
// In lms_filter_avx2.cpp.
void lms_cascade_encode_avx2(LmsFilter<int16_t>* const* filters, int channels, int count,
                             int32_t* const* signals, int length, int speed, int bits_per_sample);
void lms_cascade_encode_avx2(LmsFilter<int32_t>* const* filters, int channels, int count,
                             int32_t* const* signals, int length, int speed, int bits_per_sample);
#endif

namespace {

// Plain C++; dot products wrap mod 2^32, coefficients mod 2^16.
struct PortableOps {
    // The filters' own history buffers.
    template <typename Hist> using Cell = Hist;
    template <typename Hist> static constexpr int kWindowCells = 0;
    template <typename Hist> static Hist* open_window(LmsFilter<Hist>& filter, Hist*) {
        return filter.history;
    }
    template <typename Hist> static void close_window(LmsFilter<Hist>&, const Hist*) {}
    template <typename Hist> static void wrap(Hist* h, int order) {
        std::memcpy(h + order, h, sizeof(Hist) * static_cast<size_t>(order));
    }
    template <typename Hist> static uint32_t dot(const int16_t* c, const Hist* h, int taps) {
        return dot(c, h, taps);
    }
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
    template <typename Hist, int kTaps>
    static uint32_t adapt_dot(int16_t* c, const int16_t* u, int sign, Hist* h, int taps,
                              int32_t newest) {
        if constexpr (kTaps > 0)
            taps = kTaps;
        h[0] = static_cast<Hist>(newest);
        for (int i = 0; i < taps; ++i)
            c[i] = static_cast<int16_t>(c[i] + sign * u[i]);
        return dot(c, h, taps);
    }
};

bool g_portable_only = false;

bool use_avx2() {
#ifdef WMAL_HAVE_AVX2_KERNELS
    static const bool available = __builtin_cpu_supports("avx2");
    return available && !g_portable_only;
#else
    return false;
#endif
}

} // namespace

void use_portable_lms_kernels(bool portable) {
    g_portable_only = portable;
}

bool vector_lms_kernels() {
    return use_avx2();
}

template <typename Hist>
void lms_cascade_encode(LmsFilter<Hist>* const* filters, int channels, int count,
                        int32_t* const* signals, int length, int speed, int bits_per_sample) {
#ifdef WMAL_HAVE_AVX2_KERNELS
    if (use_avx2()) {
        lms_cascade_encode_avx2(filters, channels, count, signals, length, speed, bits_per_sample);
        return;
    }
#endif
    lms_detail::encode_cascades<Hist, PortableOps>(filters, channels, count, signals, length, speed,
                                                   bits_per_sample);
}

template void lms_cascade_encode<int16_t>(LmsFilter<int16_t>* const*, int, int, int32_t* const*,
                                          int, int, int);
template void lms_cascade_encode<int32_t>(LmsFilter<int32_t>* const*, int, int, int32_t* const*,
                                          int, int, int);

} // namespace wmal
