// The hearing model's low-frequency tilt: the masks below 15 Bark come down by the tuned
// amount per Bark, more the lower the band, and nothing changes above, nor at the rates
// that send bands as noise.
#include "hearing_model.h"
#include "stream_params.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

using namespace wma2;

constexpr double kFrom = 15.0; // Bark

double Bark(double hz) {
    return 7.0 * std::asinh(hz / 650.0);
}

TEST(HearingModel, LowTiltLowersTheMasksBelowFifteenBarkOnly) {
    const StreamParams params = DeriveStreamParams(44100, 2, 128000);
    const int n = params.frame_len;
    // Loud flat coefficients: every band masks itself alike, far above the threshold in quiet.
    std::vector<float> coefs(static_cast<std::size_t>(n));
    std::uint32_t seed = 3;
    for (float& c : coefs) {
        seed = seed * 1664525u + 1013904223u;
        c = 1.0e6F * (static_cast<float>(seed) / 4294967296.0F - 0.5F);
    }
    HearingModel flat(params, {});
    HearingModel tilted(params, {6.0F, 0.0F, 0.0F, 1.5F});
    BandMasking plain;
    BandMasking lowered;
    flat.Analyse(0, coefs.data(), params.coefs_end[0], plain);
    tilted.Analyse(0, coefs.data(), params.coefs_end[0], lowered);
    const auto& edges = params.band_edges[0];
    double previous = 0;
    for (int b = params.band_count(0) - 1; b >= 0; --b) {
        const double from = edges[static_cast<std::size_t>(b)] * 22050.0 / n;
        const double to = edges[static_cast<std::size_t>(b) + 1] * 22050.0 / n;
        const double drop = 10 * std::log10(plain.allowed[b] / lowered.allowed[b]);
        if (Bark(from) >= kFrom) {
            EXPECT_NEAR(drop, 0.0, 0.01) << from << " Hz";
        } else if (Bark(to) < kFrom && from >= 100.0) {
            // Within the band the tilt runs from (15 - z(to)) to (15 - z(from)) times 1.5 dB.
            EXPECT_GE(drop, 1.5 * (kFrom - Bark(to)) - 0.3) << from << " Hz";
            EXPECT_LE(drop, 1.5 * (kFrom - Bark(from)) + 0.3) << from << " Hz";
            EXPECT_GE(drop, previous - 0.01) << from << " Hz";
            previous = drop;
        }
    }
    EXPECT_GT(previous, 10.0); // the lowest band checked is far under 15 Bark

    // Where the high bands are sent as noise the masks keep their shape.
    const StreamParams noisy = DeriveStreamParams(44100, 2, 32000);
    ASSERT_TRUE(noisy.noise_coding);
    HearingModel noisy_flat(noisy, {});
    HearingModel noisy_tilted(noisy, {6.0F, 0.0F, 0.0F, 1.5F});
    noisy_flat.Analyse(0, coefs.data(), noisy.coefs_end[0], plain);
    noisy_tilted.Analyse(0, coefs.data(), noisy.coefs_end[0], lowered);
    for (int b = 0; b < noisy.band_count(0); ++b) {
        EXPECT_EQ(plain.allowed[b], lowered.allowed[b]) << b;
    }
}

} // namespace
