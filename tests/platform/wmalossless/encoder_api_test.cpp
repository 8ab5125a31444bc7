// The encoder's contract towards its user: settings checks, input forms, errors, timing.
#include <gtest/gtest.h>

#include "libav_decode.h"
#include "test_signals.h"
#include "wmal_encoder.h"

namespace wmal_test {
namespace {

wmal::PacketSink accept_all() {
    return [](const wmal::Packet&) { return true; };
}

wmal::EncoderSettings stereo16() {
    return wmal::EncoderSettings{};
}

TEST(EncoderSettings, RefusesWhatCannotBeEncoded) {
    struct Bad {
        const char* what;
        wmal::EncoderSettings s;
    };
    std::vector<Bad> bad;
    auto add = [&](const char* what, auto change) {
        wmal::EncoderSettings s;
        change(s);
        bad.push_back({what, s});
    };
    add("rate too low", [](auto& s) { s.sample_rate = 7999; });
    add("rate too high", [](auto& s) { s.sample_rate = 96001; });
    add("no channels", [](auto& s) { s.channels = 0; });
    add("nine channels", [](auto& s) { s.channels = 9; });
    add("20 bits", [](auto& s) { s.bits_per_sample = 20; });
    add("mask with wrong bit count", [](auto& s) { s.channel_mask = 0x7; });
    add("packet too small", [](auto& s) { s.packet_size = 63; });
    add("packet too large", [](auto& s) { s.packet_size = 32768; });
    add("packet too small for a frame", [](auto& s) { s.packet_size = 1000; });
    add("no seek interval", [](auto& s) { s.seek_interval_ms = 0; });
    for (const Bad& b : bad) {
        wmal::Encoder encoder;
        EXPECT_EQ(encoder.configure(b.s, accept_all()), wmal::Status::invalid_settings) << b.what;
        const int16_t pcm[2] = {1, 2};
        EXPECT_EQ(encoder.push(pcm, 1), wmal::Status::not_configured) << b.what;
    }
    wmal::Encoder encoder;
    EXPECT_EQ(encoder.configure(stereo16(), nullptr), wmal::Status::invalid_settings);
}

TEST(EncoderSettings, CodecDataDescribesTheStream) {
    wmal::Encoder encoder;
    wmal::EncoderSettings s;
    s.sample_rate = 48000;
    s.channels = 6;
    s.bits_per_sample = 24;
    ASSERT_EQ(encoder.configure(s, accept_all()), wmal::Status::ok);
    const auto data = encoder.codec_data();
    EXPECT_EQ(data[0] | (data[1] << 8), 24);
    EXPECT_EQ(data[2] | (data[3] << 8) | (data[4] << 16) | (data[5] << 24), 0x3F);
    const int flags = data[14] | (data[15] << 8);
    EXPECT_EQ(flags & 0x40, 0x40) << "frames carry a length prefix";
    EXPECT_EQ(flags & 0x100, 0) << "no bV3RTM";
    EXPECT_GT(encoder.packet_size(), 0);
    EXPECT_LE(encoder.packet_size(), 32767);
    EXPECT_GE(encoder.frame_size(), 128);

    s.channel_mask = 0x107; // 4 channels
    s.channels = 4;
    ASSERT_EQ(encoder.configure(s, accept_all()), wmal::Status::ok);
    const auto custom = encoder.codec_data();
    EXPECT_EQ(custom[2] | (custom[3] << 8), 0x107);
}

TEST(EncoderInput, ByteStreamSplitAnywhereGivesTheSameStream) {
    for (int bits : {16, 24}) {
        SCOPED_TRACE(bits);
        wmal::EncoderSettings s;
        s.bits_per_sample = bits;
        const auto pcm = tonal(44100 + 999, 2, bits, 44100, 21);
        const int width = bits / 8;
        std::vector<uint8_t> bytes;
        for (int32_t v : pcm)
            for (int b = 0; b < width; ++b)
                bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * b)));

        EncodedStream whole;
        wmal::Encoder a;
        ASSERT_EQ(a.configure(s, collect_into(whole)), wmal::Status::ok);
        ASSERT_EQ(a.push(pcm.data(), pcm.size() / 2), wmal::Status::ok);
        ASSERT_EQ(a.flush(), wmal::Status::ok);

