// Test helpers: decode an encoded stream with libavcodec's own WMA Lossless decoder, and
// collect what an encoder produced.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "wmal_encoder.h"

namespace wmal_test {

struct EncodedStream {
    std::array<uint8_t, 18> codec_data{};
    int packet_size = 0;
    int frame_size = 0;
    std::vector<std::vector<uint8_t>> packets;
    std::vector<wmal::Packet> info; // data pointers cleared; timing only
    uint64_t frame_bits = 0;        // of all frames (encode_pcm only)
};

// Decoded samples, interleaved, right-aligned (24-bit values in -2^23..2^23-1).
struct DecodedStream {
    bool ok = false;
    std::string error;
    int channels = 0;
    int sample_rate = 0;
    std::vector<int32_t> samples;
    int rejected = 0; // packets or frames the decoder refused (only with tolerate_errors)
    int problems = 0; // warnings and errors the decoder logged
    std::string first_problem;
};

// Feeds the packets one by one to avcodec's "wmalossless" decoder, then drains it. With
// `tolerate_errors` a packet the decoder rejects is skipped (as a player would) instead of
// ending the decode.
DecodedStream decode_packets(const EncodedStream& stream, int sample_rate, int channels,
                             int bits_per_sample, bool tolerate_errors = false);

// A sink for wmal::Encoder that copies every packet into `stream`.
wmal::PacketSink collect_into(EncodedStream& stream);

// Encodes interleaved `pcm` with a wmal::Encoder, pushed in chunks of `chunk` sample frames
// (16-bit streams through the 16-bit input form), and flushes.
EncodedStream encode_pcm(const std::vector<int32_t>& pcm, const wmal::EncoderSettings& s,
                         size_t chunk = 1000);

} // namespace wmal_test
