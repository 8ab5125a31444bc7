#include "packetizer.h"

#include <algorithm>
#include <cassert>

namespace wma2 {
namespace {

constexpr int kPacketIndexBits = 4;
constexpr int kFrameCountBits = 4;

} // namespace

Packetizer::Packetizer(const StreamParams& params, int packet_bytes)
    : packet_bytes_(packet_bytes), offset_bits_(params.bit_offset_field_bits()),
      header_bits_(kPacketIndexBits + kFrameCountBits + offset_bits_),
      payload_bits_(static_cast<std::uint64_t>(packet_bytes) * 8 -
                    static_cast<std::uint64_t>(header_bits_)),
      max_carry_(std::min<std::uint64_t>(payload_bits_, (std::uint64_t{1} << offset_bits_) - 1)) {}

FrameSlot Packetizer::NextSlot() const {
    FrameSlot slot;
    const std::uint64_t packet = written_ / payload_bits_;
    const std::uint64_t packet_start = packet * payload_bits_;
    slot.room_in_packet = packet_start + payload_bits_ - written_;
    // Frames already started in this packet, and those of them that also end in it.
    int started = 0;
    for (const auto& frame : frames_) {
        if (frame.start >= packet_start) {
            ++started;
        }
    }
    slot.explicit_sizes = started == 0;
    const bool something_ended_here = written_ > packet_start;
    // A frame that opens a packet's payload has to end in that packet; one behind an
    // earlier frame end may run into the next packet as far as the offset field reaches.
    slot.max_bits = something_ended_here ? slot.room_in_packet + max_carry_ : slot.room_in_packet;
    slot.min_bits = started >= kMaxWholeFramesInPacket ? slot.room_in_packet + 1 : 1;
    return slot;
}

void Packetizer::AddFrame(const BitWriter& frame, std::vector<CodedPacket>& out) {
    assert(frame.size() >= NextSlot().min_bits && frame.size() <= NextSlot().max_bits);
    frames_.push_back({written_, written_ + frame.size()});
    pending_.Append(frame);
    written_ += frame.size();
    while (written_ >= static_cast<std::uint64_t>(next_packet_ + 1) * payload_bits_) {
        EmitPacket(out);
    }
}

void Packetizer::Finish(std::vector<CodedPacket>& out) {
    if (written_ > static_cast<std::uint64_t>(next_packet_) * payload_bits_) {
        EmitPacket(out);
    }
}

void Packetizer::EmitPacket(std::vector<CodedPacket>& out) {
    const std::uint64_t start = static_cast<std::uint64_t>(next_packet_) * payload_bits_;
    const std::uint64_t end = start + payload_bits_;
    int whole = 0; // frames that start and end in the packet
    int ending = 0;
    std::uint64_t offset = payload_bits_;
    bool offset_found = false;
    for (const auto& frame : frames_) {
        if (frame.start >= end) {
            break;
        }
        if (frame.end <= end) {
            ++ending;
            if (frame.start >= start) {
                ++whole;
            }
        }
        if (!offset_found && frame.start >= start) {
            offset = frame.start - start;
            offset_found = true;
        }
    }
    if (!offset_found) {
        // Only the end of a carried-over frame: point at that end.
        offset = std::min(frames_.front().end, end) - start;
    }
    assert(ending > 0 && whole <= kMaxWholeFramesInPacket);
    assert(offset < (std::uint64_t{1} << offset_bits_));

    BitWriter packet;
    packet.Put(static_cast<std::uint32_t>(next_packet_ & 15), kPacketIndexBits);
    packet.Put(static_cast<std::uint32_t>(whole + 1), kFrameCountBits);
    packet.Put(static_cast<std::uint32_t>(offset), offset_bits_);
    const std::uint64_t available = std::min(pending_.size(), payload_bits_);
    packet.Append(pending_, 0, available);
    while (packet.size() < static_cast<std::uint64_t>(packet_bytes_) * 8) {
        packet.Put(0, static_cast<int>(std::min<std::uint64_t>(
                          32, static_cast<std::uint64_t>(packet_bytes_) * 8 - packet.size())));
    }

    CodedPacket coded;
    coded.data = packet.Bytes();
    coded.first_frame = frames_done_;
    coded.frames = ending;
    out.push_back(std::move(coded));

    frames_done_ += ending;
    while (!frames_.empty() && frames_.front().end <= end) {
        frames_.pop_front();
    }
    // Keep the bits of the next packets; the payload size need not be a whole number of
    // bytes, so rebuild the pending string from the first bit of the next packet.
    if (pending_.size() > payload_bits_) {
        BitWriter rest;
        rest.Append(pending_, payload_bits_, pending_.size() - payload_bits_);
        pending_ = std::move(rest);
    } else {
        pending_.Clear();
    }
    ++next_packet_;
}

} // namespace wma2
