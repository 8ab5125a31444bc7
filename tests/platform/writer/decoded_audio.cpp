#include "decoded_audio.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace writer_test {
namespace {

void Collect(AVCodecContext* codec, AVFrame* frame, DecodedAudio& audio) {
    while (avcodec_receive_frame(codec, frame) == 0) {
        audio.frames += frame->nb_samples;
        for (int i = 0; i < frame->nb_samples; ++i) {
            float value = 0;
            switch (frame->format) {
            case AV_SAMPLE_FMT_FLTP:
                value = reinterpret_cast<const float*>(frame->data[0])[i];
                break;
            case AV_SAMPLE_FMT_S16P:
                value = reinterpret_cast<const int16_t*>(frame->data[0])[i] / 32768.0F;
                break;
            case AV_SAMPLE_FMT_S32P:
                value = static_cast<float>(reinterpret_cast<const int32_t*>(frame->data[0])[i] /
                                           2147483648.0);
                break;
            default:
                break;
            }
            audio.firstChannel.push_back(value);
        }
        av_frame_unref(frame);
    }
}

} // namespace

DecodedAudio DecodeFile(const std::string& path) {
    DecodedAudio audio;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
        return audio;
    }
    if (avformat_find_stream_info(format, nullptr) < 0 || format->nb_streams < 1) {
        avformat_close_input(&format);
        return audio;
    }
    const AVCodecParameters* parameters = format->streams[0]->codecpar;
    audio.opened = true;
    audio.codec = avcodec_get_name(parameters->codec_id);
    audio.sampleRate = parameters->sample_rate;
    audio.channels = parameters->ch_layout.nb_channels;
    audio.blockAlign = parameters->block_align;
    audio.bitRate = parameters->bit_rate;
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    AVCodecContext* codec = decoder != nullptr ? avcodec_alloc_context3(decoder) : nullptr;
    if (codec == nullptr || avcodec_parameters_to_context(codec, parameters) < 0 ||
        avcodec_open2(codec, decoder, nullptr) < 0) {
        avcodec_free_context(&codec);
        avformat_close_input(&format);
        return audio;
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == 0) {
            if (avcodec_send_packet(codec, packet) < 0) {
                ++audio.decodeErrors;
            }
            Collect(codec, frame, audio);
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(codec, nullptr);
    Collect(codec, frame, audio);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return audio;
}

::testing::AssertionResult Decoded(const DecodedAudio& audio, const std::string& codec, int rate,
                                   int channels, long long frames, long long slack) {
    if (audio.codec == codec && audio.sampleRate == rate && audio.channels == channels &&
        audio.frames >= frames && audio.frames <= frames + slack) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << audio.codec << " at " << audio.sampleRate << " Hz in " << audio.channels
           << " channels, " << audio.frames << " frames; expected " << codec << " at " << rate
           << " Hz in " << channels << " channels, " << frames << " frames and at most " << slack
           << " more";
}

} // namespace writer_test
