#include "mclms_filter.h"

#include <cstring>

#include "lms_filter.h"
#include "mclms_loop.h"

namespace wmal {

void McLmsFilter::clear(int new_order, int new_scaling, int new_channels) {
    order = new_order;
    scaling = new_scaling;
    channels = new_channels;
    std::memset(coefs, 0, sizeof coefs);
    std::memset(cross, 0, sizeof cross);
    std::memset(window, 0, sizeof window);
}

namespace {

// Plain C++; sums wrap mod 2^32, weights mod 2^16.
struct PortableOps {
    static uint32_t dot(const int32_t* history, const int16_t* weights, int count) {
        uint32_t sum = 0;
        for (int k = 0; k < count; ++k)
            sum += static_cast<uint32_t>(history[k]) * static_cast<uint32_t>(weights[k]);
        return sum;
    }
    static uint32_t dot16(const int16_t* history, const int16_t* weights, int count) {
        uint32_t sum = 0;
        for (int k = 0; k < count; ++k)
            sum += static_cast<uint32_t>(int32_t{history[k]} * int32_t{weights[k]});
        return sum;
    }
    static void adapt(int16_t* weights, const int16_t* steps, int count, bool up) {
        for (int k = 0; k < count; ++k)
            weights[k] = static_cast<int16_t>(up ? weights[k] + steps[k] : weights[k] - steps[k]);
    }
    // A channel's weights held for a tile, 16 of them, those past the stage's count zero.
    struct Held {
        int16_t w[16];
    };
    static Held hold(const int16_t* weights) {
        Held h;
        std::memcpy(h.w, weights, sizeof h.w);
        return h;
    }
    static void release(const Held& h, int16_t* weights) { std::memcpy(weights, h.w, sizeof h.w); }
    static uint32_t held_dot(const int16_t* history, const Held& h) {
        return dot16(history, h.w, 16);
    }
    static Held held_adapt(Held h, const int16_t* steps, int count, int direction) {
        for (int k = 0; k < count; ++k)
            h.w[k] = static_cast<int16_t>(h.w[k] + direction * steps[k]);
        return h;
    }
};

} // namespace

void McLmsFilter::encode(int32_t* const* signals, const bool* coded, int length,
                         int bits_per_sample, McLmsScratch& scratch) {
    if (vector_lms_kernels())
        mclms_encode_avx2(*this, signals, coded, length, bits_per_sample, scratch);
    else
        mclms_detail::mclms_encode<PortableOps>(*this, signals, coded, length, bits_per_sample,
                                                scratch);
}

} // namespace wmal
