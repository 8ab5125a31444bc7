// Packets of the bit reservoir mode, and the rate control that keeps the reservoir in its
// bounds: every packet must hold the end of a frame, carry at most what its offset field can
// point past, and count at most 14 whole frames, or a decoder loses the stream.
#include "packetizer.h"
#include "rate_control.h"
#include "stream_params.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using namespace wma2;

struct Header {
    int index;
    int count;
    std::uint64_t offset;
};

Header ReadHeader(const CodedPacket& packet, int offset_bits) {
    BitWriter bits;
    for (const auto byte : packet.data) {
        bits.Put(byte, 8);
    }
    return {static_cast<int>(bits.Peek(0, 4)), static_cast<int>(bits.Peek(4, 4)),
            bits.Peek(8, offset_bits)};
}

// Feeds frames of the sizes `size(slot)` picks and checks every packet against the frame
// spans: the count is 1 + the frames that start and end in it, the offset is where the
// first frame that starts in it begins, and each packet has a frame end.
void CheckStream(const StreamParams& params, int packet_bytes, int frames,
                 const std::function<std::uint64_t(const FrameSlot&)>& size) {
    Packetizer packetizer(params, packet_bytes);
    const std::uint64_t payload = packetizer.payload_bits();
    std::vector<CodedPacket> packets;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> spans;
    std::vector<bool> explicit_sizes;
    std::uint64_t at = 0;
    for (int f = 0; f < frames; ++f) {
        const FrameSlot slot = packetizer.NextSlot();
        ASSERT_LE(slot.min_bits, slot.max_bits);
        const std::uint64_t bits = std::clamp(size(slot), slot.min_bits, slot.max_bits);
        BitWriter frame;
        for (std::uint64_t i = 0; i < bits; ++i) {
            frame.PutBit((i + at) % 3 == 0);
        }
        spans.emplace_back(at, at + bits);
        explicit_sizes.push_back(slot.explicit_sizes);
        at += bits;
        packetizer.AddFrame(frame, packets);
    }
    packetizer.Finish(packets);
    ASSERT_EQ(packets.size(), (at + payload - 1) / payload);
    std::int64_t frames_ended = 0;
    for (std::size_t p = 0; p < packets.size(); ++p) {
        SCOPED_TRACE(testing::Message() << "packet " << p);
        ASSERT_EQ(packets[p].data.size(), static_cast<std::size_t>(packet_bytes));
        const std::uint64_t start = p * payload;
        const std::uint64_t end = start + payload;
        int whole = 0;
        int ending = 0;
        std::uint64_t first_start = payload;
        bool found = false;
        for (std::size_t f = 0; f < spans.size(); ++f) {
            const auto [a, b] = spans[f];
            if (b > start && b <= end) {
                ++ending;
                whole += a >= start ? 1 : 0;
            }
            if (!found && a >= start && a < end) {
                first_start = a - start;
                found = true;
                EXPECT_TRUE(explicit_sizes[f]) << "the first frame starting here resets sizes";
            } else if (a >= start && a < end) {
                EXPECT_FALSE(explicit_sizes[f]);
            }
        }
        if (p + 1 < packets.size()) {
            EXPECT_GE(ending, 1) << "every packet must hold a frame end";
        }
        EXPECT_LE(whole, 14);
        const Header header = ReadHeader(packets[p], params.bit_offset_field_bits());
        EXPECT_EQ(header.index, static_cast<int>(p % 16));
        EXPECT_EQ(header.count, whole + 1);
        if (found) {
            EXPECT_EQ(header.offset, first_start);
        }
        EXPECT_LT(header.offset, std::uint64_t{1} << params.bit_offset_field_bits());
        EXPECT_EQ(packets[p].first_frame, frames_ended);
        EXPECT_EQ(packets[p].frames, ending);
        frames_ended += ending;
    }
}

TEST(Packetizer, FramesOfTheAverageSizeFillPacketsOfEightFrames) {
    const auto params = DeriveStreamParams(44100, 2, 128000);
    CheckStream(params, 5945, 100, [](const FrameSlot&) { return 5900; });
}

