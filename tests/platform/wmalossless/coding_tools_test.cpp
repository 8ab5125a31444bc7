// The coding tools one by one: the multichannel LMS stage and changes of tools between
// seekable tiles. Streams are built from the internal pieces with chosen tools and judged by
// libavcodec's decoder; the last tests check that the encoder's own choice among its
// candidates decodes exactly and pays off.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "frame_assembler.h"
#include "libav_decode.h"
#include "mclms_design.h"
#include "packetizer.h"
#include "prefilter_design.h"
#include "stream_format.h"
#include "test_signals.h"
#include "tile_encoder.h"
#include "tuning.h"
#include "wmal_encoder.h"

namespace wmal_test {
namespace {

wmal::StreamFormat format_for(int channels, int bits, int packet_size = 16384) {
    wmal::StreamFormat f;
    f.sample_rate = 44100;
    f.channels = channels;
    f.bits_per_sample = bits;
    f.channel_mask = wmal::default_channel_mask(channels);
    f.packet_size = packet_size;
    f.length_bits = wmal::length_field_bits(f.packet_size);
    // Half frames when a raw frame would not fit the length field.
    const bool half = channels * bits * 2048 + 1000 >= (1 << f.length_bits);
    f.decode_flags = static_cast<uint16_t>(wmal::kFlagLengthPrefix | (half ? 2 << 1 : 0));
    f.samples_per_frame = wmal::frame_length_for_flags(44100, f.decode_flags);
    f.skip_bits = wmal::floor_log2(static_cast<uint32_t>(2 * f.samples_per_frame));
    return f;
}

// Which tools each seekable frame announces, by frame index; other frames keep them.
using Schedule = std::map<int, wmal::TileParams>;

struct Coded {
    EncodedStream stream;
    uint64_t bits = 0; // of all frames
};

// Encodes whole frames of interleaved `pcm` with the tools of `schedule`.
template <typename Hist>
Coded encode_with(const std::vector<int32_t>& pcm, const wmal::StreamFormat& f,
                  const Schedule& schedule) {
    Coded coded;
    EncodedStream& stream = coded.stream;
    stream.codec_data = wmal::make_codec_data(f);
    stream.packet_size = f.packet_size;
    stream.frame_size = f.samples_per_frame;
    wmal::Packetizer packetizer;
    packetizer.configure(f.packet_size, f.length_bits, [&](const wmal::PacketView& p) {
        stream.packets.emplace_back(p.data, p.data + p.size);
        return true;
    });
    const int spf = f.samples_per_frame;
    const int frames = static_cast<int>(pcm.size() / static_cast<size_t>(f.channels * spf));
    wmal::TileEncoder<Hist> tiles(f.channels, f.bits_per_sample, spf);
    wmal::BitWriter tile;
    tile.reserve_bits(uint64_t{1} << 22);
    wmal::BitWriter frame;
    frame.reserve_bits(uint64_t{1} << 22);
    std::vector<std::vector<int32_t>> planar(static_cast<size_t>(f.channels),
                                             std::vector<int32_t>(static_cast<size_t>(spf)));
    wmal::TileParams params;
    for (int i = 0; i < frames; ++i) {
        const int32_t* channels[wmal::kMaxChannels];
        for (int c = 0; c < f.channels; ++c) {
            for (int s = 0; s < spf; ++s)
                planar[static_cast<size_t>(c)][static_cast<size_t>(s)] =
                    pcm[(static_cast<size_t>(i) * static_cast<size_t>(spf) +
                         static_cast<size_t>(s)) *
                            static_cast<size_t>(f.channels) +
                        static_cast<size_t>(c)];
            channels[c] = planar[static_cast<size_t>(c)].data();
        }
        const auto change = schedule.find(i);
        if (change != schedule.end())
            params = change->second;
        tiles.encode(channels, spf, change != schedule.end(), params, tile);
        const uint64_t tile_bits = tile.bit_count();
        tile.finish();
        uint64_t bits = wmal::assemble_frame(frame, f, tile.data(), tile_bits, spf, false);
        if (packetizer.ends_on_later_boundary(bits))
            bits = wmal::assemble_frame(frame, f, tile.data(), tile_bits, spf, true);
        frame.finish();
        coded.bits += bits;
        packetizer.add_frame(frame.data(), bits, spf, change != schedule.end());
    }
    packetizer.finish(64);
    return coded;
}

Coded encode_with(const std::vector<int32_t>& pcm, const wmal::StreamFormat& f,
                  const Schedule& schedule) {
    return f.bits_per_sample == 16 ? encode_with<int16_t>(pcm, f, schedule)
                                   : encode_with<int32_t>(pcm, f, schedule);
}

void expect_decodes_to(const EncodedStream& stream, const wmal::StreamFormat& f,
                       const std::vector<int32_t>& pcm) {
    const DecodedStream decoded =
        decode_packets(stream, f.sample_rate, f.channels, f.bits_per_sample);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.problems, 0) << decoded.first_problem;
    ASSERT_EQ(decoded.samples.size(), pcm.size());
    const auto diff = std::mismatch(decoded.samples.begin(), decoded.samples.end(), pcm.begin());
    EXPECT_TRUE(diff.first == decoded.samples.end())
        << "first difference at sample " << (diff.first - decoded.samples.begin()) / f.channels;
}

// Decodes `stream` from each seekable packet after the first, as a player that seeks there
// would, and checks that what comes out is the end of `pcm`, from a frame boundary on.
// Returns how many packets it started at.
int expect_resumes_at_seekable_packets(const EncodedStream& stream, const wmal::StreamFormat& f,
                                       const std::vector<int32_t>& pcm) {
    const size_t per_frame =
        static_cast<size_t>(f.channels) * static_cast<size_t>(stream.frame_size);
    int resumed = 0;
    for (size_t start = 1; start < stream.packets.size(); ++start) {
        if (!stream.info[start].seekable)
            continue;
        EncodedStream tail = stream;
        tail.packets.erase(tail.packets.begin(), tail.packets.begin() + static_cast<long>(start));
        const DecodedStream decoded =
            decode_packets(tail, f.sample_rate, f.channels, f.bits_per_sample, true);
        EXPECT_TRUE(decoded.ok) << decoded.error;
        if (!decoded.ok || decoded.samples.size() > pcm.size()) {
            ADD_FAILURE() << "resumed at packet " << start << ": too many samples";
            continue;
        }
        const size_t offset = pcm.size() - decoded.samples.size();
        EXPECT_EQ(offset % per_frame, 0u);
        EXPECT_TRUE(std::equal(decoded.samples.begin(), decoded.samples.end(),
                               pcm.begin() + static_cast<long>(offset)))
            << "resumed at packet " << start;
        ++resumed;
    }
    return resumed;
}

size_t total_bytes(const EncodedStream& stream) {
    size_t n = 0;
    for (const auto& p : stream.packets)
        n += p.size();
    return n;
}

wmal::TileParams tools(int mclms_order, int mclms_scaling, std::initializer_list<int> orders,
                       std::initializer_list<int> scalings, int channels) {
    wmal::TileParams p;
    wmal::use_pre_emphasis(p);
    p.inter_channel = channels == 2;
    p.mclms_order = mclms_order;
    p.mclms_scaling = mclms_scaling;
    wmal::set_cascade(p, orders, scalings);
    p.movave_scaling = 4;
    return p;
}

// Tonal channels that share much of their content, so that one predicts another; channel 1
// falls silent in the middle frames, which are then coded without it.
// Frame `frame` of interleaved `pcm` as one plane per channel, as the fitting routines
// take it.
struct FramePlanes {
    std::vector<std::vector<int32_t>> x;
    const int32_t* at[wmal::kMaxChannels] = {};
};

FramePlanes frame_planes(const std::vector<int32_t>& pcm, int channels, int spf, int frame) {
    FramePlanes planes;
    planes.x.assign(static_cast<size_t>(channels), std::vector<int32_t>(static_cast<size_t>(spf)));
    for (int c = 0; c < channels; ++c) {
        for (int i = 0; i < spf; ++i)
            planes.x[static_cast<size_t>(c)][static_cast<size_t>(i)] =
                pcm[static_cast<size_t>((frame * spf + i) * channels + c)];
        planes.at[c] = planes.x[static_cast<size_t>(c)].data();
    }
    return planes;
}

std::vector<int32_t> correlated(int frames, int channels, int bits, int spf) {
    const size_t n = static_cast<size_t>(frames) * static_cast<size_t>(spf);
    const auto base = tonal(n, 1, bits, 44100, 3);
    const auto own = tonal(n, channels, bits, 44100, 4);
    std::vector<int32_t> out(n * static_cast<size_t>(channels));
    for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c) {
            const size_t at = i * static_cast<size_t>(channels) + static_cast<size_t>(c);
            const bool silent = c == 1 && i / static_cast<size_t>(spf) % 5 == 2;
            out[at] = silent ? 0 : base[i] / 2 + own[at] / 3;
        }
    return out;
}

