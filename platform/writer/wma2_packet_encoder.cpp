#include "wma2_packet_encoder.h"

#include "encoder.h"
#include "packet_collector.h"
#include "pcm_resampler.h"
#include "stream_params.h"

#include "platform/wmsdk.h"

#include <array>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libswresample/swresample.h>
}

namespace writer {
namespace {

wma2::EncoderSettings SettingsFor(const EncoderTarget& target) {
    wma2::EncoderSettings settings;
    settings.sample_rate = target.sampleRate;
    settings.channels = target.channels;
    settings.bit_rate = static_cast<std::int64_t>(target.bitrate);
    // The profile's block alignment is the packet size it asks for.
    settings.packet_bytes = target.blockAlign;
    return settings;
}

class Wma2PacketEncoder final : public PacketEncoder {
public:
    ~Wma2PacketEncoder() override { swr_free(&resampler_); }

    HRESULT Open(const EncoderTarget& target, const PcmFormat& input) {
        if (!Wma2TargetProblem(target).empty() || input.channels <= 0 || input.sampleRate <= 0 ||
            input.bitsPerSample != 16) {
            return NS_E_INVALID_OUTPUT_FORMAT;
        }
        if (encoder_.Configure(SettingsFor(target), [this](const wma2::Packet& packet) {
                return packets_.Take(packet);
            }) != wma2::Status::kOk) {
            return NS_E_INVALID_OUTPUT_FORMAT;
        }
        const auto codecData = encoder_.CodecData();
        info_.formatTag = WAVE_FORMAT_WMAUDIO2;
        info_.codecId = AV_CODEC_ID_WMAV2;
        info_.sampleRate = target.sampleRate;
        info_.channels = target.channels;
        info_.blockAlign = encoder_.PacketBytes();
        info_.bitRate = encoder_.BitRate();
        info_.bitsPerCodedSample = 16;
        info_.frameSize = encoder_.FrameSize();
        info_.packetBytes = encoder_.PacketBytes();
        info_.extradata.assign(codecData.begin(), codecData.end());

        resampler_ = OpenPcmResampler(input, target.sampleRate, target.channels);
        if (resampler_ == nullptr) {
            return NS_E_INVALID_OUTPUT_FORMAT;
        }
        planes_.resize(static_cast<std::size_t>(target.channels));
        return S_OK;
    }

    const EncodedStreamInfo& Info() const override { return info_; }

    HRESULT Encode(const BYTE* pcm, std::size_t frames, std::vector<EncodedPacket>& out) override {
        if (frames == 0) {
            return S_OK;
        }
        if (const HRESULT hr = CheckResamplerInput(pcm, frames); FAILED(hr)) {
            return hr;
        }
        // The resampler reads packed 16-bit samples byte-wise, so any alignment will do.
        const std::uint8_t* input = pcm;
        return Convert(&input, static_cast<int>(frames), out);
    }

    HRESULT Finish(std::vector<EncodedPacket>& out) override {
        const HRESULT hr = Convert(nullptr, 0, out); // what the resampler still holds
        if (FAILED(hr)) {
            return hr;
        }
        return Result(packets_.Into(out, [&] { return encoder_.Finish(); }));
    }

private:
    // Resamples and hands the result to the encoder, whose packets land in `out`.
    HRESULT Convert(const std::uint8_t** input, int frames, std::vector<EncodedPacket>& out) {
        const int room = swr_get_out_samples(resampler_, frames);
        if (room < 0) {
            return E_FAIL;
        }
        if (room == 0) {
            return S_OK;
        }
        // At most two channels: the pointers live on the stack, not in a fresh vector per call.
        std::array<std::uint8_t*, wma2::kMaxChannels> pointers{};
        std::array<const float*, wma2::kMaxChannels> planes{};
        for (std::size_t ch = 0; ch < planes_.size(); ++ch) {
            planes_[ch].resize(static_cast<std::size_t>(room));
            pointers[ch] = reinterpret_cast<std::uint8_t*>(planes_[ch].data());
            planes[ch] = planes_[ch].data();
        }
        const int made = swr_convert(resampler_, pointers.data(), room, input, frames);
        if (made < 0) {
            return E_FAIL;
        }
        return Result(packets_.Into(
            out, [&] { return encoder_.Push(planes.data(), static_cast<std::size_t>(made)); }));
    }

    static HRESULT Result(wma2::Status status) {
        switch (status) {
        case wma2::Status::kOk:
            return S_OK;
        case wma2::Status::kInvalidSamples:
            return NS_E_INVALID_DATA;
        default:
            return E_FAIL;
        }
    }

    wma2::Encoder encoder_;
    SwrContext* resampler_ = nullptr;
    EncodedStreamInfo info_;
    std::vector<std::vector<float>> planes_;
    PacketCollector packets_;
};

} // namespace

std::string Wma2TargetProblem(const EncoderTarget& target) {
    if (target.formatTag != WAVE_FORMAT_WMAUDIO2) {
        return "not a Windows Media Audio 2 profile";
    }
    return wma2::SettingsProblem(SettingsFor(target));
}

std::unique_ptr<PacketEncoder> CreateWma2PacketEncoder(const EncoderTarget& target,
                                                       const PcmFormat& input, HRESULT* result) {
    return OpenPacketEncoder<Wma2PacketEncoder>(target, input, result);
}

} // namespace writer
