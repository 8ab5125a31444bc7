// Packet layout corner cases, driven through the internal pieces so that a frame can be made
// to end exactly on a packet boundary, and judged by libavcodec's decoder.
#include <gtest/gtest.h>

#include "frame_assembler.h"
#include "libav_decode.h"
#include "packetizer.h"
#include "stream_format.h"
#include "test_signals.h"
#include "tile_encoder.h"
#include "tuning.h"

namespace wmal_test {
namespace {

constexpr int kFrames = 128;

wmal::StreamFormat mono_format(int packet_size) {
    wmal::StreamFormat f;
    f.sample_rate = 44100;
    f.channels = 1;
    f.bits_per_sample = 16;
    f.channel_mask = 4;
    f.packet_size = packet_size;
    f.decode_flags = wmal::kFlagLengthPrefix | (2 << 1); // half frames: 1024 samples
    f.samples_per_frame = wmal::frame_length_for_flags(44100, f.decode_flags);
    f.length_bits = wmal::length_field_bits(packet_size);
    f.skip_bits = wmal::floor_log2(static_cast<uint32_t>(2 * f.samples_per_frame));
    return f;
}

struct Outcome {
    EncodedStream stream;
    std::vector<int32_t> pcm;
    std::vector<uint64_t> frame_bits;
    int boundary_hits = 0;
};

// Encodes kFrames frames of 14-bit noise: coded frames of many different sizes, longer than
// a packet's payload for the smaller packet sizes (only such a frame can start in one packet
// and end exactly at the end of a later one). With `lengthen` false
// the encoder's protection against frames that end exactly on a later packet's last bit is off.
Outcome encode_frames(int packet_size, bool lengthen) {
    const wmal::StreamFormat f = mono_format(packet_size);
    Outcome out;
    out.pcm = white_noise(static_cast<size_t>(f.samples_per_frame) * kFrames, 1, 14, 77);
    out.stream.codec_data = wmal::make_codec_data(f);
    out.stream.packet_size = packet_size;
    out.stream.frame_size = f.samples_per_frame;
    wmal::Packetizer packetizer;
    packetizer.configure(packet_size, f.length_bits, [&](const wmal::PacketView& p) {
        out.stream.packets.emplace_back(p.data, p.data + p.size);
        return true;
    });
    wmal::TileEncoder<int16_t> tiles(1, 16, f.samples_per_frame);
    const wmal::TileParams params = wmal::default_tile_params(f);
    wmal::BitWriter tile;
    tile.reserve_bits(1 << 20);
    wmal::BitWriter frame;
    frame.reserve_bits(1 << 20);
    for (int i = 0; i < kFrames; ++i) {
        const int32_t* ch = out.pcm.data() + static_cast<size_t>(i) * f.samples_per_frame;
        tiles.encode(&ch, f.samples_per_frame, i == 0, params, tile);
        const uint64_t tile_bits = tile.bit_count();
        tile.finish();
        uint64_t bits =
            wmal::assemble_frame(frame, f, tile.data(), tile_bits, f.samples_per_frame, false);
        if (packetizer.ends_on_later_boundary(bits)) {
            ++out.boundary_hits;
            if (lengthen)
                bits = wmal::assemble_frame(frame, f, tile.data(), tile_bits, f.samples_per_frame,
                                            true);
        }
        frame.finish();
        out.frame_bits.push_back(bits);
        packetizer.add_frame(frame.data(), bits, f.samples_per_frame, i == 0);
    }
    packetizer.finish(64);
    return out;
}

// Finds a packet size for which some frame would end exactly on a later packet's last bit.
// Frame sizes do not depend on the packet size within 1024..2047 bytes (same length field),
// so the layout can be worked out from one run.
int packet_size_with_boundary_hit() {
    const std::vector<uint64_t> sizes = encode_frames(2047, true).frame_bits;
    for (int size = 1024; size < 2048; ++size) {
        const uint64_t payload = static_cast<uint64_t>(size) * 8 - 6 - 14;
        uint64_t start = 0;
        for (uint64_t bits : sizes) {
            const uint64_t room = payload - start % payload;
            if (bits > room && (bits - room) % payload == 0)
                return size;
            start += bits;
        }
    }
    return 0;
}

TEST(Packetizer, FrameEndingOnALaterPacketBoundaryIsLengthened) {
    const int size = packet_size_with_boundary_hit();
    ASSERT_NE(size, 0);

    const Outcome fixed = encode_frames(size, true);
    EXPECT_GT(fixed.boundary_hits, 0);
    const DecodedStream good = decode_packets(fixed.stream, 44100, 1, 16);
    ASSERT_TRUE(good.ok) << good.error;
    EXPECT_EQ(good.problems, 0) << good.first_problem;
    EXPECT_TRUE(good.samples == fixed.pcm);

    // Without the extra bits the decoder loses that frame: the case is real.
    const Outcome broken = encode_frames(size, false);
    const DecodedStream bad = decode_packets(broken.stream, 44100, 1, 16, true);
    EXPECT_FALSE(bad.ok && bad.samples == broken.pcm);
}

TEST(Packetizer, EveryPacketHasTheSizeAndASequenceNumber) {
    const Outcome out = encode_frames(1500, true);
    ASSERT_GT(out.stream.packets.size(), 3u);
    for (size_t i = 0; i < out.stream.packets.size(); ++i) {
        ASSERT_EQ(out.stream.packets[i].size(), 1500u);
        EXPECT_EQ(out.stream.packets[i][0] >> 4, static_cast<int>(i % 16));
    }
    const DecodedStream decoded = decode_packets(out.stream, 44100, 1, 16);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_TRUE(decoded.samples == out.pcm);
}

TEST(Packetizer, ShortTailGetsAPacketOfOnes) {
    // A tail shorter than the required one-bits is followed by one more packet of ones.
    wmal::Packetizer packetizer;
    std::vector<std::vector<uint8_t>> packets;
    packetizer.configure(100, wmal::length_field_bits(100), [&](const wmal::PacketView& p) {
        packets.emplace_back(p.data, p.data + p.size);
        return true;
    });
    std::vector<uint8_t> frame(200, 0);
    const uint64_t payload = 800 - 6 - static_cast<uint64_t>(wmal::length_field_bits(100));
    ASSERT_TRUE(packetizer.add_frame(frame.data(), payload - 10, 1, true));
    ASSERT_TRUE(packetizer.finish(64));
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[1][0] >> 4, 1);
    EXPECT_EQ(packets[1].back(), 0xFF);
    EXPECT_EQ(packets[0].back(), 0xFF);
}

} // namespace
} // namespace wmal_test
