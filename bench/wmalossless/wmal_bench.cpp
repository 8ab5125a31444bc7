// Encodes WAV files with the WMA Lossless encoder, writes each as an ASF (.wma) file, checks
// that libavformat/libavcodec decode the file back to the exact input, and prints one line
// per file: name, audio seconds, PCM bytes, packet bytes, file bytes, encoding CPU seconds
// (this process, one thread), encoding wall-clock seconds; to standard output or, with --list,
// to a file. With --frames, it also writes <name>.frames into the output folder: one line per
// coded frame with its first sample, its samples and its bits.
//
//   wmal_bench [--no-verify] [--packet-size <bytes>] [--list <file>] [--frames]
//              <output folder> <file.wav>...
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
}

#include "wmal_encoder.h"

namespace {

struct Wav {
    int rate = 0;
    int channels = 0;
    int bits = 0;
    std::vector<uint8_t> data; // little-endian packed samples
};

uint32_t le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}
uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

bool read_wav(const std::string& path, Wav& wav) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::vector<uint8_t> file(in ? static_cast<size_t>(in.tellg()) : 0);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
        std::memcmp(file.data() + 8, "WAVE", 4) != 0)
        return false;
    size_t pos = 12;
    bool have_format = false;
    while (pos + 8 <= file.size()) {
        const uint32_t size = le32(file.data() + pos + 4);
        const uint8_t* body = file.data() + pos + 8;
        const size_t avail = std::min<size_t>(size, file.size() - pos - 8);
        if (std::memcmp(file.data() + pos, "fmt ", 4) == 0 && avail >= 16) {
            const uint16_t tag = le16(body);
            if (tag != 1 && tag != 0xFFFE)
                return false;
            wav.channels = le16(body + 2);
            wav.rate = static_cast<int>(le32(body + 4));
            wav.bits = le16(body + 14);
            have_format = true;
        } else if (std::memcmp(file.data() + pos, "data", 4) == 0 && have_format) {
            wav.data.assign(body, body + avail);
            return wav.bits == 16 || wav.bits == 24;
        }
        pos += 8 + size + (size & 1);
    }
    return false;
}

struct Encoded {
    std::vector<std::vector<uint8_t>> packets;
    std::vector<wmal::Packet> info;
    std::array<uint8_t, 18> codec_data{};
    int packet_size = 0;
    int64_t bit_rate = 0;
};

bool write_asf(const std::string& path, const Wav& wav, const Encoded& enc) {
    AVFormatContext* oc = nullptr;
    if (avformat_alloc_output_context2(&oc, nullptr, "asf", path.c_str()) < 0)
        return false;
    oc->flags |= AVFMT_FLAG_BITEXACT;
    AVStream* st = avformat_new_stream(oc, nullptr);
    AVCodecParameters* par = st->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = AV_CODEC_ID_WMALOSSLESS;
    par->codec_tag = 0x0163;
    par->sample_rate = wav.rate;
    av_channel_layout_default(&par->ch_layout, wav.channels);
    par->block_align = enc.packet_size;
    par->bit_rate = enc.bit_rate;
    par->bits_per_coded_sample = wav.bits;
    par->extradata = static_cast<uint8_t*>(av_mallocz(18 + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(par->extradata, enc.codec_data.data(), 18);
    par->extradata_size = 18;
    bool ok = avio_open(&oc->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0;
    AVDictionary* opts = nullptr;
    av_dict_set_int(&opts, "packet_size", enc.packet_size + 26, 0);
    ok = ok && avformat_write_header(oc, &opts) >= 0;
    av_dict_free(&opts);
    AVPacket* pkt = av_packet_alloc();
    int64_t last = -1;
    for (size_t i = 0; ok && i < enc.packets.size(); ++i) {
        ok = av_new_packet(pkt, static_cast<int>(enc.packets[i].size())) >= 0;
        if (!ok)
            break;
        std::memcpy(pkt->data, enc.packets[i].data(), enc.packets[i].size());
        const int64_t ts = std::max(
            last + 1, av_rescale_q(enc.info[i].timestamp, AVRational{1, wav.rate}, st->time_base));
        pkt->pts = pkt->dts = last = ts;
        pkt->duration = av_rescale_q(enc.info[i].duration, AVRational{1, wav.rate}, st->time_base);
        pkt->stream_index = 0;
        ok = av_write_frame(oc, pkt) >= 0;
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    ok = ok && av_write_trailer(oc) >= 0;
    avio_closep(&oc->pb);
    avformat_free_context(oc);
    return ok;
}

// Decodes the file and compares it with the WAV data byte for byte.
bool verify(const std::string& path, const Wav& wav) {
    AVFormatContext* ic = nullptr;
    if (avformat_open_input(&ic, path.c_str(), nullptr, nullptr) < 0)
        return false;
    bool ok = avformat_find_stream_info(ic, nullptr) >= 0 && ic->nb_streams == 1;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_WMALOSSLESS);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ok = ok && avcodec_parameters_to_context(ctx, ic->streams[0]->codecpar) >= 0 &&
         avcodec_open2(ctx, codec, nullptr) >= 0;
    std::vector<uint8_t> out;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const int width = wav.bits / 8;
    auto drain = [&]() {
        while (avcodec_receive_frame(ctx, frame) >= 0) {
            for (int i = 0; i < frame->nb_samples; ++i)
                for (int c = 0; c < wav.channels; ++c) {
                    int32_t v =
                        wav.bits == 16
                            ? reinterpret_cast<const int16_t*>(frame->extended_data[c])[i]
                            : reinterpret_cast<const int32_t*>(frame->extended_data[c])[i] >> 8;
                    for (int b = 0; b < width; ++b)
                        out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * b)));
                }
            av_frame_unref(frame);
        }
    };
    while (ok && av_read_frame(ic, pkt) >= 0) {
        ok = avcodec_send_packet(ctx, pkt) >= 0;
        av_packet_unref(pkt);
        drain();
    }
    if (ok) {
        avcodec_send_packet(ctx, nullptr);
        drain();
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    avformat_close_input(&ic);
    return ok && out == wav.data;
}

} // namespace

