// The encoding back end on its own: PCM in, a Windows Media file out, read back
// by libavformat and libavcodec.
#include "built_in_profiles.h"
#include "commands.h"
#include "decoded_audio.h"
#include "encoding_session.h"
#include "pcm_analysis.h"
#include "profile_targets.h"
#include "scoped_environment.h"
#include "test_files.h"
#include "wma_lossless_encoder.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/codec_id.h>
}

#include <filesystem>

namespace {

// The bytes of 16-bit PCM, as the session takes them.
const BYTE* Bytes(const std::int16_t* samples) {
    return reinterpret_cast<const BYTE*>(samples);
}

using namespace writer;
using namespace writer_test;

EncoderTarget BuiltInTarget(int preset) {
    IWMProfileManager* manager = nullptr;
    EXPECT_EQ(WMCreateProfileManager(&manager), S_OK);
    const auto& text = kBuiltInProfiles[static_cast<std::size_t>(preset)].text;
    const std::u16string wide(text.begin(), text.end());
    IWMProfile* profile = nullptr;
    EXPECT_EQ(manager->LoadProfileByData(wide.c_str(), &profile), S_OK);
    std::vector<ProfileStreamTarget> targets;
    EXPECT_EQ(ReadProfileTargets(profile, &targets), S_OK);
    profile->Release();
    manager->Release();
    return targets.empty() ? EncoderTarget{} : targets.front().target;
}

// Pushes the PCM in chunks of about a tenth of a second and finishes.
HRESULT Encode(const std::string& path, const EncoderTarget& target, int rate, int channels,
               const std::vector<std::int16_t>& pcm,
               const std::vector<HeaderAttribute>& attributes = {}) {
    std::unique_ptr<EncodingSession> session;
    HRESULT hr = EncodingSession::Start(path, {{target, {rate, channels}}}, attributes, &session);
    if (FAILED(hr)) {
        return hr;
    }
    const std::size_t frames = pcm.size() / static_cast<std::size_t>(channels);
    const std::size_t chunk = static_cast<std::size_t>(rate) / 10 + 7;
    for (std::size_t at = 0; at < frames; at += chunk) {
        hr = session->Write(0, Bytes(pcm.data() + at * static_cast<std::size_t>(channels)),
                            std::min(chunk, frames - at));
        if (FAILED(hr)) {
            return hr;
        }
    }
    return session->Finish();
}

// A WMA 2 track decodes to its length and less than two codec frames (2048 samples at
// 44100 Hz) more: the decoder's final flush and the padding that completes it.
constexpr int kPadding = 2 * 2048 - 1;

TEST(EncodingSession, EveryLossyBuiltInProfileWritesStereo44100AndMono48000) {
    TemporaryFolder folder;
    const struct {
        int rate;
        int channels;
    } inputs[] = {{44100, 2}, {48000, 1}};
    for (int preset = 0; preset < 8; ++preset) {
        const auto target = BuiltInTarget(preset);
        for (const auto& input : inputs) {
            SCOPED_TRACE(testing::Message() << "preset " << preset << " input " << input.rate);
            const auto path = folder.File("out.wma");
            ASSERT_EQ(Encode(path, target, input.rate, input.channels,
                             Tone(input.rate, input.channels, 10.0)),
                      S_OK);
            const auto audio = DecodeFile(path);
            ASSERT_TRUE(audio.opened);
            EXPECT_TRUE(Decoded(audio, "wmav2", 44100, 2, 441000, kPadding));
            EXPECT_EQ(audio.bitRate, target.bitrate);
            EXPECT_EQ(audio.decodeErrors, 0);
            // Ten seconds at the profile's bit rate, with the container's framing.
            const double nominal = target.bitrate / 8.0 * 10.0;
            const auto size = static_cast<double>(std::filesystem::file_size(path));
            EXPECT_GT(size, nominal);
            EXPECT_LT(size, nominal * 1.07);
            // Nothing but the file is left in the folder.
            EXPECT_EQ(folder.Entries(), std::vector<std::string>{"out.wma"});
        }
    }
}

TEST(EncodingSession, AudioStaysWhereItWas) {
    TemporaryFolder folder;
    const auto target = BuiltInTarget(7);
    const auto path = folder.File("sweep.wma");
    const auto stereo = Sweep(44100, 2, 3.0);
    ASSERT_EQ(Encode(path, target, 44100, 2, stereo), S_OK);
    EXPECT_EQ(BestLag(FirstChannel(stereo, 2), DecodeFile(path).firstChannel, 3000), 0);

    // Resampled from 48000 Hz: compare with the sweep as it sounds at 44100 Hz.
    const auto mono = Sweep(48000, 1, 3.0);
    ASSERT_EQ(Encode(path, target, 48000, 1, mono), S_OK);
    const int lag =
        BestLag(FirstChannel(Sweep(44100, 1, 3.0), 1), DecodeFile(path).firstChannel, 3000);
    EXPECT_LE(std::abs(lag), 2);
}

TEST(EncodingSession, TracksOfAnyLengthPlayWithCleanTimesAndTheirOwnDuration) {
    // FFmpeg's own player path reads the packet times: nothing is logged (a short track
    // once made it guess a time going backwards), the audio starts at zero, and the file
    // names the track's own length.
    TemporaryFolder folder;
    const auto target = BuiltInTarget(5);
    const auto path = folder.File("short.wma");
    for (const int frames : {700, 1500, 3000, 5000, 6143, 44100}) {
        SCOPED_TRACE(frames);
        ASSERT_EQ(Encode(path, target, 44100, 2, Tone(44100, 2, frames / 44100.0)), S_OK);
        const auto played = test_support::RunCommand(
            "/usr/bin/ffmpeg -nostdin -hide_banner -v warning -xerror -i " +
            test_support::ShellQuote(path) + " -f null - 2>&1 | grep -v 'Guessed Channel Layout'");
        EXPECT_EQ(played.out, "");
        const auto probed = test_support::RunCommand(
            "/usr/bin/ffprobe -v error -show_entries frame=pts -of csv=p=0 " +
            test_support::ShellQuote(path) + " | head -n 1; /usr/bin/ffprobe -v error " +
            "-show_entries format=duration -of csv=p=0 " + test_support::ShellQuote(path));
        ASSERT_EQ(probed.status, 0) << probed.err;
        // A track of less than half a frame decodes from the final flush alone, which
        // carries no time of its own.
        EXPECT_EQ(probed.out.substr(0, probed.out.find('\n')), frames < 960 ? "N/A" : "0");
        EXPECT_NEAR(std::stod(probed.out.substr(probed.out.find('\n') + 1)), frames / 44100.0,
                    0.0011)
            << probed.out;
    }
}

TEST(EncodingSession, FileSizeFollowsTheBitRateOverAMinute) {
    TemporaryFolder folder;
    for (int preset : {0, 7}) {
        const auto target = BuiltInTarget(preset);
        const auto path = folder.File("long.wma");
        ASSERT_EQ(Encode(path, target, 44100, 2, Tone(44100, 2, 60.0)), S_OK);
        const double nominal = target.bitrate / 8.0 * 60.0;
        const auto size = static_cast<double>(std::filesystem::file_size(path));
        EXPECT_GT(size, nominal);
        EXPECT_LT(size, nominal * 1.03) << "preset " << preset;
    }
}

TEST(EncodingSession, TheSameInputGivesTheSameBytes) {
    // With the creation date fixed, as reproducible builds fix it.
    test_support::ScopedEnvironment fixedDate("SOURCE_DATE_EPOCH", "1600000000");
    TemporaryFolder folder;
    const auto target = BuiltInTarget(4);
    const auto pcm = Tone(44100, 2, 2.0);
    const std::vector<HeaderAttribute> attributes = {{u"Title", WMT_TYPE_STRING, {'A', 0, 0, 0}}};
    ASSERT_EQ(Encode(folder.File("a.wma"), target, 44100, 2, pcm, attributes), S_OK);
    ASSERT_EQ(Encode(folder.File("b.wma"), target, 44100, 2, pcm, attributes), S_OK);
    const auto first = ReadFile(folder.File("a.wma"));
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, ReadFile(folder.File("b.wma")));
    // No tool tag: the muxer's name appears nowhere in the file.
    EXPECT_EQ(first.find("Lavf"), std::string::npos);
}

