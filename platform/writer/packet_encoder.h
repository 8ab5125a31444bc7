// The seam between the file writer and the audio codecs: an encoder takes the
// pushed 16-bit PCM and hands back codec packets with their timestamps and the
// codec parameters the container needs. Codecs register a factory per wave
// format tag, so further encoders plug in without touching the writer.
#pragma once

#include "platform/win32_types.h"

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace writer {

// Interleaved signed little-endian PCM as it arrives at the writer's input:
// 16 bits, or 24 bits (three bytes a sample) for a lossless profile.
struct PcmFormat {
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 16;
    std::size_t BlockAlign() const {
        return static_cast<std::size_t>(channels) * (bitsPerSample / 8);
    }
};

// What the profile asks for.
struct EncoderTarget {
    WORD formatTag = 0;
    int sampleRate = 0;
    int channels = 0;
    DWORD bitrate = 0;
    WORD blockAlign = 0;
    std::vector<BYTE> codecData;
};

// What the container writes into the stream's header.
struct EncodedStreamInfo {
    WORD formatTag = 0;
    int codecId = 0; // libavcodec's AVCodecID
    int sampleRate = 0;
    int channels = 0;
    int blockAlign = 0;
    std::int64_t bitRate = 0;
    int bitsPerCodedSample = 16;
    int frameSize = 0;   // samples per codec frame
    int packetBytes = 0; // the largest packet the encoder hands out
    std::vector<BYTE> extradata;
};

struct EncodedPacket {
    std::vector<BYTE> data;
    std::int64_t pts = 0;      // in samples at the stream's rate
    std::int64_t duration = 0; // in samples at the stream's rate
};

class PacketEncoder {
public:
    virtual ~PacketEncoder() = default;
    virtual const EncodedStreamInfo& Info() const = 0;
    // Encodes whole frames of PCM in the input format; finished packets are
    // appended to `out`. Failures are result codes of the format runtime.
    virtual HRESULT Encode(const BYTE* pcm, std::size_t frames,
                           std::vector<EncodedPacket>& out) = 0;
    // Encodes what is still buffered; after it, every pushed sample is in a packet.
    virtual HRESULT Finish(std::vector<EncodedPacket>& out) = 0;
};

// Makes an encoder, or sets *result to a failure code and answers null.
using PacketEncoderFactory = std::unique_ptr<PacketEncoder> (*)(const EncoderTarget& target,
                                                                const PcmFormat& input,
                                                                HRESULT* result);

// The factory of an encoder class with an Open(target, input) that answers a
// result code: a new encoder that opened, or null with the failure.
template <class Encoder>
std::unique_ptr<PacketEncoder> OpenPacketEncoder(const EncoderTarget& target,
                                                 const PcmFormat& input, HRESULT* result) {
    try {
        auto encoder = std::make_unique<Encoder>();
        *result = encoder->Open(target, input);
        if (FAILED(*result)) {
            return nullptr;
        }
        return encoder;
    } catch (const std::bad_alloc&) {
        *result = E_OUTOFMEMORY;
        return nullptr;
    }
}

// Adds (or with null removes) the factory for a format tag. The libavcodec
// encoders for tags 0x160 and 0x161 and the lossless encoder for 0x163 are
// there from the start.
void RegisterPacketEncoderFactory(WORD formatTag, PacketEncoderFactory factory);

// An encoder for the target; NS_E_INVALID_OUTPUT_FORMAT for a format no
// registered codec writes or a target the codec refuses.
std::unique_ptr<PacketEncoder> CreatePacketEncoder(const EncoderTarget& target,
                                                   const PcmFormat& input, HRESULT* result);

// Whether an encoder can be made for the target from PCM in the input format:
// S_OK or the failure code (with the encoder's reason as the thread's error
// object, where it gave one). A target and input an encoder was made for
// before, with the same factory, are not tried again.
HRESULT CheckEncoder(const EncoderTarget& target, const PcmFormat& input);

// CheckEncoder with PCM already in the target's rate and channel count.
HRESULT CheckEncodable(const EncoderTarget& target);

// Why no encoder writes the target, in words: the codec and what it was asked for.
std::string DescribeUnencodable(const EncoderTarget& target);

} // namespace writer
