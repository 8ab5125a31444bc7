#include "wma_file_reader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cctype>

namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool DrainFrames(AVCodecContext* decoder, AVFrame* frame, long long* frames) {
    for (;;) {
        const int result = avcodec_receive_frame(decoder, frame);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            return true;
        }
        if (result < 0) {
            return false;
        }
        *frames += frame->nb_samples;
        av_frame_unref(frame);
    }
}

} // namespace

std::optional<WmaFileFacts> ReadWmaFile(const std::string& path) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
        return std::nullopt;
    }
    std::optional<WmaFileFacts> facts;
    AVCodecContext* decoder = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const int index = avformat_find_stream_info(format, nullptr) >= 0
                          ? av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0)
                          : -1;
    const AVCodec* codec = nullptr;
    if (index >= 0) {
        const AVCodecParameters* parameters = format->streams[index]->codecpar;
        codec = avcodec_find_decoder(parameters->codec_id);
        decoder = codec != nullptr ? avcodec_alloc_context3(codec) : nullptr;
    }
    if (decoder != nullptr && packet != nullptr && frame != nullptr &&
        avcodec_parameters_to_context(decoder, format->streams[index]->codecpar) >= 0 &&
        avcodec_open2(decoder, codec, nullptr) >= 0) {
        WmaFileFacts read;
        read.codecName = codec->name;
        read.sampleRate = decoder->sample_rate;
        read.channels = decoder->ch_layout.nb_channels;
        read.bitRate = format->streams[index]->codecpar->bit_rate;
        bool ok = true;
        while (ok && av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == index) {
                ok = avcodec_send_packet(decoder, packet) >= 0 &&
                     DrainFrames(decoder, frame, &read.decodedFrames);
            }
            av_packet_unref(packet);
        }
        if (ok) {
            avcodec_send_packet(decoder, nullptr);
            ok = DrainFrames(decoder, frame, &read.decodedFrames);
        }
        const AVDictionaryEntry* tag = nullptr;
        while ((tag = av_dict_get(format->metadata, "", tag, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
            read.tags[Lower(tag->key)] = tag->value;
        }
        if (ok) {
            facts = std::move(read);
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return facts;
}