        EncodedStream split;
        wmal::Encoder b;
        ASSERT_EQ(b.configure(s, collect_into(split)), wmal::Status::ok);
        Lcg rng(5);
        for (size_t done = 0; done < bytes.size();) {
            const size_t n = std::min<size_t>(bytes.size() - done, 1 + rng.next() % 1500);
            ASSERT_EQ(b.push_bytes(bytes.data() + done, n), wmal::Status::ok);
            done += n;
        }
        ASSERT_EQ(b.flush(), wmal::Status::ok);
        EXPECT_EQ(whole.packets, split.packets);
        EXPECT_EQ(b.samples_pushed(), static_cast<int64_t>(pcm.size() / 2));
    }
}

TEST(EncoderInput, RefusesSamplesOutsideTheBitDepth) {
    wmal::Encoder encoder;
    wmal::EncoderSettings s;
    s.bits_per_sample = 24;
    ASSERT_EQ(encoder.configure(s, accept_all()), wmal::Status::ok);
    const int32_t too_big[4] = {0, 1, 1 << 23, 0};
    EXPECT_EQ(encoder.push(too_big, 2), wmal::Status::invalid_samples);
    EXPECT_EQ(encoder.samples_pushed(), 0) << "a refused call takes nothing";
    const int32_t fine[4] = {-(1 << 23), (1 << 23) - 1, 0, 0};
    EXPECT_EQ(encoder.push(fine, 2), wmal::Status::ok);
    const int16_t wrong_form[2] = {0, 0};
    EXPECT_EQ(encoder.push(wrong_form, 1), wmal::Status::invalid_samples);

    wmal::Encoder encoder16;
    ASSERT_EQ(encoder16.configure(stereo16(), accept_all()), wmal::Status::ok);
    const int32_t over16[2] = {32768, 0};
    EXPECT_EQ(encoder16.push(over16, 1), wmal::Status::invalid_samples);
}

TEST(EncoderLifecycle, PushAfterFlushIsRefusedAndFlushIsIdempotent) {
    EncodedStream stream;
    wmal::Encoder encoder;
    ASSERT_EQ(encoder.configure(stereo16(), collect_into(stream)), wmal::Status::ok);
    const auto pcm = to_int16(tonal(5000, 2, 16, 44100, 1));
    ASSERT_EQ(encoder.push(pcm.data(), 5000), wmal::Status::ok);
    ASSERT_EQ(encoder.flush(), wmal::Status::ok);
    const size_t packets = stream.packets.size();
    EXPECT_EQ(encoder.flush(), wmal::Status::ok);
    EXPECT_EQ(stream.packets.size(), packets);
    EXPECT_EQ(encoder.push(pcm.data(), 1), wmal::Status::finished);

    // configure() starts a fresh stream on the same object.
    EncodedStream second;
    ASSERT_EQ(encoder.configure(stereo16(), collect_into(second)), wmal::Status::ok);
    ASSERT_EQ(encoder.push(pcm.data(), 5000), wmal::Status::ok);
    ASSERT_EQ(encoder.flush(), wmal::Status::ok);
    EXPECT_EQ(second.packets, stream.packets);
}

TEST(EncoderLifecycle, SinkFailureStopsTheStream) {
    int calls = 0;
    wmal::Encoder encoder;
    ASSERT_EQ(encoder.configure(stereo16(),
                                [&](const wmal::Packet&) {
                                    ++calls;
                                    return calls < 2;
                                }),
              wmal::Status::ok);
    const auto pcm = to_int16(white_noise(44100 * 2, 2, 16, 1));
    EXPECT_EQ(encoder.push(pcm.data(), 44100 * 2), wmal::Status::sink_failed);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(encoder.push(pcm.data(), 10), wmal::Status::sink_failed);
    EXPECT_EQ(encoder.flush(), wmal::Status::sink_failed);
    EXPECT_EQ(calls, 2);
}

TEST(EncoderTiming, TimestampsAndDurationsCoverEverySample) {
    for (int packet_size : {0, 2048}) {
        SCOPED_TRACE(packet_size);
        wmal::EncoderSettings s;
        s.packet_size = packet_size;
        EncodedStream stream;
        wmal::Encoder encoder;
        ASSERT_EQ(encoder.configure(s, collect_into(stream)), wmal::Status::ok);
        const size_t frames = 44100 * 3 + 17;
        const auto pcm = to_int16(white_noise(frames, 2, 16, 8));
        ASSERT_EQ(encoder.push(pcm.data(), frames), wmal::Status::ok);
        ASSERT_EQ(encoder.flush(), wmal::Status::ok);
        int64_t position = 0;
        for (const wmal::Packet& p : stream.info) {
            EXPECT_EQ(p.size, static_cast<size_t>(encoder.packet_size()));
            EXPECT_EQ(p.timestamp, position);
            position += p.duration;
        }
        EXPECT_EQ(position, static_cast<int64_t>(frames));
        EXPECT_TRUE(stream.info.front().seekable);
        EXPECT_EQ(encoder.bytes_written(),
                  static_cast<int64_t>(stream.packets.size()) * encoder.packet_size());
    }
}

