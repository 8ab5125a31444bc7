#include "temporal_mask.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace wma2 {
namespace {

// The window's power at sample i of 2n, with slopes of `left` and `right` samples
// centred on n/2 and 3n/2.
double WindowPower(int i, int n, int left, int right) {
    if (i < n) {
        const int start = (n - left) / 2;
        if (i < start) {
            return 0.0;
        }
        if (i >= start + left) {
            return 1.0;
        }
        const double s = std::sin((i - start + 0.5) * std::numbers::pi / (2.0 * left));
        return s * s;
    }
    const int start = n + (n - right) / 2;
    if (i < start) {
        return 1.0;
    }
    if (i >= start + right) {
        return 0.0;
    }
    const double c = std::cos((i - start + 0.5) * std::numbers::pi / (2.0 * right));
    return c * c;
}

} // namespace

TemporalMask::TemporalMask(int sample_rate, TemporalMaskTuning tuning)
    : sample_rate_(sample_rate), tuning_(tuning),
      min_factor_(std::pow(10.0F, -tuning.limit_db / 10.0F)),
      tolerance_(std::pow(10.0F, tuning.tolerance_db / 10.0F)) {}

const std::vector<float>& TemporalMask::Weights(int n, int left, int right, int segment) {
    for (const Shape& shape : shapes_) {
        if (shape.n == n && shape.left == left && shape.right == right) {
            return shape.weights;
        }
    }
    Shape shape{n, left, right, {}};
    const int count = 2 * n / segment;
    for (int s = 0; s < count; ++s) {
        double power = 0;
        for (int i = s * segment; i < (s + 1) * segment; ++i) {
            power += WindowPower(i, n, left, right);
        }
        shape.weights.push_back(static_cast<float>(power / segment));
    }
    shapes_.push_back(std::move(shape));
    return shapes_.back().weights;
}

float TemporalMask::Factor(const float* signal, int n, int left, int right) {
    if (tuning_.limit_db <= 0.0F) {
        return 1.0F;
    }
    const int span = 2 * n;
    const int wanted = static_cast<int>(tuning_.segment_ms * 0.001F * sample_rate_);
    const int segment = std::max(16, std::min(wanted, span / 4));
    const int count = span / segment;
    const std::vector<float>& weight = Weights(n, left, right, segment);
    energy_.assign(static_cast<std::size_t>(count), 0.0F);
    for (int s = 0; s < count; ++s) {
        float sum = 0;
        const float* x = signal + s * segment;
        for (int i = 1; i < segment; ++i) {
            const float d = x[i] - x[i - 1];
            sum += d * d;
        }
        energy_[static_cast<std::size_t>(s)] = sum / static_cast<float>(segment) + 1e-3F;
    }
    // The level the noise is judged against: the mean under the window.
    double windowed = 0;
    double weights = 0;
    for (int s = 0; s < count; ++s) {
        windowed += static_cast<double>(weight[static_cast<std::size_t>(s)]) *
                    energy_[static_cast<std::size_t>(s)];
        weights += weight[static_cast<std::size_t>(s)];
    }
    const double mean = windowed / std::max(weights, 1e-9);
    // Masking over time: each segment's level, or what earlier (later) segments leave of
    // theirs after fading.
    const float segment_ms =
        1000.0F * static_cast<float>(segment) / static_cast<float>(sample_rate_);
    const float post = std::pow(10.0F, -tuning_.post_db_per_ms * segment_ms / 10.0F);
    const float pre = std::pow(10.0F, -tuning_.pre_db_per_ms * segment_ms / 10.0F);
    float carried = 0;
    for (float& e : energy_) {
        carried = std::max(e, carried * post);
        e = carried;
    }
    carried = 0;
    for (int s = count; s-- > 0;) {
        float& e = energy_[static_cast<std::size_t>(s)];
        carried = std::max(e, carried * pre);
        e = carried;
    }
    // The quietest stretch where the window gives the noise a real weight sets the factor,
    // beyond what the mask tolerates.
    float factor = 1.0F;
    for (int s = 0; s < count; ++s) {
        if (weight[static_cast<std::size_t>(s)] >= 0.25F) {
            factor = std::min(factor, static_cast<float>(energy_[static_cast<std::size_t>(s)] /
                                                         mean * tolerance_));
        }
    }
    return std::max(factor, min_factor_);
}

} // namespace wma2
