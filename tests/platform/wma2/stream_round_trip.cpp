#include "stream_round_trip.h"

#include "libav_decoding.h"

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/samplefmt.h>
}

#include <cmath>

namespace wma2_test {

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
    out.audio.resize(static_cast<std::size_t>(stream.settings.channels));
    test_support::CodecSetup setup;
    setup.codec_id = AV_CODEC_ID_WMAV2;
    setup.sample_rate = stream.settings.sample_rate;
    setup.channels = stream.settings.channels;
    setup.bit_rate = stream.bit_rate;
    setup.block_align = stream.packet_bytes;
    setup.extradata.assign(stream.codec_data.begin(), stream.codec_data.end());
    std::vector<test_support::InputPacket> packets;
    for (std::size_t i = 0; i < stream.packets.size(); ++i) {
        packets.push_back({stream.packets[i].data(), stream.packets[i].size(), true,
                           stream.timestamps[i], stream.durations[i]});
    }
    const auto report = test_support::DecodeWithLibav(
        setup, packets, [&out](const AVFrame& frame, std::string& error) {
            if (frame.format != AV_SAMPLE_FMT_FLTP) {
                error = "unexpected sample format";
                return false;
            }
            for (std::size_t ch = 0; ch < out.audio.size(); ++ch) {
                const auto* samples = reinterpret_cast<const float*>(frame.extended_data[ch]);
                out.audio[ch].insert(out.audio[ch].end(), samples, samples + frame.nb_samples);
            }
            return true;
        });
    out.ok = report.ok;
    out.error = report.error;
    out.problems = report.problems;
    out.first_problem = report.first_problem;
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
