// The codec drops nothing the caller pushed: libavcodec's decoder discards the
// first decoded frame and the encoder takes whole frames only, so one frame of
// silence goes in first and the last frame is padded with silence.
//
// Frames are grouped into container packets of several codec frames, as the
// profile's block alignment (a group of frames) says; each frame keeps the
// codec's own block alignment, which is what decoders step by.
#include "wma_lossy_encoder.h"
#include "pcm_resampler.h"

#include "platform/wmsdk.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>

namespace writer {
namespace {

constexpr int kMaxFramesPerPacket = 16;

class WmaLossyEncoder final : public PacketEncoder {
public:
    ~WmaLossyEncoder() override {
        avcodec_free_context(&codec_);
        swr_free(&resampler_);
        if (fifo_ != nullptr) {
            av_audio_fifo_free(fifo_);
        }
        av_frame_free(&frame_);
        av_packet_free(&packet_);
    }

    HRESULT Open(const EncoderTarget& target, const PcmFormat& input) {
        const AVCodecID id =
            target.formatTag == WAVE_FORMAT_WMAUDIO1 ? AV_CODEC_ID_WMAV1 : AV_CODEC_ID_WMAV2;
        const AVCodec* codec = avcodec_find_encoder(id);
        if (codec == nullptr || target.channels <= 0 || target.sampleRate <= 0 ||
            input.channels <= 0 || input.sampleRate <= 0 || input.bitsPerSample != 16) {
            return NS_E_INVALID_OUTPUT_FORMAT;
        }
        codec_ = avcodec_alloc_context3(codec);
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (codec_ == nullptr || frame_ == nullptr || packet_ == nullptr) {
            return E_OUTOFMEMORY;
        }
        codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
        codec_->sample_rate = target.sampleRate;
        av_channel_layout_default(&codec_->ch_layout, target.channels);
        codec_->bit_rate = target.bitrate;
        codec_->flags |= AV_CODEC_FLAG_BITEXACT;
        if (avcodec_open2(codec_, codec, nullptr) < 0 || codec_->frame_size <= 0 ||
            codec_->block_align <= 0) {
            return NS_E_INVALID_OUTPUT_FORMAT;
        }

        info_.formatTag = target.formatTag;
        info_.codecId = id;
        info_.sampleRate = target.sampleRate;
        info_.channels = target.channels;
        info_.blockAlign = codec_->block_align;
        info_.bitRate = codec_->bit_rate;
        info_.frameSize = codec_->frame_size;
        info_.extradata.assign(codec_->extradata, codec_->extradata + codec_->extradata_size);
        framesPerPacket_ =
            std::clamp(static_cast<int>(std::lround(static_cast<double>(target.blockAlign) /
                                                    codec_->block_align)),
                       1, kMaxFramesPerPacket);
        info_.packetBytes = framesPerPacket_ * info_.blockAlign;

        resampler_ = OpenPcmResampler(input, target.sampleRate, target.channels);
        if (resampler_ == nullptr) {
            return NS_E_INVALID_OUTPUT_FORMAT;
        }

        fifo_ = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, target.channels, info_.frameSize * 4);
        if (fifo_ == nullptr) {
            return E_OUTOFMEMORY;
        }
        // Covers the frame the decoder discards.
        return AppendSilence(info_.frameSize);
    }

    const EncodedStreamInfo& Info() const override { return info_; }

    HRESULT Encode(const BYTE* pcm, std::size_t frames, std::vector<EncodedPacket>& out) override {
        if (frames == 0) {
            return S_OK;
        }
        if (const HRESULT hr = CheckResamplerInput(pcm, frames); FAILED(hr)) {
            return hr;
        }
        const std::uint8_t* input = pcm;
        const HRESULT hr = Resample(&input, static_cast<int>(frames));
        return FAILED(hr) ? hr : EncodeWholeFrames(out);
    }

    HRESULT Finish(std::vector<EncodedPacket>& out) override {
        HRESULT hr = Resample(nullptr, 0); // what the resampler still holds
        if (FAILED(hr)) {
            return hr;
        }
        const int partial = av_audio_fifo_size(fifo_) % info_.frameSize;
        if (partial != 0) {
            hr = AppendSilence(info_.frameSize - partial);
            if (FAILED(hr)) {
                return hr;
            }
        }
        hr = EncodeWholeFrames(out);
        if (FAILED(hr)) {
            return hr;
        }
        if (avcodec_send_frame(codec_, nullptr) < 0) {
            return E_FAIL;
        }
        hr = Drain(out);
        if (FAILED(hr)) {
            return hr;
        }
        FlushGroup(out);
        return S_OK;
    }

private:
    HRESULT Resample(const std::uint8_t** input, int frames) {
        const int room = swr_get_out_samples(resampler_, frames);
        if (room < 0) {
            return E_FAIL;
        }
        if (room == 0) {
            return S_OK;
        }
        planes_.resize(static_cast<std::size_t>(info_.channels));
        std::vector<std::uint8_t*> pointers;
        for (auto& plane : planes_) {
            plane.resize(static_cast<std::size_t>(room));
            pointers.push_back(reinterpret_cast<std::uint8_t*>(plane.data()));
        }
        const int made = swr_convert(resampler_, pointers.data(), room, input, frames);
        if (made < 0) {
            return E_FAIL;
        }
        if (made > 0 &&
            av_audio_fifo_write(fifo_, reinterpret_cast<void**>(pointers.data()), made) < made) {
            return E_OUTOFMEMORY;
        }
        audioSamples_ += made;
        return S_OK;
    }

