// The lossless preset end to end: a 16- or 24-bit FLAC track of 1 to 8
// channels becomes WMA Lossless at its own rate, channels and depth, and
// decodes to exactly the FLAC's samples; rates the format cannot take are
// refused with the reason; deeper sources are stored as 24 bits with a warning.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "real_wma.h"

namespace vantrel::testing {
namespace {

struct LosslessCase {
    const char* name;
    int rate;
    int channels;
    double seconds;
    int bits;
};

class Lossless : public RealWma, public ::testing::WithParamInterface<LosslessCase> {};

// Whether this build runs under ThreadSanitizer, which slows the lossless
// encoder some 40 times.
constexpr bool kThreadSanitizer =
#if defined(__SANITIZE_THREAD__)
    true;
#else
    false;
#endif

TEST_P(Lossless, FlacDecodesToTheSameSamples) {
    const LosslessCase& c = GetParam();
    // The encoder component waits 5 s for a track's graph to complete; under
    // ThreadSanitizer on a loaded machine 6 to 8 channels at 64 to 96 kHz take
    // longer than that, though they take some 50 ms in an ordinary build.
    if (kThreadSanitizer && c.channels * c.rate >= 6 * 64000)
        GTEST_SKIP() << "too slow under ThreadSanitizer for the component's 5 s completion wait";
    std::string flac = dir_.File("in.flac");
    // Tones, noise and a near full-scale stretch, so the predictor and the
    // residual coder both work; an odd length leaves a partial last frame.
    // Commas inside a filter's arguments are escaped for the filter graph.
    std::string channels = "0.3*sin(2*PI*440*t)+0.2*(random(0)-0.5)+0.45*gt(t\\,1)*lt(t\\,1.2)";
    for (int i = 1; i < c.channels; ++i)
        channels += "|0.25*sin(2*PI*" + std::to_string(500 + 159 * i) + "*t+" + std::to_string(i) +
                    ")+0.15*(random(" + std::to_string(i) + ")-0.5)-0.45*gt(t\\,1.5)*lt(t\\,1.6)";
    std::string source =
        "aevalsrc=" + channels + ":s=" + std::to_string(c.rate) + ":d=" + std::to_string(c.seconds);
    CommandResult made = RunCommand(
        "ffmpeg -nostdin -v error -y -f lavfi -i " + ShellQuote(source) +
        (c.bits == 16 ? " -sample_fmt s16" : " -sample_fmt s32 -bits_per_raw_sample 24") +
        " -c:a flac " + ShellQuote(flac));
    ASSERT_EQ(made.status, 0) << made.err;

    std::string out = dir_.File("in.wma");
    CommandResult r = vantrel({"convert", "-v", "--preset", "8", flac});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(out, "stream=codec_name"), "wmalossless\n");
    EXPECT_EQ(probe(out, "stream=sample_rate,channels"),
              std::to_string(c.rate) + "\n" + std::to_string(c.channels) + "\n");
    EXPECT_EQ(timing_lines_for(r.err, flac), 1) << r.err;

