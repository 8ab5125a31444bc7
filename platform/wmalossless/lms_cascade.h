// The per-sample loop of the LMS cascade, shared by the plain and the vector kernels: each
// kernel set instantiates it with its own dot-product operations.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "lms_filter.h"

namespace wmal::lms_detail {

// One filter's state while a run of samples goes through it, held in locals so that the
// compiler can keep it in registers rather than reload the filter's fields after every store
// through its pointers.
//
// Each kernel set keeps the history window in cells of its own kind (Ops::Cell<Hist>): the
// filter's own buffer, or a copy laid out for its arithmetic that open_window fills from the
// filter and close_window writes back.
template <typename Hist, typename Ops> struct FilterRun {
    int16_t* coefs;
    typename Ops::template Cell<Hist>* history;
    int16_t* updates;
    int order;
    int recent;
    int taps;
    int scaling;
    uint32_t rounding;
    uint32_t dot; // the sum for the next prediction
};

// One sample through one filter. The decoder predicts with the current coefficients, adapts
// them by the residue's sign using the update steps as they are, then pushes the new sample;
// adapting for this sample and predicting the next are done in one pass over the taps (`dot`
// carries that prediction's sum to the next call). The update steps are pushed only after
// that pass has read them. kOrder, when not 0, is the filter's order, known at compile time so
// that the pass over the taps unrolls.
template <typename Hist, typename Ops, int kOrder>
inline int32_t step(FilterRun<Hist, Ops>& f, int32_t input, int speed, int32_t range) {
    const int order = kOrder > 0 ? kOrder : f.order;
    const int taps =
        kOrder > 0 ? (kOrder + kLmsTapBlock - 1) / kLmsTapBlock * kLmsTapBlock : f.taps;
    const int32_t prediction = static_cast<int32_t>(f.rounding + f.dot) >> f.scaling;
    const int32_t residue =
        static_cast<int32_t>(static_cast<uint32_t>(input) - static_cast<uint32_t>(prediction));
    const int16_t* steps = f.updates + f.recent;

    const bool wrapped = f.recent == 0;
    if (wrapped) {
        Ops::template wrap<Hist>(f.history, order);
        f.recent = order - 1;
    } else {
        --f.recent;
    }
    // adapt_dot stores the clipped input as the newest history entry.
    f.dot = Ops::template adapt_dot < Hist,
    kOrder == 0 ? 0
                : (kOrder + kLmsTapBlock - 1) / kLmsTapBlock * kLmsTapBlock >
                      (f.coefs, steps, sign_of(residue), f.history + f.recent, taps,
                       input < -range ? -range : (input > range - 1 ? range - 1 : input));

    if (wrapped)
        std::memcpy(f.updates + order, f.updates, sizeof(int16_t) * order);
    int16_t* u = f.updates + f.recent;
    u[0] = static_cast<int16_t>(sign_of(input) * speed);
    u[order >> 4] >>= 2;
    u[order >> 3] >>= 1;
    // Everything past the window is zero; this entry just left it.
    u[order] = 0;
    return residue;
}

// One channel's samples through its cascade of `count` filters, in place. The orders
// kOrders, when not 0, fix the cascade's shape at compile time.
template <typename Hist, typename Ops, int... kOrders>
inline void encode_cascade(LmsFilter<Hist>* cascade, int count, int32_t* signal, int length,
                           int speed, int32_t range) {
    constexpr int kFixed = sizeof...(kOrders);
    const int n = kFixed > 0 ? kFixed : count;
    using Cell = typename Ops::template Cell<Hist>;
    FilterRun<Hist, Ops> runs[kMaxLmsFilters];
    alignas(32) Cell windows[Ops::template kWindowCells<Hist> * kMaxLmsFilters + 1];
    for (int f = 0; f < n; ++f) {
        LmsFilter<Hist>& filter = cascade[f];
        FilterRun<Hist, Ops>& r = runs[f];
        r.coefs = filter.coefs;
        r.history = Ops::template open_window<Hist>(
            filter, windows + static_cast<size_t>(f) * Ops::template kWindowCells<Hist>);
        r.updates = filter.updates;
        r.order = filter.order;
        r.recent = filter.recent;
        r.taps = round_up_taps(filter.order);
        r.scaling = filter.scaling;
        r.rounding = (uint32_t{1} << filter.scaling) >> 1;
        r.dot = Ops::template dot<Hist>(filter.coefs, r.history + filter.recent, r.taps);
    }
    // Sample by sample through the whole cascade: the processor overlaps the work of one
    // filter with the next.
    for (int i = 0; i < length; ++i) {
        int32_t v = signal[i];
        if constexpr (kFixed > 0) {
            int f = 0;
            ((v = step<Hist, Ops, kOrders>(runs[f++], v, speed, range)), ...);
        } else {
            for (int f = 0; f < n; ++f)
                v = step<Hist, Ops, 0>(runs[f], v, speed, range);
        }
        signal[i] = v;
    }
    for (int f = 0; f < n; ++f) {
        cascade[f].recent = runs[f].recent;
        Ops::template close_window<Hist>(cascade[f], runs[f].history);
    }
}

// Whether channel cascade `c` has exactly the orders given.
template <typename Hist>
bool has_orders(const LmsFilter<Hist>* c, int count, std::initializer_list<int> orders) {
    if (count != static_cast<int>(orders.size()))
        return false;
    int f = 0;
    for (int order : orders)
        if (c[f++].order != order)
            return false;
    return true;
}

template <typename Hist, typename Ops>
inline void encode_cascades(LmsFilter<Hist>* const* filters, int channels, int count,
                            int32_t* const* signals, int length, int speed, int bits_per_sample) {
    const int32_t range = int32_t{1} << (bits_per_sample - 1);
    for (int c = 0; c < channels; ++c) {
        LmsFilter<Hist>* cascade = filters[c];
        int32_t* signal = signals[c];
        // The shapes of the encoder's usual tools run with their orders fixed.
        if (has_orders(cascade, count, {128, 32, 16}))
            encode_cascade<Hist, Ops, 128, 32, 16>(cascade, count, signal, length, speed, range);
        else if (has_orders(cascade, count, {16}))
            encode_cascade<Hist, Ops, 16>(cascade, count, signal, length, speed, range);
        else if (has_orders(cascade, count, {16, 16, 16}))
            encode_cascade<Hist, Ops, 16, 16, 16>(cascade, count, signal, length, speed, range);
        else if (has_orders(cascade, count, {16, 64, 16, 16}))
            encode_cascade<Hist, Ops, 16, 64, 16, 16>(cascade, count, signal, length, speed, range);
        else if (has_orders(cascade, count, {16, 256, 16}))
            encode_cascade<Hist, Ops, 16, 256, 16>(cascade, count, signal, length, speed, range);
        else if (has_orders(cascade, count, {8, 8, 8, 16}))
            encode_cascade<Hist, Ops, 8, 8, 8, 16>(cascade, count, signal, length, speed, range);
        else if (has_orders(cascade, count, {8, 8}))
            encode_cascade<Hist, Ops, 8, 8>(cascade, count, signal, length, speed, range);
        else if (has_orders(cascade, count, {8, 8, 16}))
            encode_cascade<Hist, Ops, 8, 8, 16>(cascade, count, signal, length, speed, range);
        else
            encode_cascade<Hist, Ops>(cascade, count, signal, length, speed, range);
    }
}

} // namespace wmal::lms_detail