TEST(EncodingSession, WindowsMediaAudio1IsWrittenToo) {
    TemporaryFolder folder;
    EncoderTarget target{WAVE_FORMAT_WMAUDIO1, 22050, 1, 32000, 0, {}};
    const auto path = folder.File("v1.wma");
    ASSERT_EQ(Encode(path, target, 44100, 2, Tone(44100, 2, 2.0)), S_OK);
    const auto audio = DecodeFile(path);
    EXPECT_TRUE(Decoded(audio, "wmav1", 22050, 1, 44100, 1024));
}

TEST(EncodingSession, TargetsNoCodecCanWriteAreRefused) {
    TemporaryFolder folder;
    const std::vector<EncoderTarget> refused = {
        {WAVE_FORMAT_WMAUDIO2, 44100, 6, 128000, 0, {}}, // too many channels
        {WAVE_FORMAT_WMAUDIO2, 96000, 2, 128000, 0, {}}, // rate too high
        {WAVE_FORMAT_WMAUDIO2, 44100, 2, 8000, 0, {}},   // bit rate too low
        {WAVE_FORMAT_WMAUDIO3, 44100, 2, 128000, 0, {}}, // no encoder
        {0x0001, 44100, 2, 1411200, 0, {}},              // no encoder either
    };
    for (const auto& target : refused) {
        SCOPED_TRACE(target.formatTag);
        EXPECT_EQ(CheckEncodable(target), NS_E_INVALID_OUTPUT_FORMAT);
        std::unique_ptr<EncodingSession> session;
        EXPECT_EQ(
            EncodingSession::Start(folder.File("x.wma"), {{target, {44100, 2}}}, {}, &session),
            NS_E_INVALID_OUTPUT_FORMAT);
        EXPECT_EQ(session, nullptr);
    }
    EXPECT_TRUE(folder.Entries().empty());
}

