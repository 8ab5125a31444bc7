#include "mclms_design.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace wmal {

namespace {

constexpr int kMaxScaling = 15;
constexpr int kMaxUnknowns = kMaxChannels * kMaxMclmsOrder + kMaxChannels;

// The signals under a Tukey window (flat middle, cosine tapers over a quarter at each end), so
// that the autocorrelation method sees no edges.
std::vector<double> windowed(const int32_t* const* channels, int channel_count, int length) {
    std::vector<double> out(static_cast<size_t>(channel_count) * static_cast<size_t>(length));
    const int taper = std::max(1, length / 4);
    // The taper's weights, worked out once per length (per thread: encoders may run in several).
    thread_local std::vector<double> weights;
    if (static_cast<int>(weights.size()) != taper) {
        weights.resize(static_cast<size_t>(taper));
        for (int e = 0; e < taper; ++e)
            weights[static_cast<size_t>(e)] = 0.5 - 0.5 * std::cos(M_PI * (e + 0.5) / taper);
    }
    for (int n = 0; n < length; ++n) {
        const int edge = std::min(n, length - 1 - n);
        const double w = edge >= taper ? 1.0 : weights[static_cast<size_t>(edge)];
        for (int c = 0; c < channel_count; ++c)
            out[static_cast<size_t>(c) * static_cast<size_t>(length) + static_cast<size_t>(n)] =
                w * channels[c][n];
    }
    return out;
}

// Solves a x = b for a symmetric positive definite `a` (n x n, row-major) by Cholesky, in place.
// Returns false when `a` is not positive definite.
bool solve(double* a, double* b, int n) {
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j <= i; ++j) {
            double s = a[i * n + j];
            for (int k = 0; k < j; ++k)
                s -= a[i * n + k] * a[j * n + k];
            if (i == j) {
                if (s <= 0)
                    return false;
                a[i * n + i] = std::sqrt(s);
            } else {
                a[i * n + j] = s / a[j * n + j];
            }
        }
    }
    for (int i = 0; i < n; ++i) {
        double s = b[i];
        for (int k = 0; k < i; ++k)
            s -= a[i * n + k] * b[k];
        b[i] = s / a[i * n + i];
    }
    for (int i = n - 1; i >= 0; --i) {
        double s = b[i];
        for (int k = i + 1; k < n; ++k)
            s -= a[k * n + i] * b[k];
        b[i] = s / a[i * n + i];
    }
    return true;
}

// The largest |sum| the stage forms with weights `m` on every `stride`-th of these samples,
// once its history is full. (Before, the history of a seekable tile starts at zero and the
// first few sums mean little whatever their size.)
int64_t largest_sum(const int32_t* const* channels, int channel_count, int length,
                    const McLmsStart& m, int stride) {
    int64_t largest = 0;
    for (int c = 0; c < channel_count; ++c) {
        for (int n = m.order; n < length; n += stride) {
            int64_t sum = 0;
            for (int j = 0; j < m.order; ++j)
                for (int d = 0; d < channel_count; ++d)
                    sum += int64_t{m.coefs[c][channel_count * j + d]} * channels[d][n - 1 - j];
            for (int d = 0; d < c; ++d)
                sum += int64_t{m.cross[c][d]} * channels[d][n];
            largest = std::max(largest, sum < 0 ? -sum : sum);
        }
    }
    return largest;
}

} // namespace

double predictor_bits(const int32_t* const* channels, int channel_count, int length, int order) {
    double bits = 0;
    order = std::clamp(order, 1, kMaxMclmsOrder);
    std::vector<double> x(static_cast<size_t>(length));
    for (int c = 0; c < channel_count; ++c) {
        for (int n = 0; n < length; ++n)
            x[static_cast<size_t>(n)] = channels[c][n];
        double r[kMaxMclmsOrder + 1] = {};
        for (int k = 0; k <= order; ++k) {
            double s = 0;
            for (int n = k; n < length; ++n)
                s += x[static_cast<size_t>(n)] * x[static_cast<size_t>(n - k)];
            r[k] = s;
        }
        // Levinson-Durbin: the error energy of the best predictor of each order in turn.
        double error = r[0] * (1 + 1e-9) + 1e-9;
        double a[kMaxMclmsOrder + 1] = {};
        for (int i = 1; i <= order && error > 0; ++i) {
            double k = r[i];
            for (int j = 1; j < i; ++j)
                k -= a[j] * r[i - j];
            k /= error;
            double next[kMaxMclmsOrder + 1];
            for (int j = 1; j < i; ++j)
                next[j] = a[j] - k * a[i - j];
            next[i] = k;
            std::copy(next + 1, next + i + 1, a + 1);
            error *= 1 - k * k;
        }
        // A Gaussian residue of variance v costs log2(v * 2 pi e) / 2 bits a sample; Rice
        // codes need at least one.
        const double variance = std::max(error / length, 1e-9);
        bits += length * std::max(1.0, 0.5 * std::log2(variance * 17.08));
    }
    return bits;
}

