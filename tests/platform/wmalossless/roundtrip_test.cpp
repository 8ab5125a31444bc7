// Every stream the encoder writes must decode with libavcodec's decoder to exactly the PCM
// that went in: same samples, same count.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "libav_decode.h"
#include "test_signals.h"
#include "wmal_encoder.h"

namespace wmal_test {
namespace {

wmal::EncoderSettings settings_for(int rate, int channels, int bits) {
    wmal::EncoderSettings s;
    s.sample_rate = rate;
    s.channels = channels;
    s.bits_per_sample = bits;
    return s;
}

// Index of the first differing sample, or -1.
long first_mismatch(const std::vector<int32_t>& a, const std::vector<int32_t>& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i])
            return static_cast<long>(i);
    return a.size() == b.size() ? -1 : static_cast<long>(n);
}

size_t total_bytes(const EncodedStream& stream) {
    size_t n = 0;
    for (const auto& p : stream.packets)
        n += p.size();
    return n;
}

void expect_exact(const std::vector<int32_t>& pcm, const wmal::EncoderSettings& s,
                  const EncodedStream& stream) {
    const DecodedStream decoded =
        decode_packets(stream, s.sample_rate, s.channels, s.bits_per_sample);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.problems, 0) << decoded.first_problem;
    EXPECT_EQ(decoded.samples.size(), pcm.size());
    EXPECT_EQ(first_mismatch(decoded.samples, pcm), -1);
}

void expect_roundtrip(const std::vector<int32_t>& pcm, const wmal::EncoderSettings& s,
                      size_t chunk = 1000) {
    expect_exact(pcm, s, encode_pcm(pcm, s, chunk));
}

using Format = std::tuple<int, int, int>; // rate, channels, bits

class FormatRoundTrip : public ::testing::TestWithParam<Format> {};

TEST_P(FormatRoundTrip, TonalSignalIsBitExact) {
    const auto [rate, channels, bits] = GetParam();
    const auto s = settings_for(rate, channels, bits);
    // Long enough for several seekable points and a partial last frame.
    const size_t frames = static_cast<size_t>(rate) * 5 / 2 + 321;
    const auto pcm = tonal(frames, channels, bits, rate, 1);
    const EncodedStream stream = encode_pcm(pcm, s, 777);
    expect_exact(pcm, s, stream);
    // Prediction must pay off on a predictable signal (sizes count whole packets).
    const size_t pcm_bytes = pcm.size() * static_cast<size_t>(bits / 8);
    EXPECT_LT(total_bytes(stream), pcm_bytes * 3 / 4 + static_cast<size_t>(stream.packet_size));
}

TEST_P(FormatRoundTrip, FullScaleNoiseFallsBackToRawPcm) {
    const auto [rate, channels, bits] = GetParam();
    const auto s = settings_for(rate, channels, bits);
    const size_t frames = static_cast<size_t>(rate) / 2 + 77;
    const auto pcm = white_noise(frames, channels, bits, 3);
    const EncodedStream stream = encode_pcm(pcm, s);
    expect_exact(pcm, s, stream);
    // Raw tiles cost next to nothing over PCM; allow for the final padding packet.
    const size_t pcm_bytes = pcm.size() * static_cast<size_t>(bits / 8);
    EXPECT_LT(total_bytes(stream),
              pcm_bytes * 1005 / 1000 + 2 * static_cast<size_t>(stream.packet_size));
}