TEST(Packetizer, FramesOfAnySizeTheSlotsAllowKeepTheRules) {
    std::mt19937 random(11);
    for (const int kbps : {32, 128}) {
        const auto params = DeriveStreamParams(44100, 2, kbps * 1000);
        const int frame_bytes = kbps * 1000 * 2048 / 8 / 44100;
        for (const int frames_per_packet : {1, 3, 8}) {
            SCOPED_TRACE(testing::Message() << kbps << " kb/s " << frames_per_packet);
            CheckStream(params, frame_bytes * frames_per_packet + 5, 300,
                        [&](const FrameSlot& slot) {
                            // Mostly near the average, sometimes tiny, sometimes as large as
                            // the packets allow.
                            switch (random() % 4) {
                            case 0:
                                return static_cast<std::uint64_t>(random() % 40 + 1);
                            case 1:
                                return slot.max_bits;
                            default:
                                return static_cast<std::uint64_t>(frame_bytes * 8 / 2 +
                                                                  random() % (frame_bytes * 8));
                            }
                        });
        }
    }
}

TEST(Packetizer, ManyTinyFramesSpillIntoTheNextPacket) {
    const auto params = DeriveStreamParams(44100, 2, 128000);
    Packetizer packetizer(params, 5945);
    std::vector<CodedPacket> packets;
    bool forced = false;
    for (int f = 0; f < 20; ++f) {
        const FrameSlot slot = packetizer.NextSlot();
        if (f == 14) {
            // Fourteen whole frames in the first packet: the next one may not end there.
            EXPECT_EQ(slot.min_bits, slot.room_in_packet + 1);
            forced = true;
        }
        BitWriter frame;
        for (std::uint64_t i = 0; i < std::max<std::uint64_t>(slot.min_bits, 6); ++i) {
            frame.PutBit(false);
        }
        packetizer.AddFrame(frame, packets);
    }
    EXPECT_TRUE(forced);
    ASSERT_FALSE(packets.empty());
    EXPECT_EQ(ReadHeader(packets[0], params.bit_offset_field_bits()).count, 15);
}

TEST(RateControl, TheReservoirStaysWithinItsSizeWhateverTheFrames) {
    std::mt19937 random(3);
    const double budget = 5900;
    RateControl rate(budget, 4 * budget);
    double lowest = 0;
    double highest = 0;
    for (int frame = 0; frame < 2000; ++frame) {
        // Frames of very different difficulty: bits halve every 6 dB of offset.
        const double difficulty =
            budget * std::pow(4.0, (static_cast<int>(random() % 100) - 50) / 25.0);
        const bool silent = random() % 50 == 0;
        const auto bits = [&](int offset) {
            return silent
                       ? std::uint64_t{40}
                       : static_cast<std::uint64_t>(difficulty * std::pow(2.0, -offset / 6.0) + 40);
        };
        const FrameBounds bounds = rate.Bounds({1, 100000});
        const int offset = rate.ChooseOffset(bits, bounds, silent);
        // The frame coder fills up to the floor and never passes the ceiling.
        const std::uint64_t spent = std::clamp(bits(offset), bounds.min_bits, bounds.max_bits);
        rate.Spend(spent);
        lowest = std::min(lowest, rate.reservoir());
        highest = std::max(highest, rate.reservoir());
        ASSERT_GE(rate.reservoir(), -0.125 * rate.capacity() - 1.0);
        ASSERT_LE(rate.reservoir(), 0.875 * rate.capacity() + 1.0);
    }
    // It is used, not just kept at zero.
    EXPECT_LT(lowest, -0.06 * rate.capacity());
    EXPECT_GT(highest, 0.6 * rate.capacity());
    // The last frames share out what is saved, so the stream keeps its size.
    EXPECT_GE(static_cast<double>(rate.Bounds({1, 100000}, 2).min_bits),
              budget + rate.reservoir() / 2 - 1.0);
    EXPECT_GE(static_cast<double>(rate.Bounds({1, 100000}, 1).min_bits),
              budget + rate.reservoir() - 1.0);
}

TEST(RateControl, APacketCeilingBelowTheBudgetWins) {
    RateControl rate(5900, 4 * 5900.0);
    const FrameBounds bounds = rate.Bounds({1, 3000});
    EXPECT_EQ(bounds.max_bits, 3000u);
    const int offset = rate.ChooseOffset(
        [](int o) { return static_cast<std::uint64_t>(20000 * std::pow(2.0, -o / 6.0)); }, bounds,
        false);
    EXPECT_LE(20000 * std::pow(2.0, -offset / 6.0), 3000.0);
}

} // namespace