// Full-scale square waves of different periods: predictions overshoot, sums wrap, the
// histories clip.
std::vector<int32_t> extremes(int frames, int channels, int bits, int spf) {
    const int32_t hi = (int32_t{1} << (bits - 1)) - 1;
    const size_t n = static_cast<size_t>(frames) * static_cast<size_t>(spf);
    std::vector<int32_t> out(n * static_cast<size_t>(channels));
    for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c)
            out[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                (i / static_cast<size_t>(7 + 5 * c)) % 2 ? hi : -hi - 1;
    return out;
}

TEST(MultichannelLms, EveryChannelCountAndDepthDecodesExactly) {
    for (int bits : {16, 24})
        for (int channels : {1, 2, 3, 6, 8})
            for (const auto& [order, scaling] : {std::pair{2, 4}, std::pair{8, 12}}) {
                SCOPED_TRACE(testing::Message()
                             << bits << " bits, " << channels << " channels, mclms " << order);
                const auto f = format_for(channels, bits);
                const auto pcm = correlated(10, channels, bits, f.samples_per_frame);
                Schedule schedule{
                    {0, tools(order, scaling, {32, 16}, {bits == 16 ? 14 : 12, 10}, channels)},
                    {6, tools(order, scaling, {16}, {10}, channels)}};
                expect_decodes_to(encode_with(pcm, f, schedule).stream, f, pcm);
            }
}

