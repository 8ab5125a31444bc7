// Block switching on voices: a steady voiced sound, pitch pulses and all, keeps whole-frame
// blocks; the same voice starting out of silence inside a frame gets short blocks there.
#include "block_switching.h"
#include "stream_params.h"
#include "tuning.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

using namespace wma2;

// Glottal pulses at a 110 Hz pitch through two formants (700 and 1,200 Hz): sharp once a
// period, as voiced speech is. 16-bit units, both channels alike.
std::vector<float> Voiced(std::size_t length, std::size_t onset) {
    std::vector<float> out(length, 0.0F);
    const double rate = 44100;
    const double period = rate / 110.0;
    for (std::size_t i = onset; i < length; ++i) {
        const double since = std::fmod(static_cast<double>(i - onset), period) / rate;
        const double decay = std::exp(-since * 400.0);
        out[i] = static_cast<float>(8000.0 * decay *
                                    (std::sin(2 * std::numbers::pi * 700.0 * since) +
                                     0.6 * std::sin(2 * std::numbers::pi * 1200.0 * since)));
    }
    return out;
}

std::vector<int> Plan(const std::vector<float>& signal) {
    const StreamParams params = DeriveStreamParams(44100, 2, 128000);
    BlockPlanner planner(params, EncoderTuning{});
    std::vector<int> blocks;
    planner.Plan({signal.data(), signal.data()}, 0.0F, blocks);
    return blocks;
}

TEST(BlockSwitching, SteadyVoiceKeepsLongBlocksAnOnsetGetsShortOnes) {
    const std::size_t frame = 2048;
    EXPECT_EQ(Plan(Voiced(3 * frame, 0)), std::vector<int>{0});
    // The voice starts in the middle of the frame's blocks (F/2 into the analysed samples).
    const std::vector<int> onset = Plan(Voiced(3 * frame, frame / 2 + frame / 2 + 300));
    ASSERT_GT(onset.size(), 1u);
    int smallest = 0;
    int total = 0;
    for (const int k : onset) {
        smallest = std::max(smallest, k);
        total += static_cast<int>(frame) >> k;
    }
    EXPECT_EQ(total, static_cast<int>(frame));
    EXPECT_GE(smallest, 3); // 256 samples or less around the start
}

} // namespace
