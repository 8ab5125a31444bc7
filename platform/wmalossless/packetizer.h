// Packs frames back to back into fixed-size packets. A frame may run on into later packets;
// each packet's header says how many of its first bits finish the frame begun before it.
#pragma once

#include <cstdint>
#include <functional>

#include "bit_writer.h"

namespace wmal {

struct PacketView {
    const uint8_t* data = nullptr;
    int size = 0;
    int64_t timestamp = 0; // samples per channel of the frames completed before this packet
    int64_t duration = 0;  // samples per channel of the frames completed in this packet
    bool seekable = false; // a frame that starts with a seekable tile begins here
};

class Packetizer {
public:
    using Sink = std::function<bool(const PacketView&)>;

    void configure(int packet_size, int length_bits, Sink sink);

    // True when a frame of `bits` bits appended now would start in one packet and end
    // exactly on the last bit of a later one, which the decoder cannot tell from a frame
    // that goes on; the caller lengthens such a frame.
    bool ends_on_later_boundary(uint64_t bits) const;

    // True when a frame appended now would be the first to begin in its packet. A decoder
    // that starts at that packet (after a seek) skips the continuation bits and begins with
    // this frame; a frame that begins before it would have to be decodable on its own.
    bool next_frame_leads_packet() const {
        return !open_ || !frame_begun_ || writer_.bit_count() == capacity_bits();
    }

    // Appends a frame whose last bit is its "more frames" flag (written as 1). Returns false
    // when the sink refused a packet.
    bool add_frame(const uint8_t* frame, uint64_t bits, int samples, bool seekable);

    // Pads the last packet with one-bits (at least `tail_bits` of them, adding one more packet
    // when needed) so that the decoder's final flush finds no frame there.
    bool finish(uint64_t tail_bits);

    int64_t packets_written() const { return packets_; }

private:
    uint64_t capacity_bits() const { return static_cast<uint64_t>(packet_size_) * 8; }
    uint64_t header_bits() const { return 6 + static_cast<uint64_t>(length_bits_); }
    void open_packet(uint64_t continuation);
    bool emit_packet();

    int packet_size_ = 0;
    int length_bits_ = 0;
    Sink sink_;
    BitWriter writer_;
    bool open_ = false;
    bool seekable_here_ = false;
    bool frame_begun_ = false; // a frame begins in the open packet
    unsigned sequence_ = 0;
    int64_t completed_ = 0;        // samples of all completed frames
    int64_t completed_before_ = 0; // ... before the open packet
    int64_t packets_ = 0;
};

} // namespace wmal