TEST(MultichannelLms, LongestOrderAtExtremesWrapsLikeTheDecoder) {
    for (int bits : {16, 24})
        for (int channels : {2, 8}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " channels");
            const auto f = format_for(channels, bits);
            const auto pcm = extremes(6, channels, bits, f.samples_per_frame);
            Schedule schedule{{0, tools(32, 15, {16}, {15}, channels)}};
            expect_decodes_to(encode_with(pcm, f, schedule).stream, f, pcm);
        }
}

TEST(MultichannelLms, PredictsOneChannelFromAnother) {
    // The right channel is a delayed, scaled copy of the left: the cross-channel stage must
    // find it, and the stream must shrink.
    const auto f = format_for(2, 16);
    const size_t n = static_cast<size_t>(12 * f.samples_per_frame);
    const auto left = white_noise(n, 1, 12, 21);
    std::vector<int32_t> pcm(2 * n);
    for (size_t i = 0; i < n; ++i) {
        pcm[2 * i] = left[i];
        pcm[2 * i + 1] = i >= 3 ? left[i - 3] / 2 : 0;
    }
    auto without = tools(0, 0, {16}, {12}, 2);
    without.inter_channel = false;
    auto with = tools(8, 10, {16}, {12}, 2);
    with.inter_channel = false;
    const Coded plain = encode_with(pcm, f, {{0, without}});
    const Coded crossed = encode_with(pcm, f, {{0, with}});
    expect_decodes_to(crossed.stream, f, pcm);
    EXPECT_LT(crossed.bits, plain.bits * 9 / 10);
}

