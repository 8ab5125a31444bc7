// The stereo mode per block: a voice panned near the middle over a faint, different room in
// each channel is coded as sum and difference; two unrelated sounds, one per side, are coded
// as left and right.
#include "frame_coder.h"
#include "stream_params.h"
#include "test_signals.h"

#include <gtest/gtest.h>

#include <numbers>

namespace {

using namespace wma2;
using namespace wma2_test;

// A voiced sound: 30 harmonics of a 140 Hz pitch falling off at 6 dB per octave.
std::vector<float> Voice(int rate, std::size_t length) {
    std::vector<float> voice(length);
    for (std::size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / rate;
        double value = 0;
        for (int h = 1; h <= 30; ++h) {
            value += std::sin(2 * std::numbers::pi * 140.0 * h * t + 0.7 * h) / h;
        }
        voice[i] = static_cast<float>(0.2 * value);
    }
    return voice;
}

// The share of a frame's blocks coded as mid/side, three frames of `audio` (+-1) coded at
// 128 kb/s with the default tuning.
double MidSideShare(Planes audio) {
    const StreamParams params = DeriveStreamParams(44100, 2, 128000);
    const EncoderTuning tuning;
    FrameCoder coder(params, tuning);
    FrameRequest request;
    for (int ch = 0; ch < 2; ++ch) {
        for (float& sample : audio[static_cast<std::size_t>(ch)]) {
            sample *= 32768.0F;
        }
        request.signal[static_cast<std::size_t>(ch)] = audio[static_cast<std::size_t>(ch)].data();
    }
    int mid_side = 0;
    int blocks = 0;
    for (const auto& cut :
         {std::vector<int>{0}, std::vector<int>{1, 1}, std::vector<int>{2, 3, 3, 1}}) {
        request.blocks = cut;
        request.prev_k = cut.front();
        request.next_k = cut.back();
        coder.Analyse(request, 0.0F);
        for (const BlockAnalysis& block : coder.blocks()) {
            mid_side += block.mid_side ? 1 : 0;
            ++blocks;
        }
    }
    return static_cast<double>(mid_side) / blocks;
}

TEST(StereoChoice, PannedVoiceInARoomIsMidSideUnrelatedSidesAreLeftRight) {
    const auto length = static_cast<std::size_t>(3 * 2048);
    const std::vector<float> voice = Voice(44100, length);
    // The room: independent noise in each channel, 26 dB under the voice.
    const Planes room = Noise(44100, 2, static_cast<double>(length) / 44100, 0.02, 7);
    Planes panned = Silence(2, length);
    for (std::size_t i = 0; i < length; ++i) {
        panned[0][i] = 0.65F * voice[i];
        panned[1][i] = 0.35F * voice[i];
    }
    EXPECT_EQ(MidSideShare(Add(panned, room)), 1.0);

    // A voice on the left, a chord on the right.
    Planes apart = Silence(2, length);
    const Planes chord = Chord(44100, 1, static_cast<double>(length) / 44100, 0.5);
    apart[0] = voice;
    apart[1] = chord[0];
    EXPECT_EQ(MidSideShare(apart), 0.0);
}

} // namespace
