// Cuts the continuous stream of frames into packets of a fixed size (the bit reservoir
// mode): each packet has a header (packet index, frame count, offset of the first frame
// that starts in it) and then the next slice of frame bits, so a frame may begin in one
// packet and end in the next.
//
// A decoder can only follow the stream when every packet holds the end of at least one
// frame, when the part of a frame carried over into the next packet fits the offset field,
// and when no more than 14 frames start and end in one packet. NextSlot() says how long the
// next frame may and must be for that; the frame encoder keeps to it.
#pragma once

#include "bit_writer.h"
#include "stream_params.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace wma2 {

// The frame count field of a packet holds 1 + the frames that start and end in it.
inline constexpr int kMaxWholeFramesInPacket = 14;

struct FrameSlot {
    bool explicit_sizes = false; // the first frame that starts in its packet
    std::uint64_t min_bits = 1;
    std::uint64_t max_bits = 0;
    std::uint64_t room_in_packet = 0; // bits left in the packet the frame starts in
};

struct CodedPacket {
    std::vector<std::uint8_t> data; // exactly the packet size
    std::int64_t first_frame = 0;   // index of the first frame that ends in it
    int frames = 0;                 // frames that end in it
};

class Packetizer {
public:
    Packetizer(const StreamParams& params, int packet_bytes);

    FrameSlot NextSlot() const;
    // Appends a frame that keeps to NextSlot(); packets it completes go to `out`.
    void AddFrame(const BitWriter& frame, std::vector<CodedPacket>& out);
    // Pads the last packet with zeros and hands it out.
    void Finish(std::vector<CodedPacket>& out);

    int packet_bytes() const { return packet_bytes_; }
    std::uint64_t payload_bits() const { return payload_bits_; }
    int header_bits() const { return header_bits_; }
    std::uint64_t stream_bits() const { return written_; }
    std::int64_t packets_out() const { return next_packet_; }
    // Frames whose end lies in the packets handed out so far.
    std::int64_t frames_out() const { return frames_done_; }

    // Largest frame fraction the packets allow behind an earlier frame: what the offset
    // field can point past.
    std::uint64_t max_carry_bits() const { return max_carry_; }

private:
    struct FrameSpan {
        std::uint64_t start;
        std::uint64_t end;
    };
    void EmitPacket(std::vector<CodedPacket>& out);

    int packet_bytes_;
    int offset_bits_;
    int header_bits_;
    std::uint64_t payload_bits_;
    std::uint64_t max_carry_;
    BitWriter pending_;            // payload bits from packet next_packet_ on
    std::deque<FrameSpan> frames_; // frames that end in or after packet next_packet_
    std::uint64_t written_ = 0;    // payload bits of all frames so far
    std::int64_t next_packet_ = 0;
    std::int64_t frames_done_ = 0; // frames whose end lies in emitted packets
};

} // namespace wma2