    HRESULT AppendSilence(int frames) {
        planes_.assign(static_cast<std::size_t>(info_.channels),
                       std::vector<float>(static_cast<std::size_t>(frames), 0.0F));
        std::vector<void*> pointers;
        for (auto& plane : planes_) {
            pointers.push_back(plane.data());
        }
        return av_audio_fifo_write(fifo_, pointers.data(), frames) < frames ? E_OUTOFMEMORY : S_OK;
    }

    HRESULT EncodeWholeFrames(std::vector<EncodedPacket>& out) {
        while (av_audio_fifo_size(fifo_) >= info_.frameSize) {
            av_frame_unref(frame_);
            frame_->nb_samples = info_.frameSize;
            frame_->format = AV_SAMPLE_FMT_FLTP;
            frame_->sample_rate = info_.sampleRate;
            if (av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout) < 0 ||
                av_frame_get_buffer(frame_, 0) < 0) {
                return E_OUTOFMEMORY;
            }
            if (av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame_->data),
                                   info_.frameSize) != info_.frameSize) {
                return E_FAIL;
            }
            frame_->pts = framesSent_ * info_.frameSize;
            ++framesSent_;
            if (avcodec_send_frame(codec_, frame_) < 0) {
                return E_FAIL;
            }
            const HRESULT hr = Drain(out);
            if (FAILED(hr)) {
                return hr;
            }
        }
        return S_OK;
    }

    HRESULT Drain(std::vector<EncodedPacket>& out) {
        for (;;) {
            const int got = avcodec_receive_packet(codec_, packet_);
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) {
                return S_OK;
            }
            if (got < 0) {
                return E_FAIL;
            }
            if (packet_->size != info_.blockAlign) {
                // Not a frame of the fixed size: it cannot share a packet.
                FlushGroup(out);
                group_.assign(packet_->data, packet_->data + packet_->size);
                groupFrames_ = 1;
                ++framesReceived_;
                FlushGroup(out);
            } else {
                group_.insert(group_.end(), packet_->data, packet_->data + packet_->size);
                ++framesReceived_;
                if (++groupFrames_ == framesPerPacket_) {
                    FlushGroup(out);
                }
            }
            av_packet_unref(packet_);
        }
    }

    // Times are those of the audio as pushed: the leading silent frame takes no
    // time, and the padding of the last frame is not counted, so the file's
    // duration is the length of the audio.
    void FlushGroup(std::vector<EncodedPacket>& out) {
        if (groupFrames_ == 0) {
            return;
        }
        const std::int64_t frameSize = info_.frameSize;
        const std::int64_t first = framesReceived_ - groupFrames_;
        const std::int64_t start = std::max<std::int64_t>(0, first - 1) * frameSize;
        const std::int64_t end =
            std::max(start, std::min((framesReceived_ - 1) * frameSize, audioSamples_));
        EncodedPacket packet;
        packet.data = std::move(group_);
        packet.pts = start;
        packet.duration = end - start;
        out.push_back(std::move(packet));
        group_.clear();
        groupFrames_ = 0;
    }

    AVCodecContext* codec_ = nullptr;
    SwrContext* resampler_ = nullptr;
    AVAudioFifo* fifo_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    EncodedStreamInfo info_;
    int framesPerPacket_ = 1;
    std::int64_t framesSent_ = 0;
    std::vector<std::vector<float>> planes_;
    std::vector<BYTE> group_;
    int groupFrames_ = 0;
    std::int64_t framesReceived_ = 0; // codec frames out of the encoder, the silent one included
    std::int64_t audioSamples_ = 0;   // resampled samples of pushed audio
};

} // namespace

std::unique_ptr<PacketEncoder> CreateWmaLossyEncoder(const EncoderTarget& target,
                                                     const PcmFormat& input, HRESULT* result) {
    return OpenPacketEncoder<WmaLossyEncoder>(target, input, result);
}

} // namespace writer