TEST(ToolChanges, DifferentCascadesAtEverySeekablePointDecodeExactly) {
    // The decoder clears the filters of the previous cascade when a new one is announced;
    // the counts go up and down, with and without the other stages.
    for (int bits : {16, 24}) {
        SCOPED_TRACE(bits);
        const auto f = format_for(2, bits);
        const auto pcm = correlated(12, 2, bits, f.samples_per_frame);
        auto bare = tools(0, 0, {16}, {12}, 2);
        bare.ac_order = 0;
        bare.inter_channel = false;
        Schedule schedule{
            {0, tools(0, 0, {64, 16, 16}, {13, 11, 9}, 2)},
            {2, tools(8, 12, {16}, {11}, 2)},
            {3, tools(0, 0, {256, 32, 16, 16}, {bits == 16 ? 15 : 12, 12, 10, 9}, 2)},
            {5, bare},
            {6, tools(2, 6, {32, 16}, {12, 10}, 2)},
            {9, tools(0, 0, {16, 16, 16, 16, 16, 16, 16, 16}, {8, 9, 10, 11, 12, 13, 14, 15}, 2)}};
        expect_decodes_to(encode_with(pcm, f, schedule).stream, f, pcm);
    }
}

TEST(ToolChanges, FixedAndFittedPredictorsDecodeExactly) {
    // The tools of single-frame restarts: fixed predictors of order 0 and 1 with and without
    // mid/side, and the multichannel stage with weights fitted to the frame and sent, between
    // adaptive cascades; the Rice speed is picked by each of these tiles.
    for (int bits : {16, 24})
        for (int channels : {1, 2, 6}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " channels");
            const auto f = format_for(channels, bits);
            const int spf = f.samples_per_frame;
            const auto pcm = correlated(10, channels, bits, spf);
            auto fitted = [&](int frame, bool mid_side) {
                wmal::TileParams p = wmal::fitted_tools(f, mid_side);
                const FramePlanes planes = frame_planes(pcm, channels, spf, frame);
                auto start = std::make_shared<wmal::McLmsStart>();
                EXPECT_TRUE(wmal::fit_mclms(planes.at, channels, spf, p.mclms_order, 0, *start));
                p.mclms_scaling = start->scaling;
                p.mclms_start = std::move(start);
                return p;
            };
            Schedule schedule{{0, tools(0, 0, {64, 16}, {13, 11}, channels)},
                              {2, wmal::fixed_tools(f, 0, false)},
                              {3, wmal::fixed_tools(f, 1, true)},
                              {4, fitted(4, false)},
                              {6, tools(0, 0, {16}, {12}, channels)},
                              {7, fitted(7, true)},
                              {8, wmal::fixed_tools(f, 1, false)}};
            const Coded coded = encode_with(pcm, f, schedule);
            expect_decodes_to(coded.stream, f, pcm);
        }
}