bool fit_mclms(const int32_t* const* channels, int channel_count, int length, int order,
               int headroom_bits, McLmsStart& out) {
    const int C = channel_count;
    const int K = order;
    if (C < 1 || C > kMaxChannels || K < 2 || K > kMaxMclmsOrder || length <= 4 * K)
        return false;
    const std::vector<double> y = windowed(channels, C, length);
    auto at = [&](int d) {
        return y.data() + static_cast<size_t>(d) * static_cast<size_t>(length);
    };
    // r[(d * C + e) * (K + 1) + m] = sum_n y_d[n] y_e[n + m].
    std::vector<double> r(static_cast<size_t>(C * C * (K + 1)));
    for (int d = 0; d < C; ++d)
        for (int e = 0; e < C; ++e)
            for (int m = 0; m <= K; ++m) {
                const double* yd = at(d);
                const double* ye = at(e) + m;
                double s = 0;
                for (int n = 0; n < length - m; ++n)
                    s += yd[n] * ye[n];
                r[static_cast<size_t>((d * C + e) * (K + 1) + m)] = s;
            }
    // E[y_d[n - k] y_e[n - l]] = r_de(k - l), with r_de(-m) = r_ed(m).
    auto corr = [&](int d, int k, int e, int l) {
        const int m = k - l;
        return m >= 0 ? r[static_cast<size_t>((d * C + e) * (K + 1) + m)]
                      : r[static_cast<size_t>((e * C + d) * (K + 1) - m)];
    };
    double energy = 0;
    for (int d = 0; d < C; ++d)
        energy += r[static_cast<size_t>((d * C + d) * (K + 1))];
    if (energy <= 0)
        return false;

    // Unknowns of channel c: the weight of channel d, k = 1..K samples ago, at (k - 1) * C + d
    // (the stage's layout), then those of the current samples of channels 0..c-1.
    double weights[kMaxChannels][kMaxUnknowns] = {};
    std::vector<double> a(static_cast<size_t>(kMaxUnknowns * kMaxUnknowns));
    double largest = 0;
    for (int c = 0; c < C; ++c) {
        const int n = C * K + c;
        auto source = [&](int p, int& d, int& k) {
            if (p < C * K) {
                d = p % C;
                k = p / C + 1;
            } else {
                d = p - C * K;
                k = 0;
            }
        };
        double* b = weights[c];
        for (int p = 0; p < n; ++p) {
            int d = 0, k = 0;
            source(p, d, k);
            b[p] = corr(d, k, c, 0);
            for (int q = 0; q <= p; ++q) {
                int e = 0, l = 0;
                source(q, e, l);
                a[static_cast<size_t>(p * n + q)] = a[static_cast<size_t>(q * n + p)] =
                    corr(d, k, e, l);
            }
            // A little damping keeps the weights tame where the sound leaves them undecided.
            a[static_cast<size_t>(p * n + p)] *= 1 + 1e-6;
            a[static_cast<size_t>(p * n + p)] += 1e-9 * energy / length;
        }
        if (!solve(a.data(), b, n))
            return false;
        for (int p = 0; p < n; ++p)
            largest = std::max(largest, std::abs(b[p]));
    }

    int scaling = kMaxScaling;
    while (scaling > 0 && largest * std::ldexp(1.0, scaling) > 32767)
        --scaling;
    const int64_t limit = int64_t{1} << (31 - headroom_bits);
    for (; scaling >= 0; --scaling) {
        out = McLmsStart{};
        out.order = K;
        out.scaling = scaling;
        const double one = std::ldexp(1.0, scaling);
        for (int c = 0; c < C; ++c) {
            for (int p = 0; p < C * K; ++p)
                out.coefs[c][p] = static_cast<int16_t>(
                    std::clamp(std::lround(weights[c][p] * one), -32768L, 32767L));
            for (int d = 0; d < c; ++d)
                out.cross[c][d] = static_cast<int16_t>(
                    std::clamp(std::lround(weights[c][C * K + d] * one), -32768L, 32767L));
        }
        // Checked on every fourth sample, with an eighth to spare for those in between: a sum
        // that wraps costs bits, not correctness, and the encoder's trial counts them.
        if (largest_sum(channels, C, length, out, 4) < limit - limit / 8)
            return true;
    }
    return false;
}

} // namespace wmal
