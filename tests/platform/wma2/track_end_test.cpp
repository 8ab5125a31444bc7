// The end of a track, whatever its length: the last 1024 samples come back about as
// accurately as the body before them, and the packets' durations add up to the track.
#include "stream_round_trip.h"
#include "test_signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numbers>

namespace {

using namespace wma2_test;

Planes Tone(int rate, int channels, double seconds, double frequency = 997.0) {
    const auto length = static_cast<std::size_t>(rate * seconds);
    Planes out = Silence(channels, length);
    for (auto& channel : out) {
        for (std::size_t i = 0; i < length; ++i) {
            channel[i] = static_cast<float>(
                0.3 * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / rate));
        }
    }
    return out;
}

// A pure tone cut off hard comes back near 44 dB over its last 1024 samples whatever
// the body's accuracy (the last 256 samples near 39 dB); a body coded better than this
// is not held against the end. Ends that were damaged came back 6-15 dB under the body.
constexpr double kEndCeilingDb = 42.0;

// Short tracks end in their first packets, where the stream's framing makes them carry more
// bits than their rate: those must serve the whole track, not just part of it. Long ones
// end just past a frame boundary.
TEST(TrackEnds, EveryLengthEndsAsAccuratelyAsItsBody) {
    const std::vector<std::size_t> lengths{2048,  2500,  3100,  4000,  4500,  5200,
                                           6000,  7000,  8000,  9100,  10000, 11000,
                                           12000, 13500, 16384, 30721, 61441, 100353};
    for (const wma2::EncoderSettings settings :
         {wma2::EncoderSettings{44100, 2, 128000, 0}, wma2::EncoderSettings{44100, 2, 64000, 0},
          wma2::EncoderSettings{48000, 1, 64000, 0}}) {
        const int rate = settings.sample_rate;
        const Planes tone = Tone(rate, settings.channels, 2.5);
        const Planes music =
            Add(Chord(rate, settings.channels, 2.5), Noise(rate, settings.channels, 2.5, 0.05));
        for (const Planes* content : {&tone, &music}) {
            for (const std::size_t length : lengths) {
                SCOPED_TRACE(testing::Message()
                             << settings.bit_rate << " b/s, " << settings.channels << " ch, "
                             << (content == &tone ? "tone, " : "music, ") << length);
                Planes input = *content;
                for (auto& channel : input) {
                    channel.resize(length);
                }
                const EncodedStream stream = Encode(settings, input);
                ASSERT_FALSE(stream.packets.empty());
                // Times start with the lead-in the decoder drops; the last packet ends with
                // the track.
                EXPECT_EQ(stream.timestamps.back() + stream.durations.back(),
                          static_cast<std::int64_t>(length));
                const DecodedStream decoded = Decode(stream);
                ASSERT_TRUE(decoded.ok) << decoded.error;
                EXPECT_EQ(decoded.problems, 0) << decoded.first_problem;
                for (std::size_t ch = 0; ch < input.size(); ++ch) {
                    ASSERT_GE(decoded.audio[ch].size(), length);
                    const double body = SnrDb(input[ch], decoded.audio[ch], 0, length - 1024);
                    const double end = SnrDb(input[ch], decoded.audio[ch], length - 1024, length);
                    EXPECT_GT(end, std::min(body, kEndCeilingDb) - 3.0)
                        << "channel " << ch << ": body " << body;
                }
            }
        }
    }
}

} // namespace