TEST(ToolChanges, FittedStageBehindAFittedPreFilterDecodesExactly) {
    // Loud 24-bit sound with most of its energy low: the multichannel stage fitted to it must
    // use a coarse scaling. A pre-filter fitted first takes the level down, and the stage
    // fitted behind it may use finer steps. Both kinds of stream decode exactly.
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        const auto f = format_for(channels, 24);
        const int spf = f.samples_per_frame;
        const int frames = 6;
        // A slow drift near full scale plus a sharp resonance: the drift is what the pre-filter
        // takes out, the resonance what the stage must predict closely.
        const auto drive = white_noise(static_cast<size_t>(frames * spf), channels, 12, 31);
        std::vector<int32_t> pcm(drive.size());
        std::vector<double> state(static_cast<size_t>(3 * channels));
        for (size_t i = 0; i < pcm.size(); ++i) {
            double* v = &state[3 * (i % static_cast<size_t>(channels))];
            v[0] = 0.999 * v[0] + drive[i] * 8.0;
            const double r = 1.8 * v[1] - 0.97 * v[2] + drive[i];
            v[2] = v[1];
            v[1] = r;
            pcm[i] = clamp_to(v[0] + r, 24);
        }
        auto fitted = [&](int frame, bool pre_filter) {
            wmal::TileParams p = wmal::fitted_tools(f, false);
            FramePlanes planes = frame_planes(pcm, channels, spf, frame);
            if (pre_filter) {
                EXPECT_TRUE(wmal::fit_prefilter(planes.at, channels, spf, 2, 1, 0, p));
                for (auto& channel : planes.x) {
                    int32_t history[wmal::kMaxAcOrder] = {};
                    wmal::apply_prefilter(channel.data(), spf, p, history);
                }
            }
            auto start = std::make_shared<wmal::McLmsStart>();
            EXPECT_TRUE(wmal::fit_mclms(planes.at, channels, spf, p.mclms_order, 0, *start));
            p.mclms_scaling = start->scaling;
            p.mclms_start = std::move(start);
            return p;
        };
        Schedule plain_fit;
        Schedule filtered_fit;
        for (int i = 0; i < frames; i += 2) {
            plain_fit[i] = fitted(i, false);
            filtered_fit[i] = fitted(i, true);
            EXPECT_GT(filtered_fit[i].mclms_scaling, plain_fit[i].mclms_scaling);
        }
        const Coded plain = encode_with(pcm, f, plain_fit);
        const Coded filtered = encode_with(pcm, f, filtered_fit);
        expect_decodes_to(plain.stream, f, pcm);
        expect_decodes_to(filtered.stream, f, pcm);
    }
}

TEST(ToolChoice, ChoosingAtEveryFrameDecodesExactly) {
    // A tiny seek interval makes every frame a seekable point, so the encoder tries its
    // candidates all the time; odd lengths end the stream with fewer frames queued than a
    // trial covers.
    for (int bits : {16, 24})
        for (int channels : {1, 2, 5, 8})
            for (int rate : {8000, 96000}) {
                SCOPED_TRACE(testing::Message()
                             << bits << " bits, " << channels << " channels, " << rate << " Hz");
                wmal::EncoderSettings s;
                s.sample_rate = rate;
                s.channels = channels;
                s.bits_per_sample = bits;
                s.seek_interval_ms = 1;
                const size_t frames = static_cast<size_t>(rate) / 6 + 123;
                auto pcm = tonal(frames, channels, bits, rate, 5);
                // A burst of noise half-way makes other tools win for a while.
                const auto noise = white_noise(frames, channels, bits, 6);
                std::copy(noise.begin() + static_cast<long>(pcm.size() / 2),
                          noise.begin() + static_cast<long>(pcm.size() * 3 / 5),
                          pcm.begin() + static_cast<long>(pcm.size() / 2));
                const EncodedStream stream = encode_pcm(pcm, s);
                const DecodedStream decoded = decode_packets(stream, rate, channels, bits);
                ASSERT_TRUE(decoded.ok) << decoded.error;
                EXPECT_EQ(decoded.problems, 0) << decoded.first_problem;
                EXPECT_TRUE(decoded.samples == pcm);
            }
}

