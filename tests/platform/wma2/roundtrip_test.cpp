// Streams from the encoder decoded by libavcodec's wmav2 decoder: nothing logged, every
// sample in its place, and a sound close to the input, for every block size, transition,
// stereo mode and the rates the format serves.
#include "stream_round_trip.h"
#include "test_signals.h"

#include <gtest/gtest.h>

namespace {

using namespace wma2_test;

struct Result {
    EncodedStream stream;
    DecodedStream decoded;
};

Result RoundTrip(const wma2::EncoderSettings& settings, const Planes& input,
                 const wma2::EncoderTuning& tuning = {}) {
    Result result;
    result.stream = Encode(settings, input, tuning);
    EXPECT_FALSE(result.stream.packets.empty());
    result.decoded = Decode(result.stream);
    EXPECT_TRUE(result.decoded.ok) << result.decoded.error;
    EXPECT_EQ(result.decoded.problems, 0) << result.decoded.first_problem;
    const std::size_t length = input.empty() ? 0 : input[0].size();
    for (const auto& channel : result.decoded.audio) {
        // Every pushed sample, then less than two frames of padding.
        EXPECT_GE(channel.size(), length);
        EXPECT_LT(channel.size(), length + 2 * static_cast<std::size_t>(result.stream.frame_size));
    }
    return result;
}

double WorstSnr(const Planes& input, const DecodedStream& decoded) {
    double worst = 1e9;
    for (std::size_t ch = 0; ch < input.size(); ++ch) {
        worst = std::min(worst, SnrDb(input[ch], decoded.audio[ch], 0, input[ch].size()));
    }
    return worst;
}

wma2::EncoderTuning Blocks(std::vector<int> blocks) {
    wma2::EncoderTuning tuning;
    tuning.forced_blocks = std::move(blocks);
    return tuning;
}

TEST(RoundTrip, EveryBlockSize) {
    const auto input = Chord(44100, 2, 1.0);
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(testing::Message() << "blocks of " << (2048 >> k));
        const auto result =
            RoundTrip({44100, 2, 128000, 0}, input, Blocks(std::vector<int>(1u << k, k)));
        EXPECT_GT(WorstSnr(input, result.decoded), 15.0);
    }
}

TEST(RoundTrip, TransitionsBetweenSizes) {
    const auto input = Chord(44100, 2, 1.0);
    // Large to small and back inside a frame and across frame boundaries, blocks that do
    // not start at a multiple of their size.
    const std::vector<std::vector<int>> tilings = {
        {3, 4, 4, 2, 1}, {1, 2, 3, 4, 4}, {4, 4, 3, 2, 1}, {2, 1, 2}, {1, 4, 4, 4, 4, 4, 4, 4, 4}};
    for (const auto& tiling : tilings) {
        const auto result = RoundTrip({44100, 2, 128000, 0}, input, Blocks(tiling));
        EXPECT_GT(WorstSnr(input, result.decoded), 15.0);
    }
}

TEST(RoundTrip, BlockSwitchingFollowsAttacks) {
    const auto input = Clicks(44100, 2, 2.0);
    const auto result = RoundTrip({44100, 2, 128000, 0}, input);
    EXPECT_GT(WorstSnr(input, result.decoded), 12.0);
    // Before each click the output stays as quiet as the input: no pre-echo from a long
    // block. The 256 samples before the click at 0.625 s carry only the quiet chord.
    const std::size_t click = 27562;
    double before_in = 0;
    double before_out = 0;
    for (std::size_t i = click - 256; i < click - 8; ++i) {
        before_in += static_cast<double>(input[0][i]) * input[0][i];
        const double d = result.decoded.audio[0][i];
        before_out += d * d;
    }
    EXPECT_LT(10 * std::log10(before_out / before_in), 6.0);
}

