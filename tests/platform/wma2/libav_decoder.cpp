#include "libav_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace wma2_test {
namespace {

// The decode being logged; tests decode one stream at a time on one thread.
DecodedStream* g_logging_into = nullptr;

void CountProblems(void* /*context*/, int level, const char* format, va_list args) {
    if (level > AV_LOG_WARNING || g_logging_into == nullptr) {
        return;
    }
    if (g_logging_into->problems++ == 0) {
        char line[512];
        std::vsnprintf(line, sizeof line, format, args);
        g_logging_into->first_problem = line;
    }
}

class LogCapture {
public:
    explicit LogCapture(DecodedStream& out) {
        g_logging_into = &out;
        av_log_set_callback(CountProblems);
    }
    ~LogCapture() {
        av_log_set_callback(av_log_default_callback);
        g_logging_into = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
};

bool Drain(AVCodecContext* context, AVFrame* frame, DecodedStream& out) {
    for (;;) {
        const int got = avcodec_receive_frame(context, frame);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) {
            return true;
        }
        if (got < 0) {
            out.error = "receive_frame failed";
            return false;
        }
        if (frame->format != AV_SAMPLE_FMT_FLTP) {
            out.error = "unexpected sample format";
            return false;
        }
        for (std::size_t ch = 0; ch < out.audio.size(); ++ch) {
            const auto* samples = reinterpret_cast<const float*>(frame->extended_data[ch]);
            out.audio[ch].insert(out.audio[ch].end(), samples, samples + frame->nb_samples);
        }
        av_frame_unref(frame);
    }
}

} // namespace

EncodedStream Encode(const wma2::EncoderSettings& settings, const Planes& audio,
                     const wma2::EncoderTuning& tuning, std::size_t chunk) {
    EncodedStream stream;
    stream.settings = settings;
    wma2::Encoder encoder;
    const auto sink = [&stream](const wma2::Packet& packet) {
        stream.packets.emplace_back(packet.data, packet.data + packet.size);
        stream.timestamps.push_back(packet.timestamp);
        stream.durations.push_back(packet.duration);
        return true;
    };
    if (encoder.Configure(settings, sink, tuning) != wma2::Status::kOk) {
        return stream;
    }
    stream.codec_data = encoder.CodecData();
    stream.packet_bytes = encoder.PacketBytes();
    stream.frame_size = encoder.FrameSize();
    stream.bit_rate = encoder.BitRate();
    const std::size_t length = audio.empty() ? 0 : audio[0].size();
    std::vector<const float*> planes(audio.size());
    for (std::size_t at = 0; at < length; at += chunk) {
        for (std::size_t ch = 0; ch < audio.size(); ++ch) {
            planes[ch] = audio[ch].data() + at;
        }
        if (encoder.Push(planes.data(), std::min(chunk, length - at)) != wma2::Status::kOk) {
            stream.packets.clear();
            return stream;
        }
    }
    if (encoder.Finish() != wma2::Status::kOk) {
        stream.packets.clear();
    }
    return stream;
}

DecodedStream Decode(const EncodedStream& stream) {
    DecodedStream out;
    const int channels = stream.settings.channels;
    out.audio.resize(static_cast<std::size_t>(channels));
    LogCapture capture(out);
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_WMAV2);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    const auto cleanup = [&] {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&context);
    };
    if (context == nullptr || frame == nullptr || packet == nullptr) {
        out.error = "out of memory";
        cleanup();
        return out;
    }
    context->sample_rate = stream.settings.sample_rate;
    av_channel_layout_default(&context->ch_layout, channels);
    context->bit_rate = stream.bit_rate;
    context->block_align = stream.packet_bytes;
    context->pkt_timebase = AVRational{1, stream.settings.sample_rate};
    context->extradata = static_cast<std::uint8_t*>(
        av_mallocz(stream.codec_data.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(context->extradata, stream.codec_data.data(), stream.codec_data.size());
    context->extradata_size = static_cast<int>(stream.codec_data.size());
    if (avcodec_open2(context, codec, nullptr) < 0) {
        out.error = "decoder refused the stream parameters";
        cleanup();
        return out;
    }
    for (std::size_t i = 0; i < stream.packets.size(); ++i) {
        const auto& data = stream.packets[i];
        if (av_new_packet(packet, static_cast<int>(data.size())) < 0) {
            out.error = "out of memory";
            cleanup();
            return out;
        }
        std::memcpy(packet->data, data.data(), data.size());
        packet->pts = stream.timestamps[i];
        packet->dts = stream.timestamps[i];
        packet->duration = stream.durations[i];
        const int sent = avcodec_send_packet(context, packet);
        av_packet_unref(packet);
        if (sent < 0) {
            out.error = "packet " + std::to_string(i) + " refused";
            cleanup();
            return out;
        }
        if (!Drain(context, frame, out)) {
            cleanup();
            return out;
        }
    }
    avcodec_send_packet(context, nullptr);
    out.ok = Drain(context, frame, out);
    cleanup();
    return out;
}

double SnrDb(const std::vector<float>& reference, const std::vector<float>& decoded,
             std::size_t from, std::size_t to) {
    double signal = 0;
    double noise = 0;
    for (std::size_t i = from; i < to && i < reference.size() && i < decoded.size(); ++i) {
        signal += static_cast<double>(reference[i]) * reference[i];
        const double error = static_cast<double>(reference[i]) - decoded[i];
        noise += error * error;
    }
    return 10.0 * std::log10((signal + 1e-30) / (noise + 1e-30));
}

} // namespace wma2_test
