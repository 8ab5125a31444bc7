// The encoding chain with the platform's real graph and writer: whole files
// read back by libavformat, the failures that must never leave a producer
// waiting or a file behind, and two chains at once.
#include "chain_test_support.h"
#include "encoder/dshow_wma_encoder.h"
#include "errors/wma_exception.h"
#include "profiles/attribute_from_text.h"
#include "profiles/wma_preset_loader.h"
#include "wma_file_reader.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr int kBlockFrames = 4410;       // a tenth of a second
constexpr int kTenSecondsOfBlocks = 100; // at 44100 frames per second
constexpr LONG kFramesPerBuffer = 44100;
constexpr long long kTenSeconds = 441000;
// A WMA track decodes to its length and less than two of its longest frames (2048 samples
// at 44.1 kHz) more: the decoder's final flush and the padding that completes it.
constexpr long long kPadding = 2 * 2048 - 1;

const DWORD kPresetBitrates[] = {31984, 48024, 64024, 80024, 96024, 128016, 160016, 192016};

struct Tag {
    const char16_t* name;
    const char16_t* value;
    const char* readBackAs;
    const char* expected;
};

const Tag kTags[] = {
    {u"Title", u"Chain \u00E9t\u00E9 \u6F22", "title", "Chain \xC3\xA9t\xC3\xA9 \xE6\xBC\xA2"},
    {u"Author", u"The Testers", "artist", "The Testers"},
    {u"WM/AlbumTitle", u"Ten Seconds", "album", "Ten Seconds"},
    {u"WM/Genre", u"Sine", "genre", "Sine"},
};

void WriteTags(DShowWMAEncoder& encoder) {
    IWMHeaderInfo* header = nullptr;
    ASSERT_EQ(encoder.QueryHeaderInfo(&header), S_OK);
    ASSERT_NE(header, nullptr);
    for (const Tag& tag : kTags) {
        EXPECT_EQ(SetAttributeFromText(header, {0, tag.name, u"string", tag.value}), S_OK);
    }
    header->Release();
}

IWMProfile* PresetProfile(int preset) {
    WMAPresetLoader loader;
    IWMProfile* profile = nullptr;
    EXPECT_EQ(loader.LoadPresetProfile(preset, &profile), S_OK);
    return profile;
}

// The disk writer's sequence for one track of ten seconds.
void EncodeTenSeconds(int preset, const std::u16string& path) {
    IWMProfile* profile = PresetProfile(preset);
    ASSERT_NE(profile, nullptr);
    {
        DShowWMAEncoder encoder;
        const WAVEFORMATEX format = StereoPcmFormat();
        EXPECT_EQ(encoder.Configure(&format, path.c_str(), profile, kFramesPerBuffer), S_OK);
        profile->Release(); // the encoder holds its own reference
        WriteTags(encoder);
        ASSERT_EQ(encoder.Start(), S_OK);
        EXPECT_EQ(PushTone(encoder, kTenSecondsOfBlocks, kBlockFrames), S_OK);
        EXPECT_EQ(encoder.Finish(), S_OK);
    }
}

// Configures a graph for `preset` writing to `path`, starts it and hands it
// to `feed`; the graph goes when `feed` returns. All of it is bounded in time.
template <class Feed> void RunStartedEncoder(int preset, const std::u16string& path, Feed feed) {
    IWMProfile* profile = PresetProfile(preset);
    ASSERT_NE(profile, nullptr);
    const WAVEFORMATEX format = StereoPcmFormat();
    RunBounded([&] {
        DShowWMAEncoder encoder;
        ASSERT_EQ(encoder.Configure(&format, path.c_str(), profile, kFramesPerBuffer), S_OK);
        ASSERT_EQ(encoder.Start(), S_OK);
        feed(encoder);
    });
    profile->Release();
}

void ExpectTenSecondsWithTags(const std::string& path, const char* codec) {
    const auto facts = ReadWmaFile(path);
    ASSERT_TRUE(facts.has_value()) << path;
    EXPECT_EQ(facts->codecName, codec);
    EXPECT_EQ(facts->sampleRate, 44100);
    EXPECT_EQ(facts->channels, 2);
    EXPECT_GE(facts->decodedFrames, kTenSeconds);
    EXPECT_LE(facts->decodedFrames, kTenSeconds + kPadding);
    for (const Tag& tag : kTags) {
        const auto found = facts->tags.find(tag.readBackAs);
        ASSERT_NE(found, facts->tags.end()) << tag.readBackAs;
        EXPECT_EQ(found->second, tag.expected);
    }
}

class ChainTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A sanitizer may start a helper thread of its own with the first
        // thread the process makes; let that happen before counting.
        std::thread([] {}).join();
        threadsBefore = ThreadCount();
    }
    // A worker's thread is joined through its handle and may still be on its
    // way out for a moment; one that stays is a thread left behind.
    void TearDown() override { EXPECT_TRUE(ThreadsBackTo(threadsBefore)) << ThreadCount(); }

    RegisteredComponentModule module;
    TemporaryFolder folder;
    int threadsBefore = 0;
};

// ---- Whole files ---------------------------------------------------------------------

class PresetChainTest : public ChainTest, public ::testing::WithParamInterface<int> {};

TEST_P(PresetChainTest, TenSecondsOfPcmBecomeATaggedFile) {
    const int preset = GetParam();
    EncodeTenSeconds(preset, folder.WideFile("track.wma"));
    const std::string path = folder.File("track.wma");
    ExpectTenSecondsWithTags(path, "wmav2");
    const auto facts = ReadWmaFile(path);
    ASSERT_TRUE(facts.has_value());
    const double expected = kPresetBitrates[preset];
    EXPECT_NEAR(static_cast<double>(facts->bitRate), expected, expected * 0.05);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"track.wma"});
}

INSTANTIATE_TEST_SUITE_P(ConstantBitRatePresets, PresetChainTest, ::testing::Range(0, 8));

TEST_F(ChainTest, LosslessPresetWritesWmaLossless) {
    EncodeTenSeconds(8, folder.WideFile("lossless.wma"));
    ExpectTenSecondsWithTags(folder.File("lossless.wma"), "wmalossless");
}

TEST_F(ChainTest, AProfileTheWriterRefusesRaisesBeforeThePinsConnect) {
    // Two audio streams: the writer has one input, so it refuses the profile.
    const std::u16string text =
        u"<profile version=\"589824\" storageformat=\"1\" name=\"\">"
        u"<streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\""
        u" streamnumber=\"1\" bitrate=\"64024\">"
        u"<wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\">"
        u"<waveformatex wFormatTag=\"353\" nChannels=\"2\""
        u" nSamplesPerSec=\"44100\" nAvgBytesPerSec=\"8003\""
        u" nBlockAlign=\"2973\" wBitsPerSample=\"16\""
        u" codecdata=\"008800000F00752E0000\"/></wmmediatype></streamconfig>"
        u"<streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\""
        u" streamnumber=\"2\" bitrate=\"64024\">"
        u"<wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\">"
        u"<waveformatex wFormatTag=\"353\" nChannels=\"2\""
        u" nSamplesPerSec=\"44100\" nAvgBytesPerSec=\"8003\""
        u" nBlockAlign=\"2973\" wBitsPerSample=\"16\""
        u" codecdata=\"008800000F00752E0000\"/></wmmediatype></streamconfig>"
        u"</profile>";
    IWMProfile* profile = nullptr;
    {
        WMAPresetLoader loader;
        ASSERT_EQ(loader.LoadCustomProfile(text.c_str(), &profile), S_OK);
    }
    const std::u16string path = folder.WideFile("refused.wma");
    const WAVEFORMATEX format = StereoPcmFormat();
    RunBounded([&] {
        DShowWMAEncoder encoder;
        try {
            encoder.Configure(&format, path.c_str(), profile, kFramesPerBuffer);
            ADD_FAILURE() << "no exception";
        } catch (const CWMAException& error) {
            EXPECT_EQ(error.Message(),
                      "Failed to configure WM Asf Writer filter with selected profile.");
            EXPECT_EQ(error.Code(), NS_E_INVALID_OUTPUT_FORMAT);
            EXPECT_NE(error.Description().find("NS_E_INVALID_OUTPUT_FORMAT"), std::string::npos);
        }
        // The pins were never connected.
        const auto pcm = TonePcm(0, kBlockFrames);
        EXPECT_EQ(encoder.PushPcm(pcm.data(), static_cast<DWORD>(pcm.size())), VFW_E_NOT_CONNECTED);
        EXPECT_EQ(encoder.Start(), E_UNEXPECTED);
        EXPECT_EQ(encoder.Finish(), VFW_E_WRONG_STATE);
    });
    profile->Release();
    EXPECT_TRUE(folder.Entries().empty());
}

