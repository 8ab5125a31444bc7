// Test helpers: encode planar audio with wma2::Encoder, keep the packets, and decode them
// with libavcodec's own wmav2 decoder (libav_decoding.h), counting every warning or error
// it logs.
#pragma once

#include "encoder.h"
#include "tuning.h"

#include <cstdint>
#include <string>
#include <vector>

namespace wma2_test {

using Planes = std::vector<std::vector<float>>;

struct EncodedStream {
    wma2::EncoderSettings settings;
    std::array<std::uint8_t, 10> codec_data{};
    int packet_bytes = 0;
    int frame_size = 0;
    std::int64_t bit_rate = 0;
    std::vector<std::vector<std::uint8_t>> packets;
    std::vector<std::int64_t> timestamps;
    std::vector<std::int64_t> durations;
};

// Encodes `audio` (one vector per channel) pushed in pieces of `chunk` samples.
EncodedStream Encode(const wma2::EncoderSettings& settings, const Planes& audio,
                     const wma2::EncoderTuning& tuning = {}, std::size_t chunk = 4096);

struct DecodedStream {
    bool ok = false;
    std::string error;
    Planes audio;     // per channel
    int problems = 0; // warnings and errors the decoder logged
    std::string first_problem;
};

DecodedStream Decode(const EncodedStream& stream);

// Signal-to-noise ratio in dB of `decoded` against `reference` over [from, to).
double SnrDb(const std::vector<float>& reference, const std::vector<float>& decoded,
             std::size_t from, std::size_t to);

} // namespace wma2_test
