// The temporal mask: a block whose sound is even in time keeps its mask; one whose hit
// comes late, after near silence, gets its allowed noise lowered (to the limit); a decay,
// a dip and quiet that the pre-masking covers do not.
#include "temporal_mask.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

namespace {

using wma2::TemporalMask;

constexpr int kRate = 44100;
constexpr int kN = 2048; // coefficients: the window spans 4096 samples

// A 5 kHz tone (16-bit units) whose level follows `level(i)` for i in [0, 2N).
template <typename Level> std::vector<float> Shaped(Level level) {
    std::vector<float> x(2 * kN);
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = static_cast<float>(level(static_cast<int>(i)) * 10000.0 *
                                  std::sin(2 * std::numbers::pi * 5000.0 * i / kRate));
    }
    return x;
}

TEST(TemporalMask, EvenSoundKeepsItsMask) {
    TemporalMask mask(kRate, {});
    const auto steady = Shaped([](int) { return 1.0; });
    EXPECT_NEAR(mask.Factor(steady.data(), kN, kN, kN), 1.0F, 0.05F);
    const auto silent = Shaped([](int) { return 0.0; });
    EXPECT_NEAR(mask.Factor(silent.data(), kN, kN, kN), 1.0F, 1e-3F);
}

TEST(TemporalMask, HitAfterSilenceLowersTheMaskToTheLimit) {
    wma2::TemporalMaskTuning tuning;
    tuning.limit_db = 10.0F;
    TemporalMask mask(kRate, tuning);
    // Silence, then a hit three quarters into the window.
    const auto late = Shaped([](int i) { return i < 3 * kN / 2 ? 0.0 : 1.0; });
    EXPECT_NEAR(mask.Factor(late.data(), kN, kN, kN), 0.1F, 1e-3F);
    // A quiet start only a little under the mean is tolerated; further down, the mask
    // comes down by what exceeds the tolerance.
    tuning.tolerance_db = 6.0F;
    TemporalMask tolerant(kRate, tuning);
    const auto rise = Shaped([](int i) { return i < kN ? 0.5 : 1.0; });
    EXPECT_EQ(tolerant.Factor(rise.data(), kN, kN, kN), 1.0F);
    const auto steep = Shaped([](int i) { return i < kN ? 0.3 : 1.0; });
    const float factor = tolerant.Factor(steep.data(), kN, kN, kN);
    EXPECT_GT(factor, 0.4F);
    EXPECT_LT(factor, 0.9F);
    // A limit of 0 turns it off.
    tuning.limit_db = 0.0F;
    TemporalMask off(kRate, tuning);
    EXPECT_EQ(off.Factor(late.data(), kN, kN, kN), 1.0F);
}

TEST(TemporalMask, DecaysDipsAndPreMaskedQuietKeepTheMask) {
    TemporalMask mask(kRate, {});
    // A hit at the start decaying by 60 dB: the masking after the hit covers it.
    const auto decay = Shaped([](int i) { return std::pow(10.0, -3.0 * i / (2.0 * kN)); });
    EXPECT_NEAR(mask.Factor(decay.data(), kN, kN, kN), 1.0F, 0.05F);
    // A dip in the middle of the sound: covered by what came before it.
    const auto dip = Shaped([](int i) { return i >= kN - 256 && i < kN ? 0.1 : 1.0; });
    EXPECT_NEAR(mask.Factor(dip.data(), kN, kN, kN), 1.0F, 0.05F);
    // Where the window leaves the noise no weight, the quiet does not count either.
    const auto edge = Shaped([](int i) { return i < 256 ? 0.0 : 1.0; });
    EXPECT_GT(mask.Factor(edge.data(), kN, 256, kN), 0.9F);
    // With pre-masking that never fades, nothing before a hit counts.
    wma2::TemporalMaskTuning tuning;
    tuning.pre_db_per_ms = 0.0F;
    TemporalMask lasting(kRate, tuning);
    const auto late = Shaped([](int i) { return i < 3 * kN / 2 ? 0.0 : 1.0; });
    EXPECT_NEAR(lasting.Factor(late.data(), kN, kN, kN), 1.0F, 0.05F);
}

} // namespace