TEST(EncoderTiming, ObservedFramesCoverEverySampleAndFitThePackets) {
    struct Frame {
        int64_t position;
        int samples;
        uint64_t bits;
    };
    std::vector<Frame> frames;
    wmal::Encoder encoder;
    // Set before configure, as the observer carries over to the stream configured next.
    encoder.observe_frames([&](int64_t position, int samples, uint64_t bits) {
        frames.push_back({position, samples, bits});
    });
    EncodedStream stream;
    ASSERT_EQ(encoder.configure(stereo16(), collect_into(stream)), wmal::Status::ok);
    const size_t length = 44100 * 2 + 5;
    const auto pcm = to_int16(tonal(length, 2, 16, 44100, 9));
    ASSERT_EQ(encoder.push(pcm.data(), length), wmal::Status::ok);
    ASSERT_EQ(encoder.flush(), wmal::Status::ok);
    ASSERT_FALSE(frames.empty());
    int64_t position = 0;
    uint64_t bits = 0;
    for (const Frame& f : frames) {
        EXPECT_EQ(f.position, position);
        EXPECT_GT(f.bits, 0u);
        position += f.samples;
        bits += f.bits;
    }
    EXPECT_EQ(position, static_cast<int64_t>(length));
    EXPECT_LE(bits, static_cast<uint64_t>(encoder.bytes_written()) * 8);
    EXPECT_GT(bits, static_cast<uint64_t>(encoder.bytes_written() - encoder.packet_size()) * 8);
}

TEST(EncoderSeeking, DecodingFromASeekablePacketResumesExactly) {
    // A decoder that starts at a packet marked seekable must produce the input from the
    // start of a frame on, bit-exact: the seekable tile restarts all adaptive state.
    wmal::EncoderSettings s;
    s.seek_interval_ms = 500;
    EncodedStream stream;
    wmal::Encoder encoder;
    ASSERT_EQ(encoder.configure(s, collect_into(stream)), wmal::Status::ok);
    const size_t frames = 44100 * 6;
    const auto pcm = tonal(frames, 2, 16, 44100, 31);
    const auto pcm16 = to_int16(pcm);
    ASSERT_EQ(encoder.push(pcm16.data(), frames), wmal::Status::ok);
    ASSERT_EQ(encoder.flush(), wmal::Status::ok);
    stream.codec_data = encoder.codec_data();
    stream.packet_size = encoder.packet_size();

    int checked = 0;
    for (size_t start = 1; start < stream.packets.size(); ++start) {
        if (!stream.info[start].seekable)
            continue;
        EncodedStream tail = stream;
        tail.packets.erase(tail.packets.begin(), tail.packets.begin() + static_cast<long>(start));
        const DecodedStream decoded = decode_packets(tail, 44100, 2, 16, true);
        ASSERT_TRUE(decoded.ok) << decoded.error;
        ASSERT_FALSE(decoded.samples.empty());
        ASSERT_LE(decoded.samples.size(), pcm.size());
        const size_t offset = pcm.size() - decoded.samples.size();
        EXPECT_EQ(offset % (2 * static_cast<size_t>(encoder.frame_size())), 0u);
        EXPECT_TRUE(std::equal(decoded.samples.begin(), decoded.samples.end(),
                               pcm.begin() + static_cast<long>(offset)))
            << "resumed at packet " << start << " offset " << offset / 2 << " decoded "
            << decoded.samples.size() / 2 << " rejected " << decoded.rejected << " mismatch at "
            << (std::mismatch(decoded.samples.begin(), decoded.samples.end(),
                              pcm.begin() + static_cast<long>(offset))
                    .first -
                decoded.samples.begin()) /
                   2;
        ++checked;
    }
    EXPECT_GE(checked, 3);
}

} // namespace
} // namespace wmal_test
