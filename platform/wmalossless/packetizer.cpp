#include "packetizer.h"

#include <utility>

namespace wmal {

void Packetizer::configure(int packet_size, int length_bits, Sink sink) {
    packet_size_ = packet_size;
    length_bits_ = length_bits;
    sink_ = std::move(sink);
    writer_.reserve_bits(capacity_bits());
    open_ = false;
    seekable_here_ = false;
    sequence_ = 0;
    completed_ = 0;
    completed_before_ = 0;
    packets_ = 0;
}

void Packetizer::open_packet(uint64_t continuation) {
    writer_.reset();
    writer_.put(sequence_ & 15u, 4);
    writer_.put(0, 1); // seekable frame flag, set when the packet is sent
    writer_.put(0, 1); // not spliced
    writer_.put(static_cast<uint32_t>(continuation), length_bits_);
    open_ = true;
    seekable_here_ = false;
    frame_begun_ = false;
    completed_before_ = completed_;
}

bool Packetizer::emit_packet() {
    uint8_t* data = writer_.mutable_data();
    writer_.finish();
    if (seekable_here_)
        data[0] |= 0x08;
    PacketView packet;
    packet.data = data;
    packet.size = packet_size_;
    packet.timestamp = completed_before_;
    packet.duration = completed_ - completed_before_;
    packet.seekable = seekable_here_;
    open_ = false;
    ++sequence_;
    ++packets_;
    return sink_(packet);
}

bool Packetizer::ends_on_later_boundary(uint64_t bits) const {
    const uint64_t payload = capacity_bits() - header_bits();
    uint64_t room = payload;
    if (open_)
        room = capacity_bits() - writer_.bit_count();
    if (room == 0)
        room = payload;
    return bits > room && (bits - room) % payload == 0;
}

bool Packetizer::add_frame(const uint8_t* frame, uint64_t bits, int samples, bool seekable) {
    if (open_ && writer_.bit_count() == capacity_bits() && !emit_packet())
        return false;
    if (!open_)
        open_packet(0);
    if (seekable && !frame_begun_)
        seekable_here_ = true;
    frame_begun_ = true;

    uint64_t room = capacity_bits() - writer_.bit_count();
    if (bits <= room) {
        if (bits == room) {
            // Nothing may follow a frame that fills the packet: clear its "more frames" bit.
            writer_.copy_bits(frame, 0, bits - 1);
            writer_.put(0, 1);
        } else {
            writer_.copy_bits(frame, 0, bits);
        }
        completed_ += samples;
        if (writer_.bit_count() == capacity_bits())
            return emit_packet();
        return true;
    }

    writer_.copy_bits(frame, 0, room);
    uint64_t done = room;
    const uint64_t payload = capacity_bits() - header_bits();
    while (true) {
        if (!emit_packet())
            return false;
        const uint64_t left = bits - done;
        if (left > payload) {
            open_packet(payload);
            writer_.copy_bits(frame, done, payload);
            done += payload;
            continue;
        }
        // left == payload cannot happen: the caller lengthens such frames.
        open_packet(left);
        writer_.copy_bits(frame, done, left);
        completed_ += samples;
        return true;
    }
}

bool Packetizer::finish(uint64_t tail_bits) {
    if (!open_)
        return true;
    const uint64_t room = capacity_bits() - writer_.bit_count();
    writer_.put_ones(room);
    if (!emit_packet())
        return false;
    if (room >= tail_bits)
        return true;
    open_packet(0);
    writer_.put_ones(capacity_bits() - writer_.bit_count());
    return emit_packet();
}

} // namespace wmal