// A stand-in codec registered for the lossless format: fixed packets of
// nothing, enough to show that the registered factory is the one used.
class FakeLosslessEncoder final : public PacketEncoder {
public:
    explicit FakeLosslessEncoder(const PcmFormat& input) {
        info_.formatTag = WAVE_FORMAT_WMAUDIO_LOSSLESS;
        info_.codecId = AV_CODEC_ID_WMALOSSLESS;
        info_.sampleRate = input.sampleRate;
        info_.channels = input.channels;
        info_.blockAlign = 4096;
        info_.bitRate = 1411200;
        info_.frameSize = 4096 / (2 * input.channels);
        info_.packetBytes = 4096;
        // 16 bits, channel mask front centre, length-prefixed frames.
        info_.extradata = {0x10, 0x00, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x21, 0, 0, 0};
    }
    const EncodedStreamInfo& Info() const override { return info_; }
    HRESULT Encode(const BYTE*, std::size_t frames, std::vector<EncodedPacket>& out) override {
        pending_ += static_cast<std::int64_t>(frames);
        while (pending_ >= info_.frameSize) {
            out.push_back({std::vector<BYTE>(4096, 0x55), pts_, info_.frameSize});
            pts_ += info_.frameSize;
            pending_ -= info_.frameSize;
        }
        return S_OK;
    }
    HRESULT Finish(std::vector<EncodedPacket>&) override { return S_OK; }

private:
    EncodedStreamInfo info_;
    std::int64_t pending_ = 0;
    std::int64_t pts_ = 0;
};

std::unique_ptr<PacketEncoder> MakeFakeLossless(const EncoderTarget&, const PcmFormat& input,
                                                HRESULT* result) {
    *result = S_OK;
    return std::make_unique<FakeLosslessEncoder>(input);
}

TEST(EncodingSession, TheRegisteredFactoryIsTheOneUsed) {
    TemporaryFolder folder;
    const auto target = BuiltInTarget(8);
    EXPECT_EQ(target.formatTag, WAVE_FORMAT_WMAUDIO_LOSSLESS);

    RegisterPacketEncoderFactory(WAVE_FORMAT_WMAUDIO_LOSSLESS, nullptr);
    EXPECT_EQ(CheckEncodable(target), NS_E_INVALID_OUTPUT_FORMAT);
    RegisterPacketEncoderFactory(WAVE_FORMAT_WMAUDIO_LOSSLESS, &MakeFakeLossless);
    const auto path = folder.File("fake.wma");
    const HRESULT hr = Encode(path, target, 48000, 1, Tone(48000, 1, 1.0));
    RegisterPacketEncoderFactory(WAVE_FORMAT_WMAUDIO_LOSSLESS, &CreateWmaLosslessEncoder);
    ASSERT_EQ(hr, S_OK);

    const auto audio = DecodeFile(path);
    ASSERT_TRUE(audio.opened);
    EXPECT_EQ(audio.codec, "wmalossless");
    EXPECT_EQ(audio.blockAlign, 4096); // the fake's packets, not the real encoder's
}