TEST(RoundTrip, StereoModes) {
    // Left and right related but not equal: each mode for every block, and the choice per
    // block.
    Planes input = Chord(44100, 2, 1.0);
    const auto other = Chord(44100, 1, 1.0, 0.1);
    for (std::size_t i = 0; i < input[1].size(); ++i) {
        input[1][i] = 0.6F * input[1][i] + other[0][i];
    }
    for (const auto mode : {wma2::StereoChoice::kLeftRight, wma2::StereoChoice::kMidSide,
                            wma2::StereoChoice::kPerBlock}) {
        wma2::EncoderTuning tuning;
        tuning.stereo = mode;
        const auto result = RoundTrip({44100, 2, 128000, 0}, input, tuning);
        EXPECT_GT(WorstSnr(input, result.decoded), 12.0) << static_cast<int>(mode);
    }
    // The same signal in both channels: mid/side with the side channel not coded gives
    // two identical outputs.
    Planes twins = Chord(44100, 1, 1.0);
    twins.push_back(twins[0]);
    const auto result = RoundTrip({44100, 2, 64000, 0}, twins);
    EXPECT_EQ(result.decoded.audio[0], result.decoded.audio[1]);
    EXPECT_GT(WorstSnr(twins, result.decoded), 15.0);
}

TEST(RoundTrip, RatesChannelsAndBitRates) {
    struct Case {
        int rate, channels, bit_rate;
        double snr;
    };
    const Case cases[] = {{44100, 2, 32000, 15}, {44100, 2, 64000, 18}, {44100, 1, 48000, 20},
                          {48000, 2, 32000, 15}, {48000, 1, 96000, 25}, {48000, 2, 192000, 30},
                          {32000, 2, 64000, 14}, {22050, 1, 32000, 20}, {16000, 1, 16000, 14},
                          {8000, 1, 8000, 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.rate << " Hz, " << c.channels << " ch, " << c.bit_rate << " b/s");
        const auto input = Chord(c.rate, c.channels, 1.0);
        const auto result = RoundTrip({c.rate, c.channels, c.bit_rate, 0}, input);
        EXPECT_GT(WorstSnr(input, result.decoded), c.snr);
    }
}

double BandEnergyDb(const std::vector<float>& x, std::size_t from, std::size_t length,
                    double low_hz, double high_hz, int rate) {
    // A plain DFT over the bins of the band.
    double energy = 0;
    const std::size_t first = static_cast<std::size_t>(low_hz * length / rate);
    const std::size_t last = static_cast<std::size_t>(high_hz * length / rate);
    for (std::size_t bin = first; bin < last; bin += 4) {
        double re = 0;
        double im = 0;
        for (std::size_t i = 0; i < length; ++i) {
            const double phase = 2 * std::numbers::pi * static_cast<double>(bin * i) / length;
            re += x[from + i] * std::cos(phase);
            im += x[from + i] * std::sin(phase);
        }
        energy += re * re + im * im;
    }
    return 10 * std::log10(energy + 1e-30);
}

TEST(RoundTrip, NoiseSubstitutionKeepsTheHighBandsLevel) {
    // At 32 kb/s stereo the high bands are sent as noise levels: their energy comes back at
    // the level asked for, with long blocks and with blocks that grow within a frame (whose
    // exponents may come from a smaller block before them).
    const auto input = Noise(44100, 2, 1.0, 0.3, 5);
    for (const float fill_db : {0.0F, -6.0F}) {
        for (const auto& tiling :
             {std::vector<int>{}, std::vector<int>{4, 4, 3, 2, 1}, std::vector<int>{3, 3, 1, 2}}) {
            auto tuning = Blocks(tiling);
            tuning.reuse_exponents = wma2::ExponentReuse::kAlways;
            tuning.noise_fill_db = fill_db;
            const auto result = RoundTrip({44100, 2, 32000, 0}, input, tuning);
            for (const auto& [low, high] :
                 {std::pair{11000.0, 13000.0}, std::pair{13000.0, 15000.0}}) {
                const double in = BandEnergyDb(input[0], 22050, 4096, low, high, 44100);
                const double out =
                    BandEnergyDb(result.decoded.audio[0], 22050, 4096, low, high, 44100);
                EXPECT_NEAR(out, in + fill_db, 3.0)
                    << low << " Hz, " << tiling.size() << " blocks, " << fill_db << " dB";
            }
        }
    }
}

