// WMA Lossless (format tag 0x0163) encoder.
//
// Usage:
//   wmal::Encoder encoder;
//   wmal::EncoderSettings settings;            // sample rate, channels, 16 or 24 bits
//   settings.sample_rate = 44100;
//   settings.channels = 2;
//   if (encoder.configure(settings, [&](const wmal::Packet& p) { return mux(p); }) != ok) ...
//   // codec_data() and packet_size() describe the stream to a muxer (extradata, block_align);
//   // they are valid from configure() on.
//   encoder.push(samples, frames);             // interleaved PCM, any number of frames per call
//   encoder.flush();                           // end of stream: emits the last packets
//
// Every packet is exactly packet_size() bytes and goes to the sink in stream order, from
// inside push() or flush(). The sink returns false to abort; the encoder then reports
// Status::sink_failed and refuses further input. A decoder returns exactly the pushed samples,
// no more and no fewer, with no delay at the start.
//
// The encoder holds back up to four frames (frame_size() samples each): at every seekable
// point it codes them with a few sets of coding tools and keeps the smallest. When the sound
// changes markedly between seekable points it tries again, and restarts with other tools
// where that pays; each frame may also restart with a fixed predictor or one fitted to it,
// as a block coder would code it, where that is smaller. A restart at the first frame of a
// packet is a seekable point too, so seekable points come at least every seek_interval_ms,
// sometimes sooner. Memory use does not grow with the length of the stream.
//
// Timing for a muxer: Packet::timestamp is the position (samples per channel) of the first
// sample that decoding the packet yields, Packet::duration the number of samples it yields.
// A frame may span several packets, so some packets yield nothing (duration 0) and share
// their timestamp with the next one; containers that need strictly increasing timestamps
// must spread them (for example max(previous + 1, position)).
//
// Single-threaded: one encoder must not be used from two threads at once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace wmal {

struct EncoderSettings {
    int sample_rate = 44100;  // 8000 to 96000 Hz
    int channels = 2;         // 1 to 8
    int bits_per_sample = 16; // 16 or 24
    // WAVE speaker bits; its bit count must equal `channels`. 0 picks the usual layout.
    uint32_t channel_mask = 0;
    // Bytes per packet (the stream's block alignment), 64 to 32767; 0 picks a default.
    // Small packets force short frames.
    int packet_size = 0;
    // Distance between seekable points in milliseconds; a decoder that starts or seeks in
    // the middle of the stream resumes at the next one.
    int seek_interval_ms = 1000;
};

struct Packet {
    const uint8_t* data = nullptr; // valid only during the sink call
    size_t size = 0;               // always packet_size()
    int64_t timestamp = 0;         // samples per channel
    int64_t duration = 0;          // samples per channel
    bool seekable = false;         // decoding may start in this packet
};

enum class Status {
    ok,
    invalid_settings, // configure() refused the settings
    not_configured,   // push() or flush() before a successful configure()
    finished,         // push() after flush()
    invalid_samples,  // a sample outside the stream's bit depth
    sink_failed,      // the packet sink returned false
};

const char* status_text(Status status);

using PacketSink = std::function<bool(const Packet&)>;

// Told of every frame as it is sent: the position (samples per channel) of its first sample,
// the samples it yields and its size in bits (packet headers and padding not counted).
using FrameObserver = std::function<void(int64_t position, int samples, uint64_t bits)>;

class Encoder {
public:
    Encoder();
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // Starts a new stream; may be called again to start over.
    Status configure(const EncoderSettings& settings, PacketSink sink);
    // For measurements: reports each frame of the stream configured next (or now) to
    // `observer`.
    void observe_frames(FrameObserver observer);

    // Interleaved samples, `frames` samples per channel. The 16-bit form needs a 16-bit
    // stream. The 32-bit form takes right-aligned values that must fit the stream's depth
    // (-2^23 .. 2^23-1 for 24 bits).
    Status push(const int16_t* interleaved, size_t frames);
    Status push(const int32_t* interleaved, size_t frames);
    // Little-endian packed bytes, 2 or 3 per sample; a call may end inside a sample frame.
    Status push_bytes(const void* data, size_t bytes);

    // Encodes what is buffered and ends the stream. Calling it again does nothing.
    Status flush();

    // The 18 bytes of codec data (extradata) for the container.
    std::array<uint8_t, 18> codec_data() const;
    int packet_size() const;        // block_align
    int frame_size() const;         // samples per channel in a frame
    int64_t samples_pushed() const; // per channel
    int64_t bytes_written() const;  // packet bytes sent to the sink
    // Average bit rate of the packets so far; before the first packet a rough estimate.
    int64_t bit_rate() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace wmal