// Counts the encoders it is asked for; refuses 8-bit input.
int fakesAsked = 0;
std::unique_ptr<PacketEncoder> CountFakeLossless(const EncoderTarget& target,
                                                 const PcmFormat& input, HRESULT* result) {
    ++fakesAsked;
    if (input.bitsPerSample == 8) {
        *result = NS_E_INVALID_DATA;
        return nullptr;
    }
    return MakeFakeLossless(target, input, result);
}

TEST(EncodingSession, ChecksOfWhatWasMadeBeforeMakeNoEncoder) {
    const auto target = BuiltInTarget(8);
    const PcmFormat input{48000, 1, 16};
    fakesAsked = 0;
    RegisterPacketEncoderFactory(WAVE_FORMAT_WMAUDIO_LOSSLESS, &CountFakeLossless);
    EXPECT_EQ(CheckEncoder(target, input), S_OK);
    EXPECT_EQ(CheckEncoder(target, input), S_OK);
    EXPECT_EQ(fakesAsked, 1);
    HRESULT hr = E_FAIL;
    EXPECT_NE(CreatePacketEncoder(target, input, &hr), nullptr) << "a run's encoder is made";
    EXPECT_EQ(fakesAsked, 2);
    EXPECT_EQ(CheckEncoder(target, PcmFormat{44100, 2, 16}), S_OK) << "another input";
    EXPECT_EQ(CheckEncoder(target, PcmFormat{44100, 2, 16}), S_OK);
    EXPECT_EQ(fakesAsked, 3);
    auto other = target;
    other.bitrate += 1000;
    EXPECT_EQ(CheckEncoder(other, input), S_OK) << "another target";
    EXPECT_EQ(fakesAsked, 4);
    EXPECT_EQ(CheckEncoder(target, PcmFormat{48000, 1, 8}), NS_E_INVALID_DATA);
    EXPECT_EQ(CheckEncoder(target, PcmFormat{48000, 1, 8}), NS_E_INVALID_DATA);
    EXPECT_EQ(fakesAsked, 6) << "a refusal is asked again, for its reason";

    RegisterPacketEncoderFactory(WAVE_FORMAT_WMAUDIO_LOSSLESS, &CountFakeLossless);
    EXPECT_EQ(CheckEncoder(target, input), S_OK);
    EXPECT_EQ(fakesAsked, 7) << "a factory registered again is asked again";
    RegisterPacketEncoderFactory(WAVE_FORMAT_WMAUDIO_LOSSLESS, nullptr);
    EXPECT_EQ(CheckEncoder(target, input), NS_E_INVALID_OUTPUT_FORMAT);
    RegisterPacketEncoderFactory(WAVE_FORMAT_WMAUDIO_LOSSLESS, &CreateWmaLosslessEncoder);
    EXPECT_EQ(fakesAsked, 7);
}

TEST(EncodingSession, LosslessKeepsTheInputsRateChannelsAndEverySample) {
    TemporaryFolder folder;
    const auto target = BuiltInTarget(8);
    EXPECT_EQ(CheckEncodable(target), S_OK);
    const struct {
        int rate;
        int channels;
    } inputs[] = {{44100, 2}, {48000, 1}};
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.rate);
        const auto path = folder.File("lossless.wma");
        const auto pcm = Sweep(input.rate, input.channels, 10.0);
        ASSERT_EQ(Encode(path, target, input.rate, input.channels, pcm), S_OK);
        const auto audio = DecodeFile(path);
        ASSERT_TRUE(audio.opened);
        EXPECT_TRUE(Decoded(audio, "wmalossless", input.rate, input.channels, input.rate * 10));
        EXPECT_EQ(audio.decodeErrors, 0);
        EXPECT_EQ(audio.firstChannel, FirstChannel(pcm, input.channels));
    }
}

