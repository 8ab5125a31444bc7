// The fitted pre-filter: what it gives the decoder must be a valid filter (coefficients the
// format carries, sums within the decoder's 32 bits), and it must be worth its place: far
// better than the fixed pre-emphasis on tones, refused on noise and silence.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "prefilter_design.h"
#include "test_signals.h"

namespace wmal_test {
namespace {

constexpr double kLeastGain = 8;

// Residual energy of the pre-filter as the decoder runs it (32-bit sums, shift without
// rounding), over the samples whose taps lie inside `x`.
double filtered_energy(const std::vector<int32_t>& x, int order, int scaling, const int* coefs) {
    double energy = 0;
    for (size_t n = static_cast<size_t>(order); n < x.size(); ++n) {
        uint32_t sum = 0;
        for (int j = 0; j < order; ++j)
            sum += static_cast<uint32_t>(x[n - 1 - static_cast<size_t>(j)]) *
                   static_cast<uint32_t>(coefs[j]);
        const double e = static_cast<double>(x[n]) - (static_cast<int32_t>(sum) >> scaling);
        energy += e * e;
    }
    return energy;
}

// Checks that `p` holds a filter the format carries and whose sums stay below
// 2^(31 - headroom) on `x`.
void expect_valid_filter(const wmal::TileParams& p, const std::vector<int32_t>& x, int headroom) {
    ASSERT_GE(p.ac_order, 1);
    ASSERT_LE(p.ac_order, wmal::kMaxAcOrder);
    ASSERT_GE(p.ac_scaling, 0);
    ASSERT_LE(p.ac_scaling, 15);
    for (int j = 0; j < p.ac_order; ++j) {
        EXPECT_GE(p.ac_coefs[j], 1);
        EXPECT_LE(p.ac_coefs[j], std::min(1 << p.ac_scaling, 32767));
    }
    int64_t largest = 0;
    for (size_t n = static_cast<size_t>(p.ac_order); n < x.size(); ++n) {
        int64_t sum = 0;
        for (int j = 0; j < p.ac_order; ++j)
            sum += int64_t{p.ac_coefs[j]} * x[n - 1 - static_cast<size_t>(j)];
        largest = std::max(largest, std::abs(sum));
    }
    EXPECT_LT(largest, int64_t{1} << (31 - headroom));
}

double pre_emphasis_energy(const std::vector<int32_t>& x) {
    const int coefs[1] = {31};
    return filtered_energy(x, 1, 5, coefs);
}

TEST(FittedPreFilter, RemovesMostOfAToneAtEveryDepthAndPitch) {
    for (int bits : {16, 24})
        for (double hz : {200.0, 3000.0, 9000.0, 17000.0}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, " << hz << " Hz");
            std::vector<int32_t> x(8192);
            Lcg dither(3);
            for (size_t n = 0; n < x.size(); ++n) {
                const double tpdf = (static_cast<double>(dither.next() >> 8) +
                                     static_cast<double>(dither.next() >> 8)) /
                                        (1 << 24) -
                                    1.0;
                x[n] = clamp_to(std::ldexp(0.9, bits - 1) *
                                        std::sin(2 * M_PI * hz * static_cast<double>(n) / 44100) +
                                    tpdf,
                                bits);
            }
            const int32_t* channels[1] = {x.data()};
            // Without a least gain: never worse than the pre-emphasis.
            wmal::TileParams p;
            ASSERT_TRUE(wmal::fit_prefilter(channels, 1, static_cast<int>(x.size()), 16, 1, 0, p));
            expect_valid_filter(p, x, 1);
            const double left = filtered_energy(x, p.ac_order, p.ac_scaling, p.ac_coefs.data());
            EXPECT_LE(left, pre_emphasis_energy(x) * 1.01);
            // Above the low notes, where the pre-emphasis does little, far better than it.
            // Low notes want a weight above 1 on the last sample and a negative one before
            // it; with weights between 0 and 1 no filter does much more than the
            // pre-emphasis there.
            wmal::TileParams gated;
            const bool fits = wmal::fit_prefilter(channels, 1, static_cast<int>(x.size()), 16, 1,
                                                  kLeastGain, gated);
            if (hz >= 3000) {
                EXPECT_TRUE(fits);
                EXPECT_LT(left * kLeastGain, pre_emphasis_energy(x));
            }
        }
}

TEST(FittedPreFilter, StaysWithinTheSumsAtFullScale) {
    // Full-scale square waves of 24 bits in two channels: the scaling must come down until
    // every sum fits, with the headroom asked for.
    std::vector<int32_t> left(6000), right(6000);
    for (size_t n = 0; n < left.size(); ++n) {
        left[n] = (n / 9) % 2 ? (1 << 23) - 1 : -(1 << 23);
        right[n] = (n / 14) % 2 ? -(1 << 23) : (1 << 23) - 1;
    }
    const int32_t* channels[2] = {left.data(), right.data()};
    for (int headroom : {0, 1, 3}) {
        wmal::TileParams p;
        if (wmal::fit_prefilter(channels, 2, static_cast<int>(left.size()), 16, headroom, 0, p)) {
            expect_valid_filter(p, left, headroom);
            expect_valid_filter(p, right, headroom);
        }
    }
}

TEST(FittedPreFilter, RefusesNoiseAndSilence) {
    const auto noise = white_noise(8192, 1, 24, 5);
    const std::vector<int32_t> silence(8192, 0);
    for (const auto* x : {&noise, &silence}) {
        const int32_t* channels[1] = {x->data()};
        wmal::TileParams p;
        p.ac_order = 1;
        p.ac_scaling = 5;
        p.ac_coefs[0] = 31;
        EXPECT_FALSE(
            wmal::fit_prefilter(channels, 1, static_cast<int>(x->size()), 16, 1, kLeastGain, p));
        // The tools it was given stay as they were.
        EXPECT_EQ(p.ac_order, 1);
        EXPECT_EQ(p.ac_scaling, 5);
        EXPECT_EQ(p.ac_coefs[0], 31);
    }
}

TEST(PreFilterRun, MatchesTheDecoderFormulaAcrossCallsAndWraps) {
    // out = x - (sum c_j x[n-1-j]) >> s in 32-bit arithmetic, the samples before the first
    // call being zero; two calls of uneven length must give what one long run gives.
    for (int bits : {16, 24}) {
        SCOPED_TRACE(bits);
        wmal::TileParams p;
        p.ac_order = 3;
        p.ac_scaling = 13;
        p.ac_coefs[0] = 8192; // 1.0
        p.ac_coefs[1] = 5000;
        p.ac_coefs[2] = 300;
        std::vector<int32_t> x = white_noise(1000, 1, bits, 9);
        for (size_t i = 100; i < 200; ++i)
            x[i] = (1 << (bits - 1)) - 1; // full scale: the 24-bit sums wrap
        std::vector<int32_t> expected(x.size());
        for (size_t n = 0; n < x.size(); ++n) {
            uint32_t sum = 0;
            for (int j = 0; j < p.ac_order; ++j)
                if (n >= static_cast<size_t>(j) + 1)
                    sum += static_cast<uint32_t>(x[n - 1 - static_cast<size_t>(j)]) *
                           static_cast<uint32_t>(p.ac_coefs[j]);
            expected[n] = static_cast<int32_t>(
                static_cast<uint32_t>(x[n]) -
                static_cast<uint32_t>(static_cast<int32_t>(sum) >> p.ac_scaling));
        }
        std::vector<int32_t> y = x;
        int32_t history[wmal::kMaxAcOrder] = {};
        wmal::apply_prefilter(y.data(), 2, p, history); // shorter than the order
        wmal::apply_prefilter(y.data() + 2, 371, p, history);
        wmal::apply_prefilter(y.data() + 373, static_cast<int>(y.size()) - 373, p, history);
        EXPECT_EQ(y, expected);
        EXPECT_EQ(history[0], x.back());
        EXPECT_EQ(history[2], x[x.size() - 3]);
    }
}

} // namespace
} // namespace wmal_test
