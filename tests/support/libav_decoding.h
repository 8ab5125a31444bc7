// libavcodec's own decoders as the tests' independent reader: a coded stream goes in
// packet by packet, every decoded frame comes out to the caller, and every warning or error
// the decoder logs is counted. For the tests of the platform's encoders (WMA 2, WMA
// Lossless).
#pragma once

extern "C" {
#include <libavutil/frame.h>
}

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace test_support {

// What the container would tell the decoder.
struct CodecSetup {
    int codec_id = 0; // an AVCodecID
    int sample_rate = 0;
    int channels = 0;
    std::int64_t bit_rate = 0;
    int block_align = 0;
    int bits_per_coded_sample = 0;
    std::vector<std::uint8_t> extradata;
};

struct InputPacket {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    bool timed = false; // pts and duration below are set (in samples)
    std::int64_t pts = 0;
    std::int64_t duration = 0;
};

struct DecodeReport {
    bool ok = false;
    std::string error;
    int rejected = 0; // packets or frames the decoder refused (only when tolerated)
    int problems = 0; // warnings and errors the decoder logged
    std::string first_problem;
};

// Takes one decoded frame; false (with `error` set) ends the decode.
using FrameSink = std::function<bool(const AVFrame& frame, std::string& error)>;

// Feeds `packets` to the decoder one by one, then drains it. With `tolerate_errors` a
// packet or frame the decoder rejects is counted and skipped (as a player would) instead
// of ending the decode. Decodes run one at a time: the log is captured process-wide.
DecodeReport DecodeWithLibav(const CodecSetup& setup, const std::vector<InputPacket>& packets,
                             const FrameSink& sink, bool tolerate_errors = false);

} // namespace test_support
