// The container path: packets muxed by libavformat's ASF muxer from hand-set codec
// parameters, read back and decoded by libavformat/libavcodec, must give the input PCM.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
}

#include "libav_decode.h"
#include "temporary_folder.h"
#include "test_signals.h"
#include "wmal_encoder.h"

namespace wmal_test {
namespace {

// Writes the encoder's packets to an ASF file as a muxer user would.
void write_asf(const std::string& path, const std::vector<int32_t>& pcm,
               const wmal::EncoderSettings& s) {
    AVFormatContext* oc = nullptr;
    ASSERT_GE(avformat_alloc_output_context2(&oc, nullptr, "asf", path.c_str()), 0);
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> owner(
        oc, [](AVFormatContext* c) { avformat_free_context(c); });
    oc->flags |= AVFMT_FLAG_BITEXACT;

    EncodedStream stream;
    wmal::Encoder encoder;
    ASSERT_EQ(encoder.configure(s, collect_into(stream)), wmal::Status::ok);
    if (s.bits_per_sample == 16) {
        const auto samples = to_int16(pcm);
        ASSERT_EQ(encoder.push(samples.data(), pcm.size() / static_cast<size_t>(s.channels)),
                  wmal::Status::ok);
    } else {
        ASSERT_EQ(encoder.push(pcm.data(), pcm.size() / static_cast<size_t>(s.channels)),
                  wmal::Status::ok);
    }
    ASSERT_EQ(encoder.flush(), wmal::Status::ok);

    AVStream* st = avformat_new_stream(oc, nullptr);
    ASSERT_NE(st, nullptr);
    AVCodecParameters* par = st->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = AV_CODEC_ID_WMALOSSLESS;
    par->codec_tag = 0x0163;
    par->sample_rate = s.sample_rate;
    av_channel_layout_default(&par->ch_layout, s.channels);
    par->block_align = encoder.packet_size();
    par->bit_rate = encoder.bit_rate();
    par->bits_per_coded_sample = s.bits_per_sample;
    const auto codec_data = encoder.codec_data();
    par->extradata =
        static_cast<uint8_t*>(av_mallocz(codec_data.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::copy(codec_data.begin(), codec_data.end(), par->extradata);
    par->extradata_size = static_cast<int>(codec_data.size());
    st->time_base = AVRational{1, s.sample_rate};

    ASSERT_GE(avio_open(&oc->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
    AVDictionary* opts = nullptr;
    // ASF packets that hold exactly one codec packet plus the payload header.
    av_dict_set_int(&opts, "packet_size", encoder.packet_size() + 26, 0);
    ASSERT_GE(avformat_write_header(oc, &opts), 0);
    av_dict_free(&opts);

    int64_t last_dts = -1;
    AVPacket* pkt = av_packet_alloc();
    for (size_t i = 0; i < stream.packets.size(); ++i) {
        const wmal::Packet& info = stream.info[i];
        ASSERT_GE(av_new_packet(pkt, static_cast<int>(stream.packets[i].size())), 0);
        std::copy(stream.packets[i].begin(), stream.packets[i].end(), pkt->data);
        // The muxer drops packets whose time does not strictly increase.
        const int64_t ts =
            std::max(last_dts + 1,
                     av_rescale_q(info.timestamp, AVRational{1, s.sample_rate}, st->time_base));
        pkt->pts = pkt->dts = ts;
        pkt->duration = av_rescale_q(info.duration, AVRational{1, s.sample_rate}, st->time_base);
        pkt->stream_index = st->index;
        last_dts = ts;
        const int rc = av_write_frame(oc, pkt);
        av_packet_unref(pkt); // the muxer keeps no reference
        ASSERT_GE(rc, 0);
    }
    av_packet_free(&pkt);
    ASSERT_GE(av_write_trailer(oc), 0);
    avio_closep(&oc->pb);
}

// Demuxes and decodes the file; fills `out` with interleaved, right-aligned samples.
void read_asf(const std::string& path, int bits, DecodedStream& out) {
    AVFormatContext* ic = nullptr;
    ASSERT_GE(avformat_open_input(&ic, path.c_str(), nullptr, nullptr), 0);
    std::unique_ptr<AVFormatContext*, void (*)(AVFormatContext**)> owner(
        &ic, [](AVFormatContext** c) { avformat_close_input(c); });
    ASSERT_GE(avformat_find_stream_info(ic, nullptr), 0);
    ASSERT_EQ(ic->nb_streams, 1u);
    const AVCodecParameters* par = ic->streams[0]->codecpar;
    ASSERT_EQ(par->codec_id, AV_CODEC_ID_WMALOSSLESS);

    EncodedStream stream;
    stream.packet_size = par->block_align;
    ASSERT_EQ(par->extradata_size, 18);
    std::copy(par->extradata, par->extradata + 18, stream.codec_data.begin());
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(ic, pkt) >= 0) {
        stream.packets.emplace_back(pkt->data, pkt->data + pkt->size);
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    out = decode_packets(stream, par->sample_rate, par->ch_layout.nb_channels, bits);
}

void expect_file_roundtrip(int rate, int channels, int bits, double seconds) {
    test_support::TemporaryFolder dir;
    const std::string path = dir.File("stream.wma");
    wmal::EncoderSettings s;
    s.sample_rate = rate;
    s.channels = channels;
    s.bits_per_sample = bits;
    const auto pcm = tonal(static_cast<size_t>(rate * seconds) + 13, channels, bits, rate, 11);
    write_asf(path, pcm, s);
    if (::testing::Test::HasFatalFailure())
        return;
    DecodedStream decoded;
    read_asf(path, bits, decoded);
    if (::testing::Test::HasFatalFailure())
        return;
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.problems, 0) << decoded.first_problem;
    ASSERT_EQ(decoded.samples.size(), pcm.size());
    EXPECT_TRUE(decoded.samples == pcm);
}

TEST(AsfMux, StereoFileDecodesToInput) {
    expect_file_roundtrip(44100, 2, 16, 6.3);
}

TEST(AsfMux, SurroundHighRateFileDecodesToInput) {
    // Written with the extensible wave format header.
    expect_file_roundtrip(96000, 6, 24, 1.7);
}

TEST(AsfMux, MonoFileDecodesToInput) {
    expect_file_roundtrip(48000, 1, 16, 2.2);
}

} // namespace
} // namespace wmal_test
