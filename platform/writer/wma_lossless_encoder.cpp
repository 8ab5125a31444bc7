#include "wma_lossless_encoder.h"
#include "core/error_description.h"
#include "packet_collector.h"

#include "platform/wmsdk.h"
#include "wmal_encoder.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

#include <algorithm>

namespace writer {
namespace {

constexpr int kMinPacketBytes = 64;
constexpr int kMaxPacketBytes = 32767;

class WmaLosslessEncoder final : public PacketEncoder {
public:
    HRESULT Open(const EncoderTarget& target, const PcmFormat& input) {
        wmal::EncoderSettings settings;
        settings.sample_rate = input.sampleRate;
        settings.channels = input.channels;
        settings.bits_per_sample = input.bitsPerSample;
        // The profile's block alignment is the packet size it asks for.
        settings.packet_size =
            target.blockAlign == 0
                ? 0
                : std::clamp<int>(target.blockAlign, kMinPacketBytes, kMaxPacketBytes);
        const auto sink = [this](const wmal::Packet& packet) { return packets_.Take(packet); };
        auto status = encoder_.configure(settings, sink);
        if (status != wmal::Status::ok && settings.packet_size != 0) {
            // A frame's length field is as wide as the packet size allows: the
            // built-in profile's packets are too small for the frames of many
            // channels of deep samples at high rates, so those get the
            // encoder's own, larger packets.
            settings.packet_size = 0;
            status = encoder_.configure(settings, sink);
        }
        if (status != wmal::Status::ok) {
            platform_core::SetErrorDescription(
                "WMA Lossless takes 1 to 8 channels of 16 or 24 bits at 8000 to 96000 Hz; the "
                "audio has " +
                std::to_string(input.channels) +
                (input.channels == 1 ? " channel of " : " channels of ") +
                std::to_string(input.bitsPerSample) + " bits at " +
                std::to_string(input.sampleRate) + " Hz");
            return NS_E_INVALID_OUTPUT_FORMAT;
        }
        blockAlign_ = input.BlockAlign();
        const auto codecData = encoder_.codec_data();
        info_.formatTag = WAVE_FORMAT_WMAUDIO_LOSSLESS;
        info_.codecId = AV_CODEC_ID_WMALOSSLESS;
        info_.sampleRate = input.sampleRate;
        info_.channels = input.channels;
        info_.blockAlign = encoder_.packet_size();
        info_.bitRate = encoder_.bit_rate();
        info_.bitsPerCodedSample = input.bitsPerSample;
        info_.frameSize = encoder_.frame_size();
        info_.packetBytes = encoder_.packet_size();
        info_.extradata.assign(codecData.begin(), codecData.end());
        return S_OK;
    }

    const EncodedStreamInfo& Info() const override { return info_; }

    HRESULT Encode(const BYTE* pcm, std::size_t frames, std::vector<EncodedPacket>& out) override {
        if (frames == 0) {
            return S_OK;
        }
        return Result(
            packets_.Into(out, [&] { return encoder_.push_bytes(pcm, frames * blockAlign_); }));
    }

    HRESULT Finish(std::vector<EncodedPacket>& out) override {
        return Result(packets_.Into(out, [&] { return encoder_.flush(); }));
    }

private:
    static HRESULT Result(wmal::Status status) {
        switch (status) {
        case wmal::Status::ok:
            return S_OK;
        case wmal::Status::invalid_samples:
            return NS_E_INVALID_DATA;
        default:
            return E_FAIL;
        }
    }

    wmal::Encoder encoder_;
    EncodedStreamInfo info_;
    std::size_t blockAlign_ = 0; // bytes per frame of the input
    PacketCollector packets_;
};

} // namespace

std::unique_ptr<PacketEncoder> CreateWmaLosslessEncoder(const EncoderTarget& target,
                                                        const PcmFormat& input, HRESULT* result) {
    return OpenPacketEncoder<WmaLosslessEncoder>(target, input, result);
}

} // namespace writer
