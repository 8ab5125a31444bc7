#include "libav_decode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <cstdarg>
#include <cstdio>

namespace wmal_test {

namespace {

struct CodecContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// Warnings and errors the decoder logs during one decode_packets call. Tests run one decode
// at a time on one thread.
DecodedStream* g_logging_into = nullptr;

void count_problems(void* avcl, int level, const char* fmt, va_list args) {
    if (level > AV_LOG_WARNING || g_logging_into == nullptr) {
        (void)avcl;
        return;
    }
    if (g_logging_into->problems++ == 0) {
        char line[512];
        std::vsnprintf(line, sizeof line, fmt, args);
        g_logging_into->first_problem = line;
    }
}

class LogCapture {
public:
    explicit LogCapture(DecodedStream& out) {
        g_logging_into = &out;
        av_log_set_callback(count_problems);
    }
    ~LogCapture() {
        av_log_set_callback(av_log_default_callback);
        g_logging_into = nullptr;
    }
};

// Appends every frame the decoder has ready; false on a decoding error.
bool drain(AVCodecContext* ctx, AVFrame* frame, int bits_per_sample, bool tolerate,
           DecodedStream& out) {
    while (true) {
        const int rc = avcodec_receive_frame(ctx, frame);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return true;
        if (rc == AVERROR_INVALIDDATA && tolerate) {
            ++out.rejected;
            continue;
        }
        if (rc < 0) {
            out.error = "receive_frame failed";
            return false;
        }
        const int channels = frame->ch_layout.nb_channels;
        if (channels != out.channels) {
            out.error = "wrong channel count";
            return false;
        }
        for (int i = 0; i < frame->nb_samples; ++i) {
            for (int c = 0; c < channels; ++c) {
                if (frame->format == AV_SAMPLE_FMT_S16P) {
                    out.samples.push_back(
                        reinterpret_cast<const int16_t*>(frame->extended_data[c])[i]);
                } else if (frame->format == AV_SAMPLE_FMT_S32P && bits_per_sample == 24) {
                    out.samples.push_back(
                        reinterpret_cast<const int32_t*>(frame->extended_data[c])[i] >> 8);
                } else {
                    out.error = "unexpected sample format";
                    return false;
                }
            }
        }
        av_frame_unref(frame);
    }
}

} // namespace

DecodedStream decode_packets(const EncodedStream& stream, int sample_rate, int channels,
                             int bits_per_sample, bool tolerate_errors) {
    DecodedStream out;
    out.channels = channels;
    out.sample_rate = sample_rate;
    LogCapture capture(out);
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_WMALOSSLESS);
    if (codec == nullptr) {
        out.error = "no wmalossless decoder";
        return out;
    }
    std::unique_ptr<AVCodecContext, CodecContextDeleter> ctx(avcodec_alloc_context3(codec));
    ctx->sample_rate = sample_rate;
    av_channel_layout_default(&ctx->ch_layout, channels);
    ctx->block_align = stream.packet_size;
    ctx->bits_per_coded_sample = bits_per_sample;
    ctx->extradata =
        static_cast<uint8_t*>(av_mallocz(stream.codec_data.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(ctx->extradata, stream.codec_data.data(), stream.codec_data.size());
    ctx->extradata_size = static_cast<int>(stream.codec_data.size());
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) {
        out.error = "avcodec_open2 failed";
        return out;
    }
    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    for (const auto& bytes : stream.packets) {
        if (av_new_packet(packet.get(), static_cast<int>(bytes.size())) < 0) {
            out.error = "av_new_packet failed";
            return out;
        }
        std::memcpy(packet->data, bytes.data(), bytes.size());
        const int rc = avcodec_send_packet(ctx.get(), packet.get());
        av_packet_unref(packet.get());
        if (rc == AVERROR_INVALIDDATA && tolerate_errors) {
            ++out.rejected;
        } else if (rc < 0) {
            out.error = "send_packet failed";
            return out;
        }
        if (!drain(ctx.get(), frame.get(), bits_per_sample, tolerate_errors, out))
            return out;
    }
    const int rc = avcodec_send_packet(ctx.get(), nullptr);
    if (rc == AVERROR_INVALIDDATA && tolerate_errors) {
        ++out.rejected;
    } else if (rc < 0) {
        out.error = "flush failed";
        return out;
    }
    if (!drain(ctx.get(), frame.get(), bits_per_sample, tolerate_errors, out))
        return out;
    out.ok = true;
    return out;
}

EncodedStream encode_pcm(const std::vector<int32_t>& pcm, const wmal::EncoderSettings& s,
                         size_t chunk) {
    EncodedStream stream;
    wmal::Encoder encoder;
    encoder.observe_frames([&](int64_t, int, uint64_t bits) { stream.frame_bits += bits; });
    EXPECT_EQ(encoder.configure(s, collect_into(stream)), wmal::Status::ok);
    stream.codec_data = encoder.codec_data();
    stream.packet_size = encoder.packet_size();
    stream.frame_size = encoder.frame_size();
    const size_t frames = pcm.size() / static_cast<size_t>(s.channels);
    for (size_t done = 0; done < frames;) {
        const size_t n = std::min(chunk, frames - done);
        if (s.bits_per_sample == 16) {
            const std::vector<int16_t> part(pcm.begin() + static_cast<long>(done * s.channels),
                                            pcm.begin() +
                                                static_cast<long>((done + n) * s.channels));
            EXPECT_EQ(encoder.push(part.data(), n), wmal::Status::ok);
        } else {
            EXPECT_EQ(encoder.push(pcm.data() + done * static_cast<size_t>(s.channels), n),
                      wmal::Status::ok);
        }
        done += n;
    }
    EXPECT_EQ(encoder.flush(), wmal::Status::ok);
    EXPECT_EQ(encoder.samples_pushed(), static_cast<int64_t>(frames));
    return stream;
}

wmal::PacketSink collect_into(EncodedStream& stream) {
    return [&stream](const wmal::Packet& p) {
        stream.packets.emplace_back(p.data, p.data + p.size);
        wmal::Packet info = p;
        info.data = nullptr;
        stream.info.push_back(info);
        return true;
    };
}

} // namespace wmal_test
