// The lossless preset end to end: a 16- or 24-bit FLAC track becomes WMA
// Lossless at its own rate, channels and depth, and decodes to exactly the
// FLAC's samples; rates the format cannot take are refused with the reason.
#include <gtest/gtest.h>
#include <string>

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

TEST_P(Lossless, FlacDecodesToTheSameSamples) {
    const LosslessCase& c = GetParam();
    std::string flac = dir_.File("in.flac");
    // Tones, noise and a near full-scale stretch, so the predictor and the
    // residual coder both work; an odd length leaves a partial last frame.
    // Commas inside a filter's arguments are escaped for the filter graph.
    std::string left = "0.3*sin(2*PI*440*t)+0.2*(random(0)-0.5)+0.45*gt(t\\,1)*lt(t\\,1.2)";
    std::string right = "0.25*sin(2*PI*659*t+1)+0.15*(random(1)-0.5)-0.45*gt(t\\,1.5)*lt(t\\,1.6)";
    std::string source = "aevalsrc=" + (c.channels == 1 ? left : left + "|" + right) +
                         ":s=" + std::to_string(c.rate) + ":d=" + std::to_string(c.seconds);
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
}

INSTANTIATE_TEST_SUITE_P(Inputs, Lossless,
                         ::testing::Values(LosslessCase{"stereo44100", 44100, 2, 2.3456, 16},
                                           LosslessCase{"mono48000", 48000, 1, 1.7777, 16},
                                           LosslessCase{"stereo96000deep", 96000, 2, 1.2345, 24}),
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

} // namespace
} // namespace vantrel::testing
