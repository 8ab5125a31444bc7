// Any signal at any profile: hard signals (full-scale squares, periods that divide the
// frame, impulses, full-scale noise, silence gaps, DC, silence) at every built-in profile
// and at the smallest, the profile's and the largest packet size the encoder accepts. Each
// encodes without failing, decodes through libavcodec with nothing logged, covers exactly
// its length and keeps the declared bit rate.
#include "stream_round_trip.h"
#include "test_signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

namespace {

using namespace wma2_test;

struct Profile {
    int rate;
    int channels;
    int bit_rate;
    int packet_bytes; // the profile's own block alignment; 0 lets the encoder choose
};

// The built-in profiles, 32 to 192 kb/s, with their block alignments.
constexpr Profile kBuiltIn[] = {
    {44100, 2, 31984, 1485},  {44100, 2, 48024, 2230},  {44100, 2, 64024, 2973},
    {44100, 2, 80024, 3716},  {44100, 2, 96024, 4459},  {44100, 2, 128016, 5945},
    {44100, 2, 160016, 7431}, {44100, 2, 192016, 8917},
};
// Other rates and channel counts, where frames, block sizes and noise coding differ.
constexpr Profile kOthers[] = {
    {48000, 1, 96000, 0}, {22050, 2, 32000, 0}, {16000, 1, 16000, 0}, {8000, 1, 8000, 0}};

struct Signal {
    const char* name;
    double seconds; // lengths differ so that tracks end at different points of a frame
    std::function<float(int channel, std::size_t i, int rate)> sample;
};

float Square(double phase) {
    return phase - std::floor(phase) < 0.5 ? 1.0F : -1.0F;
}

std::uint32_t Hash(std::uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    return static_cast<std::uint32_t>(x);
}

float WhiteNoise(int channel, std::size_t i) {
    return static_cast<float>(Hash(i * 2 + static_cast<std::size_t>(channel)) / 2147483648.0 - 1.0);
}

const std::vector<Signal>& Signals() {
    static const std::vector<Signal> signals = {
        {"square 441 Hz", 3.0,
         [](int, std::size_t i, int rate) {
             return Square(441.0 * static_cast<double>(i) / rate);
         }},
        {"square 220.5 Hz", 2.6,
         [](int ch, std::size_t i, int rate) {
             return Square(220.5 * static_cast<double>(i) / rate + 0.25 * ch);
         }},
        {"square of period 64", 1.0,
         [](int, std::size_t i, int) { return Square(static_cast<double>(i) / 64.0); }},
        {"sawtooth of period 128", 0.9,
         [](int, std::size_t i, int) { return static_cast<float>(i % 128) / 64.0F - 1.0F; }},
        {"pulses of period 512", 0.7,
         [](int ch, std::size_t i, int) {
             return i % 512 == static_cast<std::size_t>(ch) ? 1.0F : 0.0F;
         }},
        {"impulses", 0.5,
         [](int, std::size_t i, int) {
             return i % 3001 == 7 ? ((i / 3001) % 2 == 0 ? 1.0F : -1.0F) : 0.0F;
         }},
        {"full-scale noise", 2.4, [](int ch, std::size_t i, int) { return WhiteNoise(ch, i); }},
        {"noise with silence gaps", 2.8,
         [](int ch, std::size_t i, int rate) {
             const double t = static_cast<double>(i) / rate;
             return std::fmod(t, 0.35) < 0.1 ? 0.7F * WhiteNoise(ch, i) : 0.0F;
         }},
        {"DC with a step", 0.25,
         [](int ch, std::size_t i, int rate) {
             const float level = ch == 0 ? 1.0F : -0.5F;
             return static_cast<double>(i) < 0.1 * rate ? level : -level;
         }},
        {"silence", 0.8, [](int, std::size_t, int) { return 0.0F; }},
    };
    return signals;
}

Planes Render(const Signal& signal, const Profile& profile) {
    const auto length = static_cast<std::size_t>(signal.seconds * profile.rate);
    Planes out = Silence(profile.channels, length);
    for (int ch = 0; ch < profile.channels; ++ch) {
        for (std::size_t i = 0; i < length; ++i) {
            out[static_cast<std::size_t>(ch)][i] = signal.sample(ch, i, profile.rate);
        }
    }
    return out;
}

// Declared bytes per frame: the bit rate in whole bytes per second.
double FrameBytes(const Profile& profile, int frame_len) {
    return static_cast<double>(profile.bit_rate / 8) * frame_len / profile.rate;
}

void CheckTrack(const Profile& profile, int packet_bytes, const Signal& signal,
                const Planes& input) {
    SCOPED_TRACE(testing::Message()
                 << profile.rate << " Hz, " << profile.channels << " ch, " << profile.bit_rate
                 << " b/s, packets of " << packet_bytes << ": " << signal.name);
    const wma2::EncoderSettings settings{profile.rate, profile.channels, profile.bit_rate,
                                         packet_bytes};
    const auto stream = Encode(settings, input);
    ASSERT_FALSE(stream.packets.empty()) << "the encoder stopped";
    const auto decoded = Decode(stream);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.problems, 0) << decoded.first_problem;