int main(int argc, char** argv) {
    bool check = true;
    int packet_size = 0;
    int arg = 1;
    if (arg < argc && std::strcmp(argv[arg], "--no-verify") == 0) {
        check = false;
        ++arg;
    }
    if (arg + 1 < argc && std::strcmp(argv[arg], "--packet-size") == 0) {
        packet_size = std::atoi(argv[arg + 1]);
        arg += 2;
    }
    FILE* list = stdout;
    if (arg + 1 < argc && std::strcmp(argv[arg], "--list") == 0) {
        list = std::fopen(argv[arg + 1], "w");
        if (list == nullptr) {
            std::perror(argv[arg + 1]);
            return 2;
        }
        arg += 2;
    }
    bool frames = false;
    if (arg < argc && std::strcmp(argv[arg], "--frames") == 0) {
        frames = true;
        ++arg;
    }
    if (argc - arg < 2) {
        std::fprintf(stderr, "usage: wmal_bench [--no-verify] [--packet-size <bytes>] [--list "
                             "<file>] [--frames] <output folder> <file.wav>...\n");
        return 2;
    }
    const std::string out_dir = argv[arg++];
    int failures = 0;
    for (; arg < argc; ++arg) {
        const std::string in = argv[arg];
        Wav wav;
        if (!read_wav(in, wav)) {
            std::fprintf(stderr, "%s: not a 16- or 24-bit PCM WAV file\n", in.c_str());
            ++failures;
            continue;
        }
        Encoded enc;
        wmal::Encoder encoder;
        wmal::EncoderSettings settings;
        settings.sample_rate = wav.rate;
        settings.channels = wav.channels;
        settings.bits_per_sample = wav.bits;
        settings.packet_size = packet_size;
        const std::string base = in.substr(in.find_last_of('/') + 1);
        const std::string stem = out_dir + "/" + base.substr(0, base.rfind('.'));
        std::string frame_lines;
        if (frames)
            encoder.observe_frames([&](int64_t position, int samples, uint64_t bits) {
                frame_lines += std::to_string(position) + ' ' + std::to_string(samples) + ' ' +
                               std::to_string(bits) + '\n';
            });
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpu_start = std::clock();
        bool ok = encoder.configure(settings, [&](const wmal::Packet& p) {
            enc.packets.emplace_back(p.data, p.data + p.size);
            enc.info.push_back(p);
            return true;
        }) == wmal::Status::ok;
        ok = ok && encoder.push_bytes(wav.data.data(), wav.data.size()) == wmal::Status::ok;
        ok = ok && encoder.flush() == wmal::Status::ok;
        const double cpu = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        enc.codec_data = encoder.codec_data();
        enc.packet_size = encoder.packet_size();
        enc.bit_rate = encoder.bit_rate();
        const std::string path = stem + ".wma";
        ok = ok && write_asf(path, wav, enc);
        if (ok && frames)
            ok = static_cast<bool>(std::ofstream(stem + ".frames") << frame_lines);
        if (ok && check && !verify(path, wav)) {
            std::fprintf(stderr, "%s: decoded audio differs from the input\n", in.c_str());
            ok = false;
        }
        if (!ok) {
            ++failures;
            continue;
        }
        std::ifstream f(path, std::ios::binary | std::ios::ate);
        const double audio =
            static_cast<double>(wav.data.size()) / (wav.bits / 8) / wav.channels / wav.rate;
        std::fprintf(list, "%s %.3f %zu %lld %lld %.6f %.6f%s\n", base.c_str(), audio,
                     wav.data.size(), static_cast<long long>(encoder.bytes_written()),
                     static_cast<long long>(f.tellg()), cpu, seconds, check ? " verified" : "");
    }
    if (list != stdout)
        std::fclose(list);
    return failures == 0 ? 0 : 1;
}
