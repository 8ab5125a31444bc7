// Windows Media Audio 2 (format tag 0x0161) encoder with a hearing model.
//
// Usage:
//   wma2::Encoder encoder;
//   wma2::EncoderSettings settings{44100, 2, 128000, 0};
//   if (encoder.Configure(settings, sink) != wma2::Status::kOk) ...
//   // CodecData() and PacketBytes() describe the stream to a muxer (extradata, block_align)
//   encoder.Push(planes, frames);   // planar float samples, +-1.0 full scale
//   encoder.Finish();               // codes what is buffered and the end of the stream
//
// Packets of exactly PacketBytes() bytes go to the sink in stream order, from inside Push()
// or Finish(); the sink returns false to abort. The stream keeps the declared bit rate:
// every packet has the same size, and the frames in them borrow from and lend to each other
// through the bit reservoir.
//
// Timing: a decoder that drops the first 2 frames of output (as libavcodec's does) returns
// the pushed samples from its first output sample on, then less than two frames more. The
// end comes from the decoder's last output, the overlap of the last frame without a
// partner: it is exact for the first 960 samples of a 2048-sample frame (15/32 of a frame
// at any rate); a track that leaves more than that in its last frame gets one frame more.
// Packet::timestamp is the position (samples per channel) of the first sample that
// decoding the packet yields, counted from the first pushed sample (the first packets
// begin two frames early, with the lead-in the decoder drops), Packet::duration how many
// it yields up to the end of the pushed audio.
//
// Single-threaded: one encoder must not be used from two threads at once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace wma2 {

struct EncoderTuning;

struct EncoderSettings {
    int sample_rate = 44100;
    int channels = 2;
    std::int64_t bit_rate = 128000; // bits per second; rounded down to whole bytes
    // Bytes per packet (the stream's block alignment); 0 picks about 8 frames' worth.
    // Clamped to at least one frame's worth and at most 16384; more than 14 frames' worth
    // is refused (a packet holds the ends of at most 15 frames).
    int packet_bytes = 0;
};

struct Packet {
    const std::uint8_t* data = nullptr; // valid only during the sink call
    std::size_t size = 0;
    std::int64_t timestamp = 0;
    std::int64_t duration = 0;
};

enum class Status {
    kOk,
    kInvalidSettings, // Configure() refused the settings (see SettingsProblem)
    kNotConfigured,
    kFinished,       // Push() after Finish()
    kInvalidSamples, // NaN or infinite input
    kSinkFailed,
    kInternalError, // a frame would break the packets' rules: nothing more is written
};

using PacketSink = std::function<bool(const Packet&)>;

// Empty when the settings can be encoded; otherwise one line naming the limit.
std::string SettingsProblem(const EncoderSettings& settings);

class Encoder {
public:
    Encoder();
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    Status Configure(const EncoderSettings& settings, PacketSink sink);
    // The same with other tuning (tuning.h): for measurements and tests.
    Status Configure(const EncoderSettings& settings, PacketSink sink, const EncoderTuning& tuning);
    // `planes[ch]` holds `frames` samples of channel ch.
    Status Push(const float* const* planes, std::size_t frames);
    Status Finish();

    // The 10 bytes of codec data (extradata) for the container.
    std::array<std::uint8_t, 10> CodecData() const;
    int PacketBytes() const;
    int FrameSize() const;
    std::int64_t BitRate() const; // as declared in the container

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace wma2