TEST(ToolChoice, RestartsWhenTheSignalChangesBetweenSeekablePoints) {
    // With seekable points a minute apart only the first is due. Steady music needs no other;
    // when loud noise follows a pure tone, the encoder restarts with other tools in the
    // middle, so the two parts together cost no more than each coded on its own.
    for (int bits : {16, 24})
        for (int channels : {1, 2}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " channels");
            wmal::EncoderSettings s;
            s.channels = channels;
            s.bits_per_sample = bits;
            s.seek_interval_ms = 60000;
            const size_t part = 24 * 2048;
            const auto tone = tonal(2 * part, channels, bits, 44100, 3);
            const auto pure = pure_tone(part, channels, bits, 5);
            const auto noise = white_noise(part, channels, bits - 2, 4);
            auto changing = pure;
            changing.insert(changing.end(), noise.begin(), noise.end());
            auto seekable_packets = [](const EncodedStream& stream) {
                return std::count_if(stream.info.begin(), stream.info.end(),
                                     [](const wmal::Packet& p) { return p.seekable; });
            };
            const EncodedStream steady = encode_pcm(tone, s);
            const EncodedStream changed = encode_pcm(changing, s);
            const wmal::StreamFormat f = format_for(channels, bits);
            expect_decodes_to(steady, f, tone);
            expect_decodes_to(changed, f, changing);
            EXPECT_EQ(seekable_packets(steady), 1);
            // Coded apart, the noise starts afresh, so tools that went on from the tone
            // without a restart would cost more.
            const uint64_t apart = encode_pcm(pure, s).frame_bits + encode_pcm(noise, s).frame_bits;
            EXPECT_LE(changed.frame_bits, apart);
        }
}

TEST(ToolChoice, ChoicesBetweenSeekablePointsDecodeExactly) {
    // Faint noise, full-scale square waves and a loud tone take turns every few frames, so
    // the encoder keeps reconsidering its tools between seekable points, going on or
    // restarting; frames of many channels span packets. A decoder that starts at any
    // seekable packet, restarts included, resumes exactly.
    for (int bits : {16, 24})
        for (int channels : {1, 3, 8}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " channels");
            wmal::EncoderSettings s;
            s.channels = channels;
            s.bits_per_sample = bits;
            s.seek_interval_ms = 60000;
            const int spf = format_for(channels, bits).samples_per_frame;
            const size_t stretch = static_cast<size_t>(10 * spf + 300);
            const auto square = extremes(1, channels, bits, static_cast<int>(stretch));
            const auto tone = pure_tone(stretch, channels, bits, 8);
            std::vector<int32_t> pcm;
            for (int round = 0; round < 4; ++round) {
                const auto faint = white_noise(stretch, channels, 6, 20 + round);
                // Every kind of sound follows every other one.
                for (const auto* part : round % 2 == 0 ? std::array{&faint, &square, &tone}
                                                       : std::array{&tone, &faint, &square})
                    pcm.insert(pcm.end(), part->begin(), part->end());
            }
            const EncodedStream stream = encode_pcm(pcm, s);
            const wmal::StreamFormat f = format_for(channels, bits);
            expect_decodes_to(stream, f, pcm);
            // Only the first seekable point is due; the others are restarts.
            EXPECT_GE(std::count_if(stream.info.begin(), stream.info.end(),
                                    [](const wmal::Packet& p) { return p.seekable; }),
                      2);
            expect_resumes_at_seekable_packets(stream, f, pcm);
        }
}

