// Puts the packets an encoder library hands to its callback into the list of the call in
// progress. Outside a call there is no list, and the callback tells the library it failed.
#pragma once

#include "packet_encoder.h"

#include <utility>
#include <vector>

namespace writer {

class PacketCollector {
public:
    // For the library's callback: any packet type with data, size, timestamp and duration.
    template <class Packet> bool Take(const Packet& packet) {
        if (out_ == nullptr) {
            return false;
        }
        EncodedPacket encoded;
        encoded.data.assign(packet.data, packet.data + packet.size);
        encoded.pts = packet.timestamp;
        encoded.duration = packet.duration;
        out_->push_back(std::move(encoded));
        return true;
    }

    // Runs `call` (a call into the library) with its packets going to `out`.
    template <class Call> auto Into(std::vector<EncodedPacket>& out, Call&& call) {
        out_ = &out;
        auto result = std::forward<Call>(call)();
        out_ = nullptr;
        return result;
    }

private:
    std::vector<EncodedPacket>* out_ = nullptr;
};

} // namespace writer
