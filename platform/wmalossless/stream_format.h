// Stream-wide constants of a WMA Lossless stream: frame length, field widths, codec data.
#pragma once

#include <array>
#include <cstdint>

namespace wmal {

// Bit fields of the decode flags word in the codec data.
constexpr uint16_t kFlagFrameLengthMask = 0x0006;
constexpr uint16_t kFlagLengthPrefix = 0x0040;
// Bit 0 carries no meaning for decoders; the usual lossless streams set it.
constexpr uint16_t kFlagReserved0 = 0x0001;

constexpr int kMaxChannels = 8;
constexpr int kMaxLmsOrder = 256;
constexpr int kMaxLmsFilters = 8;
// Largest frame in bytes that a decoder buffers; frames stay below it.
constexpr int kMaxFrameBytes = 32768;
// Largest packet: the decoder keeps the unread rest of a packet in its frame buffer.
constexpr int kMaxPacketSize = kMaxFrameBytes - 1;
constexpr int kMinPacketSize = 64;
constexpr int kDefaultPacketSize = 16384;

struct StreamFormat {
    int sample_rate = 0;
    int channels = 0;
    int bits_per_sample = 0;
    uint32_t channel_mask = 0;
    int packet_size = 0;
    uint16_t decode_flags = 0;
    int samples_per_frame = 0;
    int length_bits = 0; // width of the frame length and continuation fields
    int skip_bits = 0;   // width of the start and end skip fields
};

// Frame length before the frame-length flags apply, from the sample rate.
int base_frame_length(int sample_rate);

// Frame length selected by the two frame-length bits of `decode_flags`.
int frame_length_for_flags(int sample_rate, uint16_t decode_flags);

// floor(log2(packet_size)) + 4.
int length_field_bits(int packet_size);

// floor(log2(v)) for v > 0.
int floor_log2(uint32_t v);

// The usual WAVE speaker mask for a channel count, 0 when there is none.
uint32_t default_channel_mask(int channels);

// The 18 bytes of codec data (extradata) that describe the stream to a decoder.
std::array<uint8_t, 18> make_codec_data(const StreamFormat& format);

} // namespace wmal