// Energy (dB) of x[from, from + length) between the two frequencies, Hann-windowed so that
// louder content outside the band does not leak into it.
double WindowedBandEnergyDb(const std::vector<float>& x, std::size_t from, std::size_t length,
                            double low_hz, double high_hz, int rate) {
    double energy = 0;
    const auto first = static_cast<std::size_t>(low_hz * length / rate);
    const auto last = static_cast<std::size_t>(high_hz * length / rate);
    for (std::size_t bin = first; bin <= last; ++bin) {
        double re = 0;
        double im = 0;
        for (std::size_t i = 0; i < length; ++i) {
            const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / length);
            const double phase = 2 * std::numbers::pi * static_cast<double>(bin * i) / length;
            re += w * x[from + i] * std::cos(phase);
            im += w * x[from + i] * std::sin(phase);
        }
        energy += re * re + im * im;
    }
    return 10 * std::log10(energy + 1e-30);
}

TEST(RoundTrip, DeepBassKeepsItsOwnSignalToNoiseRatio) {
    // A bass line under a louder chord: the hearing model would let the 20-80 Hz band's
    // noise rise close to the bass (its threshold in quiet is high there), but the deep bass
    // keeps a signal-to-noise ratio of its own at 128 kb/s.
    Planes input = Chord(44100, 2, 2.0, 0.5);
    for (auto& channel : input) {
        for (std::size_t i = 0; i < channel.size(); ++i) {
            const double t = static_cast<double>(i) / 44100;
            channel[i] += static_cast<float>(0.1 * std::sin(2 * std::numbers::pi * 41.2 * t) +
                                             0.08 * std::sin(2 * std::numbers::pi * 61.7 * t));
        }
    }
    const auto bass_snr = [&](const wma2::EncoderTuning& tuning) {
        const auto result = RoundTrip({44100, 2, 128000, 0}, input, tuning);
        std::vector<float> error(input[0].size());
        for (std::size_t i = 0; i < error.size(); ++i) {
            error[i] = result.decoded.audio[0][i] - input[0][i];
        }
        constexpr std::size_t kFrom = 22050;
        constexpr std::size_t kLength = 32768;
        return WindowedBandEnergyDb(input[0], kFrom, kLength, 20, 80, 44100) -
               WindowedBandEnergyDb(error, kFrom, kLength, 20, 80, 44100);
    };
    // The masks' low tilt alone lifts the bass's ratio too: off in both, so that the
    // guard's own share shows.
    wma2::EncoderTuning guarded;
    guarded.low_tilt_db_per_bark = 0;
    wma2::EncoderTuning unguarded = guarded;
    unguarded.deep_bass_snr_db = 0;
    const double guarded_snr = bass_snr(guarded);
    EXPECT_GE(guarded_snr, 30.0);
    EXPECT_GE(guarded_snr, bass_snr(unguarded) + 6.0);
}

TEST(Quantiser, EachRateLeansByItsOwnRoundingBias) {
    // Rates that code every band round with rounding_bias_coded, those that send bands as
    // noise with rounding_bias: changing the other one leaves the stream as it was.
    const Planes input = Add(Chord(44100, 2, 0.5), Noise(44100, 2, 0.5, 0.02));
    const auto packets = [&](int bit_rate, float bias, float coded_bias) {
        wma2::EncoderTuning tuning;
        tuning.rounding_bias = bias;
        tuning.rounding_bias_coded = coded_bias;
        return Encode({44100, 2, bit_rate, 0}, input, tuning).packets;
    };
    EXPECT_EQ(packets(128000, 0.0F, 0.2F), packets(128000, 0.4F, 0.2F));
    EXPECT_NE(packets(128000, 0.2F, 0.0F), packets(128000, 0.2F, 0.4F));
    EXPECT_EQ(packets(32000, 0.2F, 0.0F), packets(32000, 0.2F, 0.4F));
    EXPECT_NE(packets(32000, 0.0F, 0.2F), packets(32000, 0.4F, 0.2F));
}

