#include "libav_decode.h"

#include "libav_decoding.h"

#include <gtest/gtest.h>

#include <algorithm>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/samplefmt.h>
}

namespace wmal_test {

DecodedStream decode_packets(const EncodedStream& stream, int sample_rate, int channels,
                             int bits_per_sample, bool tolerate_errors) {
    DecodedStream out;
    out.channels = channels;
    out.sample_rate = sample_rate;
    test_support::CodecSetup setup;
    setup.codec_id = AV_CODEC_ID_WMALOSSLESS;
    setup.sample_rate = sample_rate;
    setup.channels = channels;
    setup.block_align = stream.packet_size;
    setup.bits_per_coded_sample = bits_per_sample;
    setup.extradata.assign(stream.codec_data.begin(), stream.codec_data.end());
    std::vector<test_support::InputPacket> packets;
    for (const auto& bytes : stream.packets) {
        packets.push_back({bytes.data(), bytes.size()});
    }
    // Interleaved and right-aligned, as the stream's PCM was.
    const auto take = [&out, bits_per_sample](const AVFrame& frame, std::string& error) {
        if (frame.ch_layout.nb_channels != out.channels) {
            error = "wrong channel count";
            return false;
        }
        for (int i = 0; i < frame.nb_samples; ++i) {
            for (int c = 0; c < out.channels; ++c) {
                if (frame.format == AV_SAMPLE_FMT_S16P) {
                    out.samples.push_back(
                        reinterpret_cast<const int16_t*>(frame.extended_data[c])[i]);
                } else if (frame.format == AV_SAMPLE_FMT_S32P && bits_per_sample == 24) {
                    out.samples.push_back(
                        reinterpret_cast<const int32_t*>(frame.extended_data[c])[i] >> 8);
                } else {
                    error = "unexpected sample format";
                    return false;
                }
            }
        }
        return true;
    };
    const auto report = test_support::DecodeWithLibav(setup, packets, take, tolerate_errors);
    out.ok = report.ok;
    out.error = report.error;
    out.rejected = report.rejected;
    out.problems = report.problems;
    out.first_problem = report.first_problem;
    return out;
}

EncodedStream encode_pcm(const std::vector<int32_t>& pcm, const wmal::EncoderSettings& s,
                         size_t chunk) {
    EncodedStream stream;
    wmal::Encoder encoder;
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
