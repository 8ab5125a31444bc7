// The pieces that let a frame be coded as a block coder would code it: the estimate of a
// fixed predictor's cost, the fit of the multichannel stage's starting weights, and the bit
// writer's patching of a field written earlier.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "bit_writer.h"
#include "fixed_estimate.h"
#include "mclms_design.h"
#include "test_signals.h"

namespace wmal_test {
namespace {

// `length` samples of `channels` channels, planar, from interleaved `pcm`.
std::vector<std::vector<int32_t>> planar(const std::vector<int32_t>& pcm, int channels) {
    const size_t length = pcm.size() / static_cast<size_t>(channels);
    std::vector<std::vector<int32_t>> out(static_cast<size_t>(channels),
                                          std::vector<int32_t>(length));
    for (size_t i = 0; i < length; ++i)
        for (int c = 0; c < channels; ++c)
            out[static_cast<size_t>(c)][i] =
                pcm[i * static_cast<size_t>(channels) + static_cast<size_t>(c)];
    return out;
}

struct Views {
    const int32_t* at[wmal::kMaxChannels] = {};
};

Views views_of(const std::vector<std::vector<int32_t>>& signals) {
    Views v;
    for (size_t c = 0; c < signals.size(); ++c)
        v.at[c] = signals[c].data();
    return v;
}

// A second-order resonance driven by noise of `bits` bits: a signal a fixed predictor of
// low order codes poorly and a fitted one well.
std::vector<int32_t> resonance(size_t length, int bits, uint32_t seed) {
    const std::vector<int32_t> drive = white_noise(length, 1, bits, seed);
    std::vector<int32_t> out(length);
    double y1 = 0, y2 = 0;
    for (size_t i = 0; i < length; ++i) {
        const double y = 1.6 * y1 - 0.9 * y2 + drive[i];
        out[i] = static_cast<int32_t>(std::lround(y));
        y2 = y1;
        y1 = y;
    }
    return out;
}

TEST(FixedEstimate, PicksTheOrderAndChannelFormThatSuitTheSound) {
    const size_t length = 4096;
    // White noise: the samples as they are (left/right or mid/side cost about the same).
    const auto noise = planar(white_noise(length, 2, 12, 1), 2);
    const wmal::FixedEstimate flat = wmal::estimate_fixed(views_of(noise).at, 2, length);
    EXPECT_EQ(flat.order, 0);
    // About 12 bits a sample, as Rice codes uniform 12-bit noise (never below the entropy).
    EXPECT_GT(flat.bits, 2u * length * 11);
    EXPECT_LT(flat.bits, 2u * length * 13);
    // A random walk: its first difference.
    std::vector<int32_t> walk(length);
    int32_t v = 0;
    const auto steps = white_noise(length, 1, 6, 2);
    for (size_t i = 0; i < length; ++i)
        walk[i] = v += steps[i];
    const int32_t* one[1] = {walk.data()};
    EXPECT_EQ(wmal::estimate_fixed(one, 1, length).order, 1);
    // Nearly identical channels: mid and side.
    auto close = noise;
    for (size_t i = 0; i < length; ++i)
        close[1][i] = close[0][i] + (noise[1][i] >> 10);
    EXPECT_TRUE(wmal::estimate_fixed(views_of(close).at, 2, length).mid_side);
}

// The residual energy of the multichannel stage with the weights `m`, as the stage sums
// (rounded, shifted by the scaling), over the samples whose history lies inside the signals.
double stage_residue_energy(const std::vector<std::vector<int32_t>>& x, const wmal::McLmsStart& m) {
    const int channels = static_cast<int>(x.size());
    double energy = 0;
    for (int c = 0; c < channels; ++c)
        for (size_t n = static_cast<size_t>(m.order); n < x[0].size(); ++n) {
            int64_t sum = 0;
            for (int j = 0; j < m.order; ++j)
                for (int d = 0; d < channels; ++d)
                    sum += int64_t{m.coefs[c][channels * j + d]} *
                           x[static_cast<size_t>(d)][n - 1 - static_cast<size_t>(j)];
            for (int d = 0; d < c; ++d)
                sum += int64_t{m.cross[c][d]} * x[static_cast<size_t>(d)][n];
            EXPECT_LT(std::llabs(sum), int64_t{1} << 31);
            const int64_t prediction = (sum + ((int64_t{1} << m.scaling) >> 1)) >> m.scaling;
            const double e = static_cast<double>(x[static_cast<size_t>(c)][n] - prediction);
            energy += e * e;
        }
    return energy;
}

TEST(FittedMultichannelStage, PredictsResonancesAndOneChannelFromAnother) {
    const size_t length = 4096;
    for (int bits : {8, 14}) {
        SCOPED_TRACE(bits);
        // Channel 0 resonates; channel 1 is channel 0 plus a little noise of its own.
        std::vector<std::vector<int32_t>> x(2);
        x[0] = resonance(length, bits, 3);
        const auto own = white_noise(length, 1, bits - 4, 4);
        x[1] = x[0];
        for (size_t i = 0; i < length; ++i)
            x[1][i] += own[i];
        wmal::McLmsStart m;
        ASSERT_TRUE(wmal::fit_mclms(views_of(x).at, 2, static_cast<int>(length), 12, 0, m));
        EXPECT_EQ(m.order, 12);
        EXPECT_GE(m.scaling, 8);
        // The drive's energy per sample of channel 0, that of the own noise of channel 1:
        // what the best predictor leaves.
        double least = 0;
        const auto drive = white_noise(length, 1, bits, 3);
        for (size_t i = 0; i < length; ++i)
            least +=
                static_cast<double>(drive[i]) * drive[i] + static_cast<double>(own[i]) * own[i];
        double raw = 0;
        for (const auto& channel : x)
            for (int32_t v : channel)
                raw += static_cast<double>(v) * v;
        const double left = stage_residue_energy(x, m);
        EXPECT_LT(left, raw / 20);
        EXPECT_LT(left, least * 1.2);
    }
}

TEST(FittedMultichannelStage, RefusesSilenceAndKeepsLoudSumsInRange) {
    const size_t length = 2048;
    std::vector<std::vector<int32_t>> silent(2, std::vector<int32_t>(length, 0));
    wmal::McLmsStart m;
    EXPECT_FALSE(wmal::fit_mclms(views_of(silent).at, 2, static_cast<int>(length), 8, 0, m));
    // A full-scale 24-bit resonance: the scaling gives way so that the sums fit 32 bits.
    std::vector<std::vector<int32_t>> loud(1);
    loud[0] = resonance(length, 21, 5);
    for (int32_t& v : loud[0])
        v = std::clamp(v, -(1 << 23), (1 << 23) - 1);
    if (wmal::fit_mclms(views_of(loud).at, 1, static_cast<int>(length), 8, 0, m))
        stage_residue_energy(loud, m); // checks every sum
}

TEST(BitWriterOverwrite, PatchesBitsAlreadyStoredAndStillPending) {
    // The same stream written straight and written with placeholders patched afterwards.
    wmal::BitWriter straight, patched;
    straight.reserve_bits(4096);
    patched.reserve_bits(4096);
    uint64_t positions[3] = {};
    const uint32_t values[3] = {0x5, 0x2A5, 0x1};
    const int widths[3] = {3, 11, 1};
    int field = 0;
    for (int i = 0; i < 300; ++i) {
        const uint32_t filler = static_cast<uint32_t>(i * 2654435761u) >> (i % 29);
        const int width = 1 + i % 23;
        straight.put(filler & ((1u << width) - 1), width);
        patched.put(filler & ((1u << width) - 1), width);
        // Fields at the start, in the middle and just before the end, the last still in the
        // writer's accumulator when patched.
        if (i == 0 || i == 150 || i == 299) {
            positions[field] = patched.bit_count();
            straight.put(values[field], widths[field]);
            patched.put(field % 2 ? 0 : (1u << widths[field]) - 1, widths[field]);
            ++field;
        }
    }
    for (int k = 0; k < 3; ++k)
        patched.overwrite(positions[k], values[k], widths[k]);
    ASSERT_EQ(straight.bit_count(), patched.bit_count());
    straight.finish();
    patched.finish();
    const size_t bytes = static_cast<size_t>((straight.bit_count() + 7) / 8);
    EXPECT_EQ(0, std::memcmp(straight.data(), patched.data(), bytes));
}

} // namespace
} // namespace wmal_test