TEST(Timing, EverySampleInItsPlace) {
    // A click marks the first and the last sample, whatever part of its last frame the
    // track fills.
    for (const std::size_t length : {1u, 2u, 900u, 2048u, 2049u, 3008u, 3200u, 43968u, 45055u}) {
        SCOPED_TRACE(length);
        Planes input = Silence(2, length);
        input[0][0] = 0.9F;
        input[1][length - 1] = -0.9F;
        const auto result = RoundTrip({44100, 2, 128000, 0}, input);
        const auto& left = result.decoded.audio[0];
        const auto& right = result.decoded.audio[1];
        const auto peak = [](const std::vector<float>& x) {
            return static_cast<std::size_t>(
                std::max_element(x.begin(), x.end(),
                                 [](float a, float b) { return std::fabs(a) < std::fabs(b); }) -
                x.begin());
        };
        EXPECT_EQ(peak(left), 0u);
        EXPECT_GT(left[0], 0.4F);
        EXPECT_EQ(peak(right), length - 1);
        EXPECT_LT(right[length - 1], -0.4F);
    }
}

TEST(Timing, TrackEndsDecodeAsAccuratelyAsTheirBody) {
    // The last 1024 samples come back within 3 dB of the body's accuracy, wherever the
    // track ends in its last frame: the decoder's final flush covers part of a frame, one
    // frame more the rest.
    struct Case {
        wma2::EncoderSettings settings;
        std::size_t frame;
    };
    for (const Case& c : {Case{{44100, 2, 128000, 0}, 2048}, Case{{44100, 2, 32000, 0}, 2048},
                          Case{{22050, 1, 32000, 0}, 1024}}) {
        const auto whole = Chord(c.settings.sample_rate, c.settings.channels, 0.5, 0.5);
        for (const std::size_t tail : {0u, 1u, 400u, 900u, 1000u, 1500u, 2047u}) {
            const std::size_t length = (whole[0].size() / c.frame - 1) * c.frame + tail % c.frame;
            SCOPED_TRACE(testing::Message() << c.settings.bit_rate << " b/s, " << length);
            Planes input = whole;
            for (auto& channel : input) {
                channel.resize(length);
            }
            const auto result = RoundTrip(c.settings, input);
            for (std::size_t ch = 0; ch < input.size(); ++ch) {
                const double body = SnrDb(input[ch], result.decoded.audio[ch], 0, length - 1024);
                const double end =
                    SnrDb(input[ch], result.decoded.audio[ch], length - 1024, length);
                EXPECT_GT(end, body - 3.0) << "channel " << ch;
            }
        }
    }
}

TEST(Timing, PacketTimesCoverThePushedAudioFromTheLeadIn) {
    // The first packets carry the two frames of lead-in a decoder drops, so times start
    // that far before zero; from there every packet continues where the last one ended,
    // and the last one ends with the pushed audio.
    for (const double seconds : {0.0, 0.02, 0.1, 3.0}) {
        SCOPED_TRACE(seconds);
        const auto input = Chord(44100, 2, seconds);
        const auto stream = Encode({44100, 2, 128000, 0}, input);
        ASSERT_FALSE(stream.packets.empty());
        std::int64_t covered = -2 * stream.frame_size;
        for (std::size_t p = 0; p < stream.packets.size(); ++p) {
            EXPECT_EQ(stream.timestamps[p], covered);
            covered += stream.durations[p];
        }
        EXPECT_EQ(covered, static_cast<std::int64_t>(input[0].size()));
    }
}