TEST_P(FormatRoundTrip, DigitalSilenceIsTiny) {
    const auto [rate, channels, bits] = GetParam();
    const auto s = settings_for(rate, channels, bits);
    const std::vector<int32_t> pcm(static_cast<size_t>(rate) * 3 * static_cast<size_t>(channels),
                                   0);
    const EncodedStream stream = encode_pcm(pcm, s);
    expect_exact(pcm, s, stream);
    EXPECT_LE(stream.packets.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, FormatRoundTrip,
                         ::testing::Combine(::testing::Values(44100, 48000, 96000),
                                            ::testing::Values(1, 2, 6), ::testing::Values(16, 24)),
                         [](const ::testing::TestParamInfo<Format>& info) {
                             return std::to_string(std::get<0>(info.param)) + "Hz_" +
                                    std::to_string(std::get<1>(info.param)) + "ch_" +
                                    std::to_string(std::get<2>(info.param)) + "bit";
                         });

TEST(RoundTrip, EveryLengthAroundFrameBoundaries) {
    const auto s = settings_for(44100, 2, 16);
    wmal::Encoder probe;
    ASSERT_EQ(probe.configure(s, [](const wmal::Packet&) { return true; }), wmal::Status::ok);
    const size_t spf = static_cast<size_t>(probe.frame_size());
    for (size_t frames : {size_t{1}, size_t{2}, size_t{7}, size_t{333}, spf - 1, spf, spf + 1,
                          2 * spf - 1, 3 * spf + 17, 10 * spf + 999}) {
        SCOPED_TRACE(frames);
        expect_roundtrip(tonal(frames, 2, 16, 44100, static_cast<uint32_t>(frames)), s, 555);
    }
}

TEST(RoundTrip, EmptyStreamWritesNothing) {
    const auto s = settings_for(44100, 2, 16);
    const EncodedStream stream = encode_pcm({}, s);
    EXPECT_TRUE(stream.packets.empty());
    const DecodedStream decoded = decode_packets(stream, 44100, 2, 16);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_TRUE(decoded.samples.empty());
}

TEST(RoundTrip, IdenticalChannelsCostLittleMoreThanOne) {
    const size_t frames = 44100 * 3;
    const auto stereo = settings_for(44100, 2, 16);
    const auto pcm = identical_channels(frames, 2, 16, 44100);
    const EncodedStream both = encode_pcm(pcm, stereo);
    expect_exact(pcm, stereo, both);

    const auto mono_settings = settings_for(44100, 1, 16);
    const auto mono = identical_channels(frames, 1, 16, 44100);
    const EncodedStream one = encode_pcm(mono, mono_settings);
    expect_exact(mono, mono_settings, one);
    EXPECT_LT(total_bytes(both),
              total_bytes(one) * 11 / 10 + 2 * static_cast<size_t>(both.packet_size));
}

TEST(RoundTrip, SixIdenticalChannelsAndSilentChannels) {
    // Silent channels next to busy ones are coded as "not coded" and must stay silent.
    const size_t frames = 48000 * 2 + 5;
    auto pcm = tonal(frames, 6, 16, 48000, 9);
    for (size_t i = 0; i < frames; ++i)
        pcm[i * 6 + 3] = 0;
    expect_roundtrip(pcm, settings_for(48000, 6, 16));
    expect_roundtrip(identical_channels(frames, 6, 24, 48000), settings_for(48000, 6, 24));
}

TEST(RoundTrip, SignalThatStartsAndStopsInsideFrames) {
    // Bursts of noise and tone between silence switch between raw, coded and uncoded tiles.
    const size_t frames = 44100 * 4;
    const auto tone = tonal(frames, 2, 16, 44100, 5);
    const auto noise = white_noise(frames, 2, 16, 6);
    std::vector<int32_t> pcm(frames * 2, 0);
    for (size_t i = 0; i < frames; ++i) {
        const size_t block = i / 3000;
        for (size_t c = 0; c < 2; ++c) {
            int32_t v = 0;
            if (block % 3 == 0)
                v = tone[i * 2 + c];
            else if (block % 3 == 1 && block % 2 == 0)
                v = noise[i * 2 + c];
            pcm[i * 2 + c] = v;
        }
    }
    expect_roundtrip(pcm, settings_for(44100, 2, 16));
}

TEST(RoundTrip, SixteenBitAudioInATwentyFourBitStream) {
    // The eight zero bits at the bottom must cost nothing: about the size of a 16-bit stream.
    const size_t frames = 44100 * 4 + 3;
    const auto pcm16 = tonal(frames, 2, 16, 44100, 12);
    std::vector<int32_t> pcm24(pcm16.size());
    for (size_t i = 0; i < pcm16.size(); ++i)
        pcm24[i] = pcm16[i] * 256;
    // A stretch of silence in the middle must not upset the scale either.
    std::fill(pcm24.begin() + 2 * 44100, pcm24.begin() + 2 * 60000, 0);
    const EncodedStream as24 = encode_pcm(pcm24, settings_for(44100, 2, 24));
    expect_exact(pcm24, settings_for(44100, 2, 24), as24);
    const EncodedStream as16 = encode_pcm(pcm16, settings_for(44100, 2, 16));
    EXPECT_LE(total_bytes(as24),
              total_bytes(as16) * 11 / 10 + static_cast<size_t>(as24.packet_size));
}

TEST(RoundTrip, ExtremeSampleValues) {
    // Alternating full-scale extremes stress the wrap-around and clipping of the predictors.
    for (int bits : {16, 24}) {
        const int32_t hi = (1 << (bits - 1)) - 1;
        const int32_t lo = -(1 << (bits - 1));
        std::vector<int32_t> pcm;
        for (size_t i = 0; i < 44100 * 2; ++i) {
            const bool flip = (i / 37) % 2 == 0;
            pcm.push_back(flip ? hi : lo);
            pcm.push_back((i % 5) < 2 ? lo : hi);
        }
        SCOPED_TRACE(bits);
        expect_roundtrip(pcm, settings_for(44100, 2, bits));
    }
}

TEST(RoundTrip, FramesSpanningSeveralPackets) {
    // Small packets make frames run over two and three packets, with raw and coded frames.
    for (int packet_size : {2048, 2111, 2500, 3001, 4096}) {
        SCOPED_TRACE(packet_size);
        auto s = settings_for(44100, 2, 16);
        s.packet_size = packet_size;
        const size_t frames = 44100 * 2 + 3;
        expect_roundtrip(white_noise(frames, 2, 16, static_cast<uint32_t>(packet_size)), s);
        expect_roundtrip(tonal(frames, 2, 16, 44100, 2), s);
    }
}

TEST(RoundTrip, SmallestPacketsAtLowRate) {
    auto s = settings_for(8000, 1, 16);
    s.packet_size = 300;
    expect_roundtrip(white_noise(8000 * 2 + 1, 1, 16, 4), s);
    expect_roundtrip(tonal(8000 * 2 + 1, 1, 16, 8000, 4), s);
}

} // namespace
} // namespace wmal_test