TEST(ToolChoice, KeepsUpWithTheBestCandidateOnMixedMaterial) {
    // Tonal music, then a loud dithered sine sweep, then noise: the parts suit different
    // tools. The encoder's choices must do as well as the best fixed set of candidate tools
    // over the whole (give or take a packet), and better than the worst.
    for (int bits : {16, 24}) {
        SCOPED_TRACE(bits);
        const auto f = format_for(1, bits, 2048 + 2048 * (bits / 8));
        const size_t part = static_cast<size_t>(24 * f.samples_per_frame);
        std::vector<int32_t> pcm = tonal(part, 1, bits, 44100, 12);
        Lcg dither(9);
        double phase = 0;
        for (size_t i = 0; i < part; ++i) {
            phase += 2 * M_PI * (20.0 * std::pow(1000.0, static_cast<double>(i) / part)) / 44100;
            const double tpdf = (static_cast<double>(dither.next() >> 8) +
                                 static_cast<double>(dither.next() >> 8)) /
                                    (1 << 24) -
                                1.0;
            pcm.push_back(clamp_to(std::sin(phase) * std::ldexp(0.7, bits - 1) + tpdf, bits));
        }
        const auto noise = white_noise(part, 1, bits - 4, 13);
        pcm.insert(pcm.end(), noise.begin(), noise.end());

        wmal::EncoderSettings s;
        s.channels = 1;
        s.bits_per_sample = bits;
        s.packet_size = f.packet_size;
        const EncodedStream chosen = encode_pcm(pcm, s);
        expect_decodes_to(chosen, f, pcm);
        size_t worst = 0;
        for (const wmal::TileParams& candidate : wmal::candidate_tile_params(f)) {
            const size_t fixed = total_bytes(encode_with(pcm, f, {{0, candidate}}).stream);
            EXPECT_LE(total_bytes(chosen), fixed + static_cast<size_t>(f.packet_size));
            worst = std::max(worst, fixed);
        }
        EXPECT_LT(total_bytes(chosen), worst);
    }
}

// Frames of extremes, a tone and faint noise in turn, `frames` frames in all.
std::vector<int32_t> mixed(int frames, int channels, int bits, int spf) {
    const auto square = extremes(1, channels, bits, spf);
    const auto tone = tonal(static_cast<size_t>(spf), channels, bits, 44100, 21);
    std::vector<int32_t> pcm;
    for (int i = 0; i < frames; ++i) {
        const auto faint = white_noise(static_cast<size_t>(spf), channels, 8, 30 + i);
        const auto& part = i % 3 == 0 ? square : (i % 3 == 1 ? tone : faint);
        pcm.insert(pcm.end(), part.begin(), part.end());
    }
    return pcm;
}

TEST(CarriedCoefficients, SameToolsAtSeekablePointsDecodeExactly) {
    // Every seekable tile keeps the tools, so it sends the multichannel weights and those of
    // the cascade filters at scaling 14 and 15 as they stand; the filter at scaling 9 starts
    // afresh. Full-scale squares right after a restart push the first residues of the upper
    // channels past their raw field unless the carried cross weights are dropped.
    for (int bits : {16, 24})
        for (int channels : {1, 2, 3, 8}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " channels");
            const auto f = format_for(channels, bits);
            const auto pcm = mixed(10, channels, bits, f.samples_per_frame);
            const auto same = tools(2, 11, {16, 32, 16}, {15, 14, 9}, channels);
            const Schedule schedule{{0, same}, {1, same}, {2, same}, {3, same},
                                    {5, same}, {7, same}, {8, same}};
            expect_decodes_to(encode_with(pcm, f, schedule).stream, f, pcm);
        }
}

TEST(CarriedCoefficients, RestartsCostLittleMoreThanGoingOn) {
    // A steady tone, restarted at every frame with the same tools: with the coefficients
    // carried over, each restart costs little more than its header and the history it
    // rebuilds. Starting every frame from zero weights costs more (about 7% here, against
    // 2% with them carried).
    for (int bits : {16, 24}) {
        SCOPED_TRACE(bits);
        const auto f = format_for(2, bits);
        const int frames = 12;
        const auto pcm =
            tonal(static_cast<size_t>(frames * f.samples_per_frame), 2, bits, 44100, 17);
        const auto same = tools(2, 12, {16}, {15}, 2);
        Schedule every;
        for (int i = 0; i < frames; ++i)
            every[i] = same;
        const Coded restarted = encode_with(pcm, f, every);
        const Coded going_on = encode_with(pcm, f, {{0, same}});
        // Zero weights at every frame: tools of another shape at every other frame, so that
        // nothing can be carried.
        auto other = same;
        other.mclms_scaling = 11;
        other.lms_scaling[0] = 14;
        Schedule alternating;
        for (int i = 0; i < frames; ++i)
            alternating[i] = i % 2 ? other : same;
        const Coded cleared = encode_with(pcm, f, alternating);
        expect_decodes_to(restarted.stream, f, pcm);
        expect_decodes_to(cleared.stream, f, pcm);
        EXPECT_LT(restarted.bits, going_on.bits + going_on.bits / 25);
        EXPECT_LT(restarted.bits, cleared.bits);
    }
}