    // 32-bit samples hold either depth whole.
    auto samples = [](const std::string& path) {
        CommandResult d =
            RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -f s32le -");
        EXPECT_EQ(d.status, 0) << d.err;
        return d.out;
    };
    std::string expected = samples(flac);
    std::string decoded = samples(out);
    ASSERT_NEAR(static_cast<double>(expected.size()) / (4.0 * c.channels), c.rate * c.seconds, 2.0);
    ASSERT_EQ(decoded.size(), expected.size()) << "the same length";
    EXPECT_TRUE(decoded == expected) << "the same samples, byte for byte";
    EXPECT_EQ(files_left(), (std::vector<std::string>{"in.flac", "in.wma"}));
    if (const std::string missing = readers_missing(); !missing.empty())
        GTEST_SKIP() << missing;
    const std::string layout =
        std::to_string(c.rate) + " Hz " + std::to_string(c.channels) + " channels\n";
    EXPECT_EQ(layouts_read(out), "mutagen " + layout + "taglib " + layout);
}

INSTANTIATE_TEST_SUITE_P(Inputs, Lossless,
                         ::testing::Values(LosslessCase{"stereo44100", 44100, 2, 2.3456, 16},
                                           LosslessCase{"mono48000", 48000, 1, 1.7777, 16},
                                           LosslessCase{"stereo96000deep", 96000, 2, 1.2345, 24},
                                           // Frames too large for the built-in profile's
                                           // packets: the encoder's own packets take them.
                                           LosslessCase{"six64000deep", 64000, 6, 0.4321, 24},
                                           LosslessCase{"six96000deep", 96000, 6, 0.4321, 24},
                                           LosslessCase{"eight96000", 96000, 8, 0.4321, 16},
                                           LosslessCase{"eight96000deep", 96000, 8, 0.4321, 24},
                                           LosslessCase{"three8000deep", 8000, 3, 0.7654, 24}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RealWma, LosslessRefusesRatesTheFormatCannotTakeAndSaysWhich) {
    for (const int rate : {192000, 4000}) {
        const std::string input = dir_.File("r" + std::to_string(rate) + ".wav");
        make_tone(input, 0.2, rate, 1);
        CommandResult r = vantrel({"convert", "--preset", "8", input});
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_TRUE(contains(r.err, input +
                                        ": the encoder could not start the track: WMA "
                                        "Lossless takes 1 to 8 channels of 16 or 24 bits at "
                                        "8000 to 96000 Hz; the audio has 1 channel of 16 "
                                        "bits at " +
                                        std::to_string(rate) + " Hz"))
            << r.err;
    }
}

// A source deeper than the 24 bits the format holds is stored as 24 bits, with
// a warning that says what was lost; the samples are the source's, rounded.
TEST_F(RealWma, LosslessWarnsOfTheBitsASourceDeeperThan24BitsLoses) {
    const std::string in = dir_.File("deep.wav");
    make_tone(in, 0.5, 48000, 2, "-c:a pcm_s32le");
    CommandResult r = vantrel({"convert", "--preset", "8", in});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: warning: " + in +
                                    ": its 32-bit samples were stored as 24-bit, the most the "
                                    "encoder holds: the lowest 8 bits of each sample were lost"))
        << r.err;
    const std::string out = dir_.File("deep.wma");
    EXPECT_EQ(probe(out, "stream=codec_name"), "wmalossless\n");
    EXPECT_EQ(probe(out, "stream=bits_per_raw_sample"), "24\n");
    auto samples = [](const std::string& path) {
        CommandResult d =
            RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -f s32le -");
        EXPECT_EQ(d.status, 0) << d.err;
        std::vector<std::int32_t> values(d.out.size() / 4);
        std::memcpy(values.data(), d.out.data(), values.size() * 4);
        return values;
    };
    const auto source = samples(in);
    const auto stored = samples(out);
    ASSERT_EQ(stored.size(), source.size());
    std::int64_t largest = 0;
    for (std::size_t i = 0; i < source.size(); ++i)
        largest = std::max<std::int64_t>(largest, std::abs(std::int64_t{stored[i]} - source[i]));
    EXPECT_LE(largest, 128) << "within half a step of 24 bits";
    EXPECT_TRUE(std::any_of(source.begin(), source.end(), [](std::int32_t v) { return v & 0xFF; }))
        << "the source has bits below the 24";

    make_tone(dir_.File("float.wav"), 0.3, 48000, 2, "-c:a pcm_f32le");
    r = vantrel({"convert", "--preset", "8", dir_.File("float.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, ": its 32-bit floating-point samples were stored as 24-bit "
                                "integers, the most the encoder holds (rounded, and clipped "
                                "beyond full scale)"))
        << r.err;
    r = vantrel({"convert", dir_.File("float.wav")});
    EXPECT_FALSE(contains(r.err, "warning")) << "a lossy preset stores no depth\n" << r.err;
    if (const std::string missing = readers_missing(); !missing.empty())
        GTEST_SKIP() << missing;
    EXPECT_NEAR(mutagen_info(out).first, 0.5, 0.05);
    EXPECT_EQ(layouts_read(out), "mutagen 48000 Hz 2 channels\ntaglib 48000 Hz 2 channels\n");
}

} // namespace
} // namespace vantrel::testing