    // The packets' times cover the track exactly, from the decoder's two frames of lead-in.
    const auto length = static_cast<std::int64_t>(input[0].size());
    const std::int64_t frame = stream.frame_size;
    std::int64_t covered = -2 * frame;
    for (std::size_t p = 0; p < stream.packets.size(); ++p) {
        EXPECT_EQ(stream.timestamps[p], covered) << "packet " << p;
        covered += stream.durations[p];
    }
    EXPECT_EQ(covered, length);
    const auto decoded_length = static_cast<std::int64_t>(decoded.audio[0].size());
    EXPECT_GE(decoded_length, length);
    EXPECT_LT(decoded_length, length + 2 * frame);

    // The declared rate over the frames the stream holds (the decoder returns all but
    // one): within 2% or a packet, past the filled part of the last packet. A track that
    // fits one packet takes a second, so that its end lies past the lead-in's packet.
    const double nominal = FrameBytes(profile, static_cast<int>(frame)) *
                           static_cast<double>(decoded_length + frame) / static_cast<double>(frame);
    const double packet = stream.packet_bytes;
    const double bytes = static_cast<double>(stream.packets.size()) * packet;
    const double slack = std::max(0.02 * nominal, packet);
    EXPECT_GE(bytes, nominal - slack);
    EXPECT_LE(bytes, nominal + packet + (nominal < 2 * packet ? packet : 0.02 * nominal));
}

class AnySignal : public testing::TestWithParam<Profile> {};

TEST_P(AnySignal, EncodesDecodesCleanlyAndKeepsLengthAndRate) {
    const Profile& profile = GetParam();
    // The profile's packets, packets of one frame, and of the most frames the format's
    // packets allow (14); a byte more than that is refused with the reason.
    const int frame = profile.rate <= 16000 ? 512 : profile.rate <= 22050 ? 1024 : 2048;
    const int largest = static_cast<int>(std::floor(14.0 * FrameBytes(profile, frame)));
    wma2::EncoderSettings too_large{profile.rate, profile.channels, profile.bit_rate, largest + 1};
    EXPECT_NE(wma2::SettingsProblem(too_large).find("at most " + std::to_string(largest) +
                                                    " bytes per packet"),
              std::string::npos)
        << wma2::SettingsProblem(too_large);
    too_large.packet_bytes = largest;
    EXPECT_EQ(wma2::SettingsProblem(too_large), "");

    for (const Signal& signal : Signals()) {
        const Planes input = Render(signal, profile);
        for (const int packet_bytes : {profile.packet_bytes, 1, largest}) {
            CheckTrack(profile, packet_bytes, signal, input);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BuiltInProfiles, AnySignal, testing::ValuesIn(kBuiltIn),
                         [](const testing::TestParamInfo<Profile>& info) {
                             return std::to_string(info.param.bit_rate / 1000) + "k";
                         });
INSTANTIATE_TEST_SUITE_P(OtherRates, AnySignal, testing::ValuesIn(kOthers),
                         [](const testing::TestParamInfo<Profile>& info) {
                             return std::to_string(info.param.rate) + "Hz" +
                                    std::to_string(info.param.channels) + "ch";
                         });

} // namespace
