#include "tuning.h"

#include <algorithm>
#include <array>

namespace wma2 {
namespace {

// Coded bandwidth against bits per sample and channel (a second channel counts 0.6: mid/side
// makes it cheaper).
struct BandwidthPoint {
    double bits_per_sample;
    double hertz;
};
constexpr std::array<BandwidthPoint, 7> kBandwidth{{
    {0.30, 8000},
    {0.55, 11500},
    {0.70, 14000},
    {0.90, 15500},
    {1.10, 16500},
    {1.50, 18000},
    {2.20, 20000},
}};

} // namespace

float BandwidthFor(const StreamParams& params) {
    const double effective_channels = params.channels == 2 ? 1.6 : 1.0;
    const double bps =
        static_cast<double>(params.bit_rate) / (params.sample_rate * effective_channels);
    double hertz = kBandwidth.back().hertz;
    if (bps <= kBandwidth.front().bits_per_sample) {
        hertz = kBandwidth.front().hertz;
    } else {
        for (std::size_t i = 1; i < kBandwidth.size(); ++i) {
            if (bps <= kBandwidth[i].bits_per_sample) {
                const auto& a = kBandwidth[i - 1];
                const auto& b = kBandwidth[i];
                const double t =
                    (bps - a.bits_per_sample) / (b.bits_per_sample - a.bits_per_sample);
                hertz = a.hertz + t * (b.hertz - a.hertz);
                break;
            }
        }
    }
    if (params.noise_coding) {
        // Above the noise-coding start the high bands are noise or nothing.
        hertz = std::min(hertz, static_cast<double>(params.high_band_start[0]) *
                                    params.sample_rate / (2.0 * params.frame_len));
    }
    return static_cast<float>(std::min(hertz, 0.5 * params.sample_rate));
}

} // namespace wma2