TEST(Timing, TheLastFrameEndsInAPacketPastTheLeadIn) {
    // A decoder shifts the time of what the lead-in packets return by the part it drops;
    // a player guesses the time of the final flush from the packet before it, wrongly if
    // that packet is one of them. So a stream that yields audio ends in a packet that
    // starts at or after the first sample: a short track takes a second packet.
    for (const std::size_t length : {961u, 2048u, 3000u, 5000u, 6143u, 6144u, 9000u}) {
        SCOPED_TRACE(length);
        for (const int packet_bytes : {0, 10000}) {
            const auto input = Chord(44100, 2, static_cast<double>(length) / 44100);
            const auto result = RoundTrip({44100, 2, 128000, packet_bytes}, input);
            EXPECT_GE(result.stream.timestamps.back(), 0);
        }
    }
}

TEST(EdgeInputs, DecodeCleanly) {
    const std::size_t n = 22050;
    Planes square = Silence(2, n);
    Planes dc = Silence(2, n);
    Planes click = Silence(2, n);
    for (std::size_t i = 0; i < n; ++i) {
        square[0][i] = square[1][i] = (i / 50) % 2 == 0 ? 1.0F : -1.0F;
        dc[0][i] = 0.5F;
        dc[1][i] = -0.5F;
    }
    click[0][n / 2] = 1.0F;
    for (const auto* input : {&square, &dc, &click}) {
        for (const int bit_rate : {32000, 192000}) {
            RoundTrip({44100, 2, bit_rate, 0}, *input);
        }
    }
    // Silence stays silence, at every rate.
    for (const int bit_rate : {32000, 128000}) {
        const auto result = RoundTrip({44100, 2, bit_rate, 0}, Silence(2, n));
        for (const auto& channel : result.decoded.audio) {
            for (const float sample : channel) {
                ASSERT_LT(std::fabs(sample), 1e-4F);
            }
        }
    }
    // Values past full scale are clipped, not refused; NaN is refused.
    Planes loud = Silence(1, 1000);
    loud[0][10] = 7.0F;
    RoundTrip({44100, 1, 64000, 0}, loud);
    wma2::Encoder encoder;
    ASSERT_EQ(encoder.Configure({44100, 1, 64000, 0}, [](const wma2::Packet&) { return true; }),
              wma2::Status::kOk);
    const float bad[3] = {0.0F, std::nanf(""), 0.0F};
    const float* planes[1] = {bad};
    EXPECT_EQ(encoder.Push(planes, 3), wma2::Status::kInvalidSamples);
}

TEST(BitRate, PacketsHoldTheDeclaredRate) {
    // Noise, and full-scale squares whose steps the escape codes limit: their frames reach
    // the floor with filler.
    Planes square = Silence(2, 6 * 44100);
    for (std::size_t i = 0; i < square[0].size(); ++i) {
        square[0][i] = square[1][i] = (i / 50) % 2 == 0 ? 1.0F : -1.0F;
    }
    const Planes noise = Noise(44100, 2, 6.0, 0.2, 3);
    const Planes& squares = square;
    for (const auto& [input, bit_rate] :
         {std::pair{&noise, 32000}, std::pair{&noise, 128000}, std::pair{&squares, 160000},
          std::pair{&squares, 192000}}) {
        SCOPED_TRACE(bit_rate);
        const auto stream = Encode({44100, 2, bit_rate, 0}, *input);
        double bytes = 0;
        for (const auto& packet : stream.packets) {
            ASSERT_EQ(packet.size(), static_cast<std::size_t>(stream.packet_bytes));
            bytes += static_cast<double>(packet.size());
        }
        // The frames cover the audio and two frames more (the decoder's delay and the last
        // frame's overlap); packets of fixed size end with the last one partly filled.
        const double seconds = (6.0 * 44100 + 2 * 2048) / 44100;
        const double nominal = bit_rate / 8.0 * seconds;
        EXPECT_GT(bytes, nominal * 0.995);
        EXPECT_LT(bytes, nominal * 1.005 + stream.packet_bytes);
    }
}

} // namespace
