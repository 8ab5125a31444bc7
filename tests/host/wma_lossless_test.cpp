// The lossless preset end to end: a 16-bit FLAC track becomes WMA Lossless at
// its own rate and channels, and decodes to exactly the FLAC's samples.
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
    CommandResult made =
        RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i " + ShellQuote(source) +
                   " -sample_fmt s16 -c:a flac " + ShellQuote(flac));
    ASSERT_EQ(made.status, 0) << made.err;

    std::string out = dir_.File("in.wma");
    CommandResult r = vantrel({"convert", "--preset", "8", flac});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(out, "stream=codec_name"), "wmalossless\n");
    EXPECT_EQ(probe(out, "stream=sample_rate,channels"),
              std::to_string(c.rate) + "\n" + std::to_string(c.channels) + "\n");
    EXPECT_EQ(timing_lines_for(r.err, flac), 1) << r.err;

    std::string expected = decoded_pcm(flac);
    std::string decoded = decoded_pcm(out);
    ASSERT_NEAR(static_cast<double>(expected.size()) / (2.0 * c.channels), c.rate * c.seconds, 2.0);
    ASSERT_EQ(decoded.size(), expected.size()) << "the same length";
    EXPECT_TRUE(decoded == expected) << "the same samples, byte for byte";
    EXPECT_EQ(files_left(), (std::vector<std::string>{"in.flac", "in.wma"}));
}

INSTANTIATE_TEST_SUITE_P(Inputs, Lossless,
                         ::testing::Values(LosslessCase{"stereo44100", 44100, 2, 2.3456},
                                           LosslessCase{"mono48000", 48000, 1, 1.7777}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vantrel::testing
