#include "libav_decoding.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace test_support {
namespace {

struct ContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

// The decode being logged.
DecodeReport* g_logging_into = nullptr;

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
    explicit LogCapture(DecodeReport& report) {
        g_logging_into = &report;
        av_log_set_callback(CountProblems);
    }
    ~LogCapture() {
        av_log_set_callback(av_log_default_callback);
        g_logging_into = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
};

// Hands every frame the decoder has ready to the sink; false on an error.
bool Drain(AVCodecContext* context, AVFrame* frame, const FrameSink& sink, bool tolerate,
           DecodeReport& report) {
    for (;;) {
        const int got = avcodec_receive_frame(context, frame);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) {
            return true;
        }
        if (got == AVERROR_INVALIDDATA && tolerate) {
            ++report.rejected;
            continue;
        }
        if (got < 0) {
            report.error = "receive_frame failed";
            return false;
        }
        const bool taken = sink(*frame, report.error);
        av_frame_unref(frame);
        if (!taken) {
            return false;
        }
    }
}

// Sends one packet (or the end of the stream, for nullptr); false on an error.
bool Send(AVCodecContext* context, const AVPacket* packet, bool tolerate, DecodeReport& report,
          const std::string& what) {
    const int sent = avcodec_send_packet(context, packet);
    if (sent == AVERROR_INVALIDDATA && tolerate) {
        ++report.rejected;
    } else if (sent < 0) {
        report.error = what + " refused";
        return false;
    }
    return true;
}

} // namespace

DecodeReport DecodeWithLibav(const CodecSetup& setup, const std::vector<InputPacket>& packets,
                             const FrameSink& sink, bool tolerate_errors) {
    DecodeReport report;
    LogCapture capture(report);
    const AVCodec* codec = avcodec_find_decoder(static_cast<AVCodecID>(setup.codec_id));
    if (codec == nullptr) {
        report.error = "no decoder for the codec";
        return report;
    }
    std::unique_ptr<AVCodecContext, ContextDeleter> context(avcodec_alloc_context3(codec));
    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    if (!context || !frame || !packet) {
        report.error = "out of memory";
        return report;
    }
    context->sample_rate = setup.sample_rate;
    av_channel_layout_default(&context->ch_layout, setup.channels);
    context->bit_rate = setup.bit_rate;
    context->block_align = setup.block_align;
    context->bits_per_coded_sample = setup.bits_per_coded_sample;
    context->pkt_timebase = AVRational{1, setup.sample_rate};
    if (!setup.extradata.empty()) {
        context->extradata = static_cast<std::uint8_t*>(
            av_mallocz(setup.extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        std::memcpy(context->extradata, setup.extradata.data(), setup.extradata.size());
        context->extradata_size = static_cast<int>(setup.extradata.size());
    }
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
        report.error = "the decoder refused the stream parameters";
        return report;
    }
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const InputPacket& in = packets[i];
        if (av_new_packet(packet.get(), static_cast<int>(in.size)) < 0) {
            report.error = "out of memory";
            return report;
        }
        std::memcpy(packet->data, in.data, in.size);
        if (in.timed) {
            packet->pts = in.pts;
            packet->dts = in.pts;
            packet->duration = in.duration;
        }
        const bool sent = Send(context.get(), packet.get(), tolerate_errors, report,
                               "packet " + std::to_string(i));
        av_packet_unref(packet.get());
        if (!sent || !Drain(context.get(), frame.get(), sink, tolerate_errors, report)) {
            return report;
        }
    }
    if (!Send(context.get(), nullptr, tolerate_errors, report, "the end of the stream") ||
        !Drain(context.get(), frame.get(), sink, tolerate_errors, report)) {
        return report;
    }
    report.ok = true;
    return report;
}

} // namespace test_support