TEST(EncodingSession, AFileThatCannotBeCreatedIsReportedAndNothingIsLeft) {
    TemporaryFolder folder;
    const auto target = BuiltInTarget(5);
    EXPECT_EQ(Encode(folder.File("missing/out.wma"), target, 44100, 2, Tone(44100, 2, 0.5)),
              NS_E_FILE_OPEN_FAILED);
    std::filesystem::create_directory(folder.File("dir.wma"));
    EXPECT_EQ(Encode(folder.File("dir.wma"), target, 44100, 2, Tone(44100, 2, 0.5)),
              NS_E_FILE_OPEN_FAILED);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"dir.wma"});
}

TEST(EncodingSession, AnOlderFileIsReplacedOnlyWhenTheNewOneIsComplete) {
    TemporaryFolder folder;
    const auto target = BuiltInTarget(5);
    const auto path = folder.File("song.wma");
    WriteWholeFile(path, "older file");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write |
                                           std::filesystem::perms::group_read);
    {
        std::unique_ptr<EncodingSession> session;
        ASSERT_EQ(EncodingSession::Start(path, {{target, {44100, 2}}}, {}, &session), S_OK);
        const auto pcm = Tone(44100, 2, 1.0);
        ASSERT_EQ(session->Write(0, Bytes(pcm.data()), 44100), S_OK);
        EXPECT_EQ(ReadFile(path), "older file");
        EXPECT_EQ(folder.Entries().size(), 2u); // the file and the one being written
        // Dropped unfinished: abandoned.
    }
    EXPECT_EQ(ReadFile(path), "older file");
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"song.wma"});

    ASSERT_EQ(Encode(path, target, 44100, 2, Tone(44100, 2, 1.0)), S_OK);
    EXPECT_EQ(DecodeFile(path).codec, "wmav2");
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"song.wma"});
}

TEST(EncodingSession, WithoutReplacementAnExistingFileIsKept) {
    TemporaryFolder folder;
    const auto path = folder.File("kept.wma");
    WriteWholeFile(path, "keep me");
    std::unique_ptr<EncodingSession> session;
    EXPECT_EQ(EncodingSession::Start(path, {{BuiltInTarget(5), {44100, 2}}}, {}, &session, false),
              NS_E_FILE_OPEN_FAILED);
    EXPECT_EQ(ReadFile(path), "keep me");
    ASSERT_EQ(EncodingSession::Start(folder.File("new.wma"), {{BuiltInTarget(5), {44100, 2}}}, {},
                                     &session, false),
              S_OK);
    EXPECT_EQ(session->Finish(), S_OK);
    EXPECT_TRUE(DecodeFile(folder.File("new.wma")).opened);
}

TEST(EncodingSession, ASymbolicLinkIsFollowedAndStays) {
    TemporaryFolder folder;
    std::filesystem::create_directory(folder.File("music"));
    const auto target = folder.File("music/real.wma");
    WriteWholeFile(target, "old");
    std::filesystem::create_symlink("music/real.wma", folder.File("link.wma"));
    ASSERT_EQ(Encode(folder.File("link.wma"), BuiltInTarget(3), 44100, 2, Tone(44100, 2, 1.0)),
              S_OK);
    EXPECT_TRUE(std::filesystem::is_symlink(folder.File("link.wma")));
    EXPECT_EQ(DecodeFile(target).codec, "wmav2");
    EXPECT_EQ(folder.Entries().size(), 2u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.File("music")),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(EncodingSession, ADeviceIsWrittenDirectlyAndNeverReplaced) {
    if (!std::filesystem::is_character_file("/dev/null")) {
        GTEST_SKIP() << "no null device";
    }
    EXPECT_EQ(Encode("/dev/null", BuiltInTarget(5), 44100, 2, Tone(44100, 2, 1.0)), S_OK);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

TEST(EncodingSession, AFullDeviceFailsTheWriteAndStaysInPlace) {
    if (!std::filesystem::is_character_file("/dev/full")) {
        GTEST_SKIP() << "no full device";
    }
    EXPECT_EQ(Encode("/dev/full", BuiltInTarget(5), 44100, 2, Tone(44100, 2, 2.0)),
              NS_E_FILE_WRITE);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

} // namespace
