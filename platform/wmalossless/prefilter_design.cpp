#include "prefilter_design.h"

#include <algorithm>
#include <cmath>

namespace wmal {

namespace {

// Largest coefficient: the decoder keeps the coefficients in 16 signed bits.
constexpr int kMaxAcCoef = 32767;
constexpr int kMaxAcScaling = 15;

// Sums of x[n] x[n-k] over all channels, k = first..last.
void autocorrelation(const int32_t* const* channels, int channel_count, int length, int first,
                     int last, double* r) {
    std::fill(r + first, r + last + 1, 0.0);
    for (int c = 0; c < channel_count; ++c) {
        const int32_t* x = channels[c];
        for (int k = first; k <= last; ++k) {
            double sum = 0;
            for (int n = k; n < length; ++n)
                sum += static_cast<double>(x[n]) * static_cast<double>(x[n - k]);
            r[k] += sum;
        }
    }
}

// Minimises the residual energy sum_ij c_i c_j r|i-j| - 2 sum_i c_i r(i+1) with every c_i in
// [0, 1], one coefficient at a time; the energy falls with every step. Stops when a sweep
// no longer moves any coefficient by a noticeable amount.
void fit_bounded(const double* r, int order, double* c) {
    constexpr int kSweeps = 400;
    constexpr double kSettled = 1e-7;
    std::fill(c, c + order, 0.0);
    const double diagonal = r[0] * (1 + 1e-9) + 1e-9;
    for (int sweep = 0; sweep < kSweeps; ++sweep) {
        double moved = 0;
        for (int i = 0; i < order; ++i) {
            double g = r[i + 1];
            for (int j = 0; j < order; ++j)
                if (j != i)
                    g -= r[std::abs(i - j)] * c[j];
            const double next = std::clamp(g / diagonal, 0.0, 1.0);
            moved = std::max(moved, std::abs(next - c[i]));
            c[i] = next;
        }
        if (moved < kSettled)
            break;
    }
}

// The largest |sum_j c_j x[n-1-j]| over the samples.
template <typename Coef>
double largest_sum(const int32_t* const* channels, int channel_count, int length, const Coef* c,
                   int order) {
    double largest = 0;
    for (int ch = 0; ch < channel_count; ++ch) {
        const int32_t* x = channels[ch];
        for (int n = order; n < length; ++n) {
            double sum = 0;
            for (int j = 0; j < order; ++j)
                sum += static_cast<double>(c[j]) * x[n - 1 - j];
            largest = std::max(largest, std::abs(sum));
        }
    }
    return largest;
}

// Residual energy of a filter with coefficients c_j * unit, from the autocorrelation.
template <typename Coef>
double energy_left(const double* r, const Coef* c, int order, double unit) {
    double e = r[0];
    for (int i = 0; i < order; ++i) {
        const double ci = c[i] * unit;
        e -= 2 * ci * r[i + 1];
        for (int j = 0; j < order; ++j)
            e += ci * c[j] * unit * r[std::abs(i - j)];
    }
    return e;
}

} // namespace

bool fit_prefilter(const int32_t* const* channels, int channel_count, int length, int max_order,
                   int headroom_bits, double least_gain, TileParams& p) {
    const int order = std::clamp(max_order, 1, kMaxAcOrder);
    if (length <= 2 * order)
        return false;
    double r[kMaxAcOrder + 1];
    autocorrelation(channels, channel_count, length, 0, 2, r);
    if (r[0] <= 0)
        return false;
    constexpr double a = 31.0 / 32;
    const double pre_emphasis_left = (1 + a * a) * r[0] - 2 * a * r[1];
    // Sound that even the best two-tap predictor, signs unrestricted, leaves about as loud
    // as the pre-emphasis does is no tone: the bounded fit cannot do much better there.
    const double det = r[0] * r[0] - r[1] * r[1];
    if (det > 0) {
        const double c1 = (r[1] * r[0] - r[2] * r[1]) / det;
        const double c2 = (r[2] * r[0] - r[1] * r[1]) / det;
        const double two_tap_left = r[0] - c1 * r[1] - c2 * r[2];
        if (two_tap_left * least_gain > pre_emphasis_left)
            return false;
    }
    if (order > 2)
        autocorrelation(channels, channel_count, length, 3, order, r);
    double c[kMaxAcOrder];
    fit_bounded(r, order, c);
    if (energy_left(r, c, order, 1.0) * least_gain > pre_emphasis_left)
        return false;
    // The finest scaling whose sums fit, first from the exact coefficients, then checked
    // with the rounded ones.
    const double limit = std::ldexp(1.0, 31 - headroom_bits) - 1;
    const double peak = largest_sum(channels, channel_count, length, c, order);
    int s = peak > 0
                ? std::min(kMaxAcScaling, static_cast<int>(std::floor(std::log2(limit / peak))))
                : kMaxAcScaling;
    for (; s >= 0; --s) {
        TileParams q = p;
        q.ac_scaling = s;
        q.ac_order = 0;
        const double one = std::ldexp(1.0, s);
        for (int j = 0; j < order; ++j) {
            // Every tap weighs at least one unit; the filter ends at its last weighty tap.
            q.ac_coefs[j] = std::clamp(static_cast<int>(std::lround(c[j] * one)), 1,
                                       std::min(kMaxAcCoef, 1 << s));
            if (c[j] * one >= 0.5)
                q.ac_order = j + 1;
        }
        if (q.ac_order == 0)
            return false;
        if (largest_sum(channels, channel_count, length, q.ac_coefs.data(), q.ac_order) > limit)
            continue;
        if (energy_left(r, q.ac_coefs.data(), q.ac_order, 1 / one) >= r[0])
            return false;
        p = q;
        return true;
    }
    return false;
}

void apply_prefilter(int32_t* x, int length, const TileParams& p, int32_t* history) {
    const int order = p.ac_order;
    int32_t before[kMaxAcOrder];
    for (int j = 0; j < order; ++j)
        before[j] = history[j];
    for (int j = order - 1; j >= 0; --j)
        history[j] = length <= j ? history[j - length] : x[length - 1 - j];
    auto filter = [&](int i, uint32_t pred) {
        x[i] =
            static_cast<int32_t>(static_cast<uint32_t>(x[i]) -
                                 static_cast<uint32_t>(static_cast<int32_t>(pred) >> p.ac_scaling));
    };
    // Samples whose taps all lie in this tile, then the first few, which reach back into
    // the history. One tap (the usual pre-emphasis) has a loop of its own that vectorises.
    if (order == 1) {
        const uint32_t c = static_cast<uint32_t>(p.ac_coefs[0]);
        for (int i = length - 1; i >= 1; --i)
            filter(i, static_cast<uint32_t>(x[i - 1]) * c);
    }
    for (int i = length - 1; i >= order && order > 1; --i) {
        uint32_t pred = 0;
        for (int j = 0; j < order; ++j)
            pred += static_cast<uint32_t>(x[i - 1 - j]) * static_cast<uint32_t>(p.ac_coefs[j]);
        filter(i, pred);
    }
    for (int i = std::min(order, length) - 1; i >= 0; --i) {
        uint32_t pred = 0;
        for (int j = 0; j < order; ++j) {
            const int back = i - 1 - j;
            const int32_t v = back >= 0 ? x[back] : before[-back - 1];
            pred += static_cast<uint32_t>(v) * static_cast<uint32_t>(p.ac_coefs[j]);
        }
        filter(i, pred);
    }
}

} // namespace wmal