TEST_F(ChainTest, WithoutAProfileTheWriterKeepsItsOwnConfiguration) {
    const std::u16string path = folder.WideFile("default.wma");
    const WAVEFORMATEX format = StereoPcmFormat();
    {
        DShowWMAEncoder encoder;
        ASSERT_EQ(encoder.Configure(&format, path.c_str(), nullptr, kFramesPerBuffer), S_OK);
        ASSERT_EQ(encoder.Start(), S_OK);
        EXPECT_EQ(PushTone(encoder, 10, kBlockFrames), S_OK);
        EXPECT_EQ(encoder.Finish(), S_OK);
    }
    const auto facts = ReadWmaFile(folder.File("default.wma"));
    ASSERT_TRUE(facts.has_value());
    EXPECT_GE(facts->decodedFrames, 44100 * facts->sampleRate / 44100);
}

TEST_F(ChainTest, ASecondConfigureReplacesTheFirstGraph) {
    IWMProfile* profile = PresetProfile(3);
    const WAVEFORMATEX format = StereoPcmFormat();
    {
        DShowWMAEncoder encoder;
        const std::u16string first = folder.WideFile("first.wma");
        const std::u16string second = folder.WideFile("second.wma");
        ASSERT_EQ(encoder.Configure(&format, first.c_str(), profile, kFramesPerBuffer), S_OK);
        ASSERT_EQ(encoder.Configure(&format, second.c_str(), profile, kFramesPerBuffer), S_OK);
        ASSERT_EQ(encoder.Start(), S_OK);
        EXPECT_EQ(PushTone(encoder, 10, kBlockFrames), S_OK);
        EXPECT_EQ(encoder.Finish(), S_OK);
    }
    profile->Release();
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"second.wma"});
}

TEST_F(ChainTest, AnExistingFileIsOverwritten) {
    {
        std::FILE* old = std::fopen(folder.File("track.wma").c_str(), "wb");
        ASSERT_NE(old, nullptr);
        std::fputs("not a media file", old);
        std::fclose(old);
    }
    EncodeTenSeconds(0, folder.WideFile("track.wma"));
    ExpectTenSecondsWithTags(folder.File("track.wma"), "wmav2");
}

TEST_F(ChainTest, PartialFramesAndEmptyBlocksKeepTheAudioWhole) {
    RunStartedEncoder(5, folder.WideFile("odd.wma"), [](DShowWMAEncoder& encoder) {
        const auto pcm = TonePcm(0, 44100);
        // Blocks that split frames, with empty ones between them.
        std::size_t at = 0;
        const std::size_t sizes[] = {4410 * 4 + 1, 0, 3, 10000 * 4, 0, 2};
        for (std::size_t i = 0; at < pcm.size(); ++i) {
            const std::size_t size = std::min(sizes[i % std::size(sizes)], pcm.size() - at);
            ASSERT_EQ(encoder.PushPcm(pcm.data() + at, static_cast<DWORD>(size)), S_OK);
            at += size;
        }
        EXPECT_EQ(encoder.Finish(), S_OK);
    });
    const auto facts = ReadWmaFile(folder.File("odd.wma"));
    ASSERT_TRUE(facts.has_value());
    EXPECT_GE(facts->decodedFrames, 44100);
    EXPECT_LE(facts->decodedFrames, 44100 + kPadding);
}

// ---- Calls out of order ------------------------------------------------------------------

TEST_F(ChainTest, AFreshEncoderRefusesEveryStep) {
    DShowWMAEncoder encoder;
    const BYTE pcm[4] = {};
    EXPECT_EQ(encoder.Start(), E_UNEXPECTED);
    EXPECT_EQ(encoder.PushPcm(pcm, sizeof pcm), E_UNEXPECTED);
    EXPECT_EQ(encoder.Finish(), E_UNEXPECTED);
    IWMHeaderInfo* header = reinterpret_cast<IWMHeaderInfo*>(&encoder);
    EXPECT_EQ(encoder.QueryHeaderInfo(&header), E_UNEXPECTED);
    EXPECT_EQ(header, nullptr);
    EXPECT_EQ(encoder.QueryHeaderInfo(nullptr), E_POINTER);
}