TEST(CarriedCoefficients, DecodingFromAnySeekablePacketResumesExactly) {
    // The weights a seekable tile carries over travel in its header, so a decoder that
    // starts there needs nothing from before.
    for (int bits : {16, 24})
        for (int channels : {2, 3}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " channels");
            wmal::EncoderSettings s;
            s.channels = channels;
            s.bits_per_sample = bits;
            s.packet_size = 4096;
            s.seek_interval_ms = 100;
            const auto pcm = tonal(44100, channels, bits, 44100, 23);
            const EncodedStream stream = encode_pcm(pcm, s);
            const wmal::StreamFormat f = format_for(channels, bits, 4096);
            expect_decodes_to(stream, f, pcm);
            EXPECT_GE(expect_resumes_at_seekable_packets(stream, f, pcm), 3);
        }
}

TEST(FittedPreFilterStreams, LoudSweepDecodesExactlyAndShrinks) {
    // A loud 24-bit (and 16-bit) sine sweep with a pre-filter fitted to each stretch between
    // seekable points: exact, and smaller than the same tools without it.
    for (int bits : {16, 24})
        for (int channels : {1, 2}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " channels");
            const auto f = format_for(channels, bits);
            const int spf = f.samples_per_frame;
            const int frames = 12;
            std::vector<int32_t> pcm;
            Lcg dither(4);
            double phase = 0;
            for (int i = 0; i < frames * spf; ++i) {
                phase += 2 * M_PI * (300.0 + 15000.0 * i / (frames * spf)) / 44100;
                for (int c = 0; c < channels; ++c) {
                    const double tpdf = (static_cast<double>(dither.next() >> 8) +
                                         static_cast<double>(dither.next() >> 8)) /
                                            (1 << 24) -
                                        1.0;
                    pcm.push_back(
                        clamp_to(std::ldexp(0.7, bits - 1) * std::sin(phase + c) + tpdf, bits));
                }
            }
            auto plain = tools(2, 10, {16, 16, 16}, {11, 13, 15}, channels);
            plain.ac_order = 0;
            Schedule fitted_schedule;
            Schedule plain_schedule;
            for (int start = 0; start < frames; start += 3) {
                std::vector<std::vector<int32_t>> planar(static_cast<size_t>(channels));
                const int32_t* ptrs[wmal::kMaxChannels];
                for (int c = 0; c < channels; ++c) {
                    for (int i = start * spf; i < (start + 3) * spf; ++i)
                        planar[static_cast<size_t>(c)].push_back(
                            pcm[static_cast<size_t>(i * channels + c)]);
                    ptrs[c] = planar[static_cast<size_t>(c)].data();
                }
                auto fitted = plain;
                ASSERT_TRUE(wmal::fit_prefilter(ptrs, channels, 3 * spf, 16, 1, 0, fitted));
                fitted_schedule[start] = fitted;
                plain_schedule[start] = plain;
            }
            const Coded with_filter = encode_with(pcm, f, fitted_schedule);
            expect_decodes_to(with_filter.stream, f, pcm);
            EXPECT_LT(with_filter.bits, encode_with(pcm, f, plain_schedule).bits);
        }
}

} // namespace
} // namespace wmal_test
