// The frame coder's steps: counting a quantised frame changes nothing, the written frame
// is as long as counted, and filler lengthens a frame to its floor, even a frame with
// nothing to code.
#include "frame_coder.h"
#include "stream_params.h"
#include "test_signals.h"

#include <gtest/gtest.h>

namespace {

using namespace wma2;
using namespace wma2_test;

struct Frame {
    Planes audio;
    FrameRequest request;
};

// Three frames of a chord (16-bit units), cut into the given blocks.
Frame ChordFrame(const StreamParams& params, std::vector<int> blocks) {
    Frame frame;
    frame.audio = Chord(params.sample_rate, params.channels, 3.0 * params.frame_len / 44100.0);
    for (auto& channel : frame.audio) {
        for (float& sample : channel) {
            sample *= 32768.0F;
        }
    }
    for (int ch = 0; ch < params.channels; ++ch) {
        frame.request.signal[static_cast<std::size_t>(ch)] =
            frame.audio[static_cast<std::size_t>(ch)].data();
    }
    frame.request.blocks = std::move(blocks);
    frame.request.prev_k = frame.request.blocks.front();
    frame.request.next_k = frame.request.blocks.back();
    frame.request.explicit_sizes = true;
    return frame;
}

TEST(FrameCoder, CountingChangesNothingAndTheWrittenFrameIsAsLongAsCounted) {
    const StreamParams params = DeriveStreamParams(44100, 2, 128000);
    const EncoderTuning tuning;
    for (const auto& blocks : {std::vector<int>{0}, std::vector<int>{1, 2, 3, 3}}) {
        FrameCoder coder(params, tuning);
        const Frame frame = ChordFrame(params, blocks);
        coder.Analyse(frame.request, 0.0F);
        const std::uint64_t fine = coder.Bits(coder.Quantise(-6));
        const std::uint64_t coarse = coder.Bits(coder.Quantise(12));
        EXPECT_GT(fine, coarse);
        // The same offset again gives the same count, counted twice or quantised anew.
        EXPECT_EQ(coder.Bits(coder.Quantise(12)), coarse);
        EXPECT_EQ(coder.Bits(coder.Quantise(-6)), fine);
        BitWriter out;
        EXPECT_EQ(coder.Write(12, 1, 1000000, out), coarse);
        EXPECT_EQ(out.size(), coarse);
    }
}

TEST(FrameCoder, FillerReachesTheFloorEvenForSilence) {
    const StreamParams params = DeriveStreamParams(44100, 2, 64000);
    const EncoderTuning tuning;
    FrameCoder coder(params, tuning);
    Frame frame = ChordFrame(params, {0});
    for (auto& channel : frame.audio) {
        std::fill(channel.begin(), channel.end(), 0.0F);
    }
    coder.Analyse(frame.request, 0.0F);
    EXPECT_TRUE(coder.silent());
    const std::uint64_t bare = coder.Bits(coder.Quantise(0));
    for (const std::uint64_t floor : {std::uint64_t{3000}, std::uint64_t{40000}}) {
        BitWriter out;
        const std::uint64_t bits = coder.Write(0, floor, floor + 80, out);
        EXPECT_GT(floor, bare);
        EXPECT_GE(bits, floor);
        EXPECT_LE(bits, floor + 80);
        EXPECT_EQ(out.size(), bits);
    }
}

} // namespace