TEST_F(ChainTest, AnEmptyFileNameIsRefusedByTheWriter) {
    DShowWMAEncoder encoder;
    const WAVEFORMATEX format = StereoPcmFormat();
    try {
        encoder.Configure(&format, u"", nullptr, kFramesPerBuffer);
        ADD_FAILURE() << "no exception";
    } catch (const CWMAException& error) {
        EXPECT_EQ(error.Message(), "Unable to set File writer filename.");
        EXPECT_EQ(error.Code(), E_INVALIDARG);
        EXPECT_EQ(error.SourceFile(), "DShowWMAEncoder");
    }
}

// ---- Failures: every call returns, no thread stays, no file appears ----------------------

TEST_F(ChainTest, AGraphThatNeverRanTakesNoAudio) {
    IWMProfile* profile = PresetProfile(2);
    const std::u16string path = folder.WideFile("never.wma");
    const WAVEFORMATEX format = StereoPcmFormat();
    RunBounded([&] {
        DShowWMAEncoder encoder;
        ASSERT_EQ(encoder.Configure(&format, path.c_str(), profile, kFramesPerBuffer), S_OK);
        // No Start: the queue would fill and the third block would wait for ever.
        for (int i = 0; i < 3; ++i) {
            const auto pcm = TonePcm(0, kBlockFrames);
            EXPECT_EQ(encoder.PushPcm(pcm.data(), static_cast<DWORD>(pcm.size())),
                      VFW_E_WRONG_STATE);
        }
        EXPECT_EQ(encoder.Finish(), VFW_E_WRONG_STATE);
    });
    profile->Release();
    EXPECT_TRUE(folder.Entries().empty());
}

TEST_F(ChainTest, AnOutputPathInAMissingFolderFailsEveryLaterStep) {
    HRESULT pushed = S_OK;
    HRESULT finished = S_OK;
    RunStartedEncoder(2, folder.WideFile("missing/track.wma"), [&](DShowWMAEncoder& encoder) {
        pushed = PushTone(encoder, kTenSecondsOfBlocks, kBlockFrames);
        finished = encoder.Finish();
    });
    EXPECT_EQ(pushed, VFW_E_WRONG_STATE);
    EXPECT_TRUE(FAILED(finished));
    EXPECT_NE(finished, VFW_E_TIMEOUT); // the abort ended the wait
    EXPECT_TRUE(folder.Entries().empty());
}

// Refuses writes past a file size, so that the writer fails in the middle of
// the stream; restores the limit afterwards.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(ChainTest, AWriterThatRefusesASampleMidStreamReleasesTheProducer) {
    HRESULT pushed = S_OK;
    HRESULT finished = S_OK;
    RunStartedEncoder(7, folder.WideFile("cut.wma"), [&](DShowWMAEncoder& encoder) {
        // Ten seconds at 192 kbps are about 240 KB; writing stops at 64 KB.
        FileSizeLimit limit(64 * 1024);
        pushed = PushTone(encoder, kTenSecondsOfBlocks, kBlockFrames);
        finished = encoder.Finish();
    });
    EXPECT_EQ(pushed, VFW_E_WRONG_STATE);
    EXPECT_TRUE(FAILED(finished));
    EXPECT_TRUE(folder.Entries().empty()); // nor a temporary file
}

TEST_F(ChainTest, DestroyingARunningEncoderWithoutFinishDoesNotHang) {
    RunStartedEncoder(1, folder.WideFile("dropped.wma"), [](DShowWMAEncoder& encoder) {
        EXPECT_EQ(PushTone(encoder, 5, kBlockFrames), S_OK);
        // Destroyed after this while the worker waits for the next block.
    });
    EXPECT_TRUE(folder.Entries().empty());
}

// ---- Two chains at once --------------------------------------------------------------------

TEST_F(ChainTest, TwoEncodersInTwoThreadsWriteTwoFiles) {
    std::thread first([&] { EncodeTenSeconds(2, folder.WideFile("first.wma")); });
    std::thread second([&] { EncodeTenSeconds(6, folder.WideFile("second.wma")); });
    first.join();
    second.join();
    ExpectTenSecondsWithTags(folder.File("first.wma"), "wmav2");
    ExpectTenSecondsWithTags(folder.File("second.wma"), "wmav2");
}

} // namespace
