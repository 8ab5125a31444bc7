// The writer's seam for 0x161 profiles: which targets the encoder takes, the one-line
// reasons for those it refuses, and what it tells the container.
#include "packet_encoder.h"
#include "wma2_packet_encoder.h"

#include "platform/wmsdk.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/codec_id.h>
}

#include <cmath>

namespace {

using namespace writer;

EncoderTarget Target(int rate, int channels, DWORD bitrate, WORD block_align = 0) {
    return {WAVE_FORMAT_WMAUDIO2, rate, channels, bitrate, block_align, {}};
}

TEST(Wma2Target, ProfilesTheFormatCannotCarryAreRefusedWithTheirLimit) {
    const struct {
        EncoderTarget target;
        const char* names;
    } refused[] = {
        {Target(44100, 6, 128000), "channels"},
        {Target(96000, 2, 128000), "96000 Hz"},
        {Target(4000, 1, 16000), "4000 Hz"},
        {Target(44100, 2, 8000), "too low"},
        {Target(44100, 2, 9000000), "too high"},
        // Packets of more frames than the format lets a packet hold cannot be filled.
        {Target(44100, 2, 32000, 3000), "at most 2600 bytes per packet"},
        {Target(44100, 2, 128016, 12000), "at most 10403 bytes per packet"},
    };
    for (const auto& item : refused) {
        SCOPED_TRACE(item.names);
        EXPECT_EQ(CheckEncodable(item.target), NS_E_INVALID_OUTPUT_FORMAT);
        EXPECT_NE(DescribeUnencodable(item.target).find(item.names), std::string::npos);
        const std::string reason = Wma2TargetProblem(item.target);
        EXPECT_NE(reason.find(item.names), std::string::npos) << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos);
    }
    for (const auto& target : {Target(44100, 2, 128016, 5945), Target(48000, 1, 32000),
                               Target(22050, 2, 32000), Target(8000, 1, 8000)}) {
        EXPECT_EQ(CheckEncodable(target), S_OK);
        EXPECT_EQ(Wma2TargetProblem(target), "");
    }
}

TEST(Wma2Target, TheStreamDescriptionAndPacketsFollowTheProfile) {
    HRESULT hr = E_FAIL;
    // 48 kHz mono in, 44.1 kHz stereo out: resampled on the way.
    auto encoder = CreatePacketEncoder(Target(44100, 2, 128016, 5945), {48000, 1}, &hr);
    ASSERT_EQ(hr, S_OK);
    ASSERT_NE(encoder, nullptr);
    const EncodedStreamInfo& info = encoder->Info();
    EXPECT_EQ(info.formatTag, WAVE_FORMAT_WMAUDIO2);
    EXPECT_EQ(info.codecId, AV_CODEC_ID_WMAV2);
    EXPECT_EQ(info.sampleRate, 44100);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.bitRate, 128016);
    EXPECT_EQ(info.blockAlign, 5945);
    EXPECT_EQ(info.packetBytes, 5945);
    EXPECT_EQ(info.frameSize, 2048);
    ASSERT_EQ(info.extradata.size(), 10u);
    EXPECT_EQ(info.extradata[4] | (info.extradata[5] << 8), 0x001F);

    std::vector<std::int16_t> pcm(48000);
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        pcm[i] = static_cast<std::int16_t>(8000 * std::sin(0.05 * static_cast<double>(i)));
    }
    std::vector<EncodedPacket> packets;
    ASSERT_EQ(encoder->Encode(reinterpret_cast<const BYTE*>(pcm.data()), pcm.size(), packets),
              S_OK);
    ASSERT_EQ(encoder->Finish(packets), S_OK);
    ASSERT_FALSE(packets.empty());
    // From the two frames of lead-in the decoder drops, packet after packet, to the end of
    // one second of audio at the profile's rate.
    std::int64_t covered = -2 * 2048;
    for (const auto& packet : packets) {
        EXPECT_EQ(packet.data.size(), 5945u);
        EXPECT_EQ(packet.pts, covered);
        covered += packet.duration;
    }
    EXPECT_NEAR(static_cast<double>(covered), 44100.0, 2.0);
}

} // namespace
