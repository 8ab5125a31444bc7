// The disk writer driven as the host drives it, with real encoding chains.
#include "errors/wma_exception.h"
#include "platform/win32_api.h"
#include "writer_fixture.h"

#include <fstream>

namespace {

using namespace diskwriter_test;

constexpr char kComponentPath[] = "/components/ostrel.so";

bool Configure(diskwriter& writer, std::int32_t index, const std::string& text = "") {
    const auto block = ConfigBlock(index, text);
    return writer.set_config(block.data(), static_cast<std::uint32_t>(block.size()));
}

std::string FileContent(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

using LifecycleTest = DiskWriterTest;

TEST_F(LifecycleTest, AnswersItsFixedSlots) {
    string8 text("old");
    writer->report_format_name(text);
    EXPECT_STREQ(text.text(), "Windows Media Audio");
    EXPECT_TRUE(writer->report_file_extension(text));
    EXPECT_STREQ(text.text(), "wma");
    const GUID expected = {
        0x0741CABB, 0xF7FA, 0x4B3B, {0x8E, 0x7C, 0xB8, 0xE7, 0x2A, 0x26, 0x4D, 0x32}};
    EXPECT_EQ(writer->get_guid(), expected);
    EXPECT_TRUE(writer->has_settings_dialog());
    EXPECT_EQ(writer->query_int_flag(), 1);
    EXPECT_EQ(writer->query_service(componentversion::class_guid), nullptr);
    EXPECT_EQ(writer->query_service(diskwriter::class_guid), writer);
    EXPECT_EQ(writer->release(), 1);
}

TEST_F(LifecycleTest, OpenDropsTheFirstSevenBytesOfTheLocation) {
    EXPECT_TRUE(writer->open("file://C:\\Music\\a.wma", 0, 0, 0, 0, 0));
    EXPECT_EQ(writer->output_file_name(), u"C:\\Music\\a.wma");
    EXPECT_TRUE(writer->open("file://", 1, 2, 3, 4, 5));
    EXPECT_EQ(writer->output_file_name(), u"C:\\Music\\a.wma") << "7 bytes keep the old name";
    EXPECT_TRUE(writer->open("abcdefgXY", 0, 0, 0, 0, 0));
    EXPECT_EQ(writer->output_file_name(), u"XY") << "the prefix is not compared";
    EXPECT_TRUE(writer->open("file:///m\xC3\xBAsica/\xE2\x99\xAB.wma", 0, 0, 0, 0, 0));
    EXPECT_EQ(writer->output_file_name(), u"/m\u00FAsica/\u266B.wma");
}

TEST_F(LifecycleTest, TwoTracksMakeTwoFilesAndTwoTimingLinesWithOneConverter) {
    WriteTrack("one.wma", nullptr, 44100);
    WriteTrack("two.wma", nullptr, 22050);

    EXPECT_TRUE(std::filesystem::is_regular_file(PathOf("one.wma")));
    EXPECT_TRUE(std::filesystem::is_regular_file(PathOf("two.wma")));
    EXPECT_EQ(host.converterRequests, 1) << "the converter is fetched once per instance";
    EXPECT_TRUE(host.converter.lastArgumentsWere16BitSignedInteger);
    EXPECT_EQ(host.converter.calls, 11 + 6);

    const auto lines = host.console.Lines();
    ASSERT_EQ(lines.size(), 2u) << (lines.empty() ? "" : lines.back().text);
    for (const ConsoleLine& line : lines) {
        EXPECT_EQ(line.severity, console::severity_information);
        EXPECT_TRUE(StartsWith(line.text, "Encoding took ")) << line.text;
        EXPECT_NE(line.text.find(" milliseconds, speed "), std::string::npos) << line.text;
        EXPECT_EQ(line.text.back(), 'x');
        EXPECT_EQ(line.source, kComponentPath);
    }
    EXPECT_EQ(host.files.existenceQuestions,
              (std::vector<std::string>{PathOf("one.wma"), PathOf("two.wma")}));

    writer->release();
    writer = nullptr;
    EXPECT_EQ(host.converter.references, 0) << "the converter is given back with the writer";
    EXPECT_EQ(host.console.references, 0);
    EXPECT_EQ(host.files.references, 0);
}

TEST_F(LifecycleTest, WaveFormatFollowsTheFirstChunk) {
    ASSERT_TRUE(writer->open(Location("format.wma").c_str(), 0, 0, 0, 0, 0));
    ASSERT_TRUE(FeedChunk(*writer, 4800, 2, 48000));
    const WAVEFORMATEX& format = writer->wave_format();
    EXPECT_EQ(format.wFormatTag, 1);
    EXPECT_EQ(format.nChannels, 2);
    EXPECT_EQ(format.nSamplesPerSec, 48000u);
    EXPECT_EQ(format.nBlockAlign, 4);
    EXPECT_EQ(format.nAvgBytesPerSec, 192000u);
    EXPECT_EQ(format.wBitsPerSample, 16);
    EXPECT_EQ(format.cbSize, 0);
    writer->close();
    ReadBackFile file = ReadWithMutagen(PathOf("format.wma"));
    if (MutagenAvailable()) {
        ASSERT_TRUE(file.readable);
        EXPECT_NEAR(file.lengthSeconds, 0.1, 0.1);
    }
}

TEST_F(LifecycleTest, AFailedSetUpIsReportedAndTheNextChunkTriesAgain) {
    ASSERT_TRUE(Configure(*writer, 9, "<profile this is not a profile>"));
    ASSERT_TRUE(writer->open(Location("retry.wma").c_str(), 0, 0, 0, 0, 0));

    // A chunk without audio loses nothing when its set-up fails.
    EXPECT_FALSE(FeedChunk(*writer, 0, 2, 44100));
    EXPECT_FALSE(FeedChunk(*writer, 0, 2, 44100));
    const auto errors = host.console.Texts(console::severity_error);
    ASSERT_EQ(errors.size(), 4u) << "each chunk repeats the whole set-up";
    const std::string expected = CWMAException("Failed to load selected profile.",
                                               static_cast<HRESULT>(0xC00D0BC6), "ostrel", 0)
                                     .Description();
    EXPECT_EQ(errors[0], expected);
    EXPECT_EQ(errors[1].rfind("not a usable profile: not XML: ", 0), 0u)
        << "the platform's words follow: " << errors[1];
    EXPECT_EQ(errors[2], expected);
    EXPECT_EQ(errors[3], errors[1]);

    ASSERT_TRUE(Configure(*writer, 2));
    EXPECT_TRUE(FeedTone(*writer, 44100, 2, 44100));
    writer->close();
    EXPECT_TRUE(std::filesystem::is_regular_file(PathOf("retry.wma")));
    EXPECT_EQ(host.console.Texts(console::severity_error).size(), 4u) << "no new error";
    EXPECT_EQ(host.console.Texts(console::severity_information).size(), 1u);
}

TEST_F(LifecycleTest, ATrackThatLostAudioToAFailedSetUpIsNotReportedAsEncoded) {
    ASSERT_TRUE(Configure(*writer, 9, "not a profile"));
    ASSERT_TRUE(writer->open(Location("lost.wma").c_str(), 0, 0, 0, 0, 0));
    EXPECT_FALSE(FeedChunk(*writer, 4096, 2, 44100));
    ASSERT_TRUE(Configure(*writer, 3));
    EXPECT_TRUE(FeedTone(*writer, 44100, 2, 44100));
    writer->close();
    EXPECT_EQ(host.console.Texts(console::severity_error).back(), "Encoding failed");
    EXPECT_TRUE(host.console.Texts(console::severity_information).empty());
}

TEST_F(LifecycleTest, ACustomProfileEncodesEvenWithAByteOrderMark) {
    char text[4096];
    ASSERT_GT(LoadStringA(GetModuleHandleA("ostrel"), 1, text, sizeof text), 0);
    ASSERT_TRUE(Configure(*writer, 9, std::string("\xEF\xBB\xBF") + text));
    WriteTrack("custom.wma", nullptr, 44100);
    EXPECT_TRUE(host.console.Texts(console::severity_error).empty());
    EXPECT_EQ(host.console.Texts(console::severity_information).size(), 1u);
    EXPECT_TRUE(std::filesystem::is_regular_file(PathOf("custom.wma")));
}

TEST_F(LifecycleTest, AnIndexNamingNoPresetFailsTheSetUpClearly) {
    for (const std::int32_t index : {10, -1, 0x7FFFFFFF}) {
        host.console.Clear();
        ASSERT_TRUE(Configure(*writer, index));
        ASSERT_TRUE(writer->open(Location("bad-index.wma").c_str(), 0, 0, 0, 0, 0));
        EXPECT_FALSE(FeedChunk(*writer, 1024, 2, 44100));
        writer->close();
        const auto errors = host.console.Texts(console::severity_error);
        ASSERT_EQ(errors.size(), 2u);
        EXPECT_EQ(errors[0], CWMAException("Failed to load selected profile.",
                                           static_cast<HRESULT>(0x80070057), "ostrel", 0)
                                 .Description());
        EXPECT_EQ(errors[1], "Encoding failed");
    }
    EXPECT_FALSE(std::filesystem::exists(PathOf("bad-index.wma")));
}

TEST_F(LifecycleTest, WithoutAConverterTheSetUpFailsAndIsTriedAgain) {
    host.offersConverter = false;
    ASSERT_TRUE(writer->open(Location("noconv.wma").c_str(), 0, 0, 0, 0, 0));
    EXPECT_FALSE(FeedChunk(*writer, 1024, 2, 44100));
    EXPECT_FALSE(FeedChunk(*writer, 1024, 2, 44100));
    EXPECT_EQ(host.converterRequests, 2);
    writer->close();
    const auto errors = host.console.Texts(console::severity_error);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_NE(errors[0].find("PCM converter"), std::string::npos) << errors[0];
    EXPECT_EQ(errors[2], "Encoding failed");
}

TEST_F(LifecycleTest, CloseWithoutAudioPrintsNoTimingLine) {
    ASSERT_TRUE(writer->open(Location("silent.wma").c_str(), 0, 0, 0, 0, 0));
    writer->close();
    EXPECT_EQ(host.console.Texts(console::severity_error),
              std::vector<std::string>{"Encoding failed"});
    EXPECT_TRUE(host.console.Texts(console::severity_information).empty());
}

TEST_F(LifecycleTest, AnOlderFileDoesNotMakeAFailedTrackLookEncoded) {
    const std::string path = PathOf("older.wma");
    WriteFile(path, "an older file");
    ASSERT_TRUE(writer->open(Location("older.wma").c_str(), 0, 0, 0, 0, 0));
    writer->close();
    EXPECT_EQ(host.console.Texts(console::severity_error),
              std::vector<std::string>{"Encoding failed"});
    EXPECT_EQ(FileContent(path), "an older file");
}

TEST_F(LifecycleTest, AnAbortedGraphIsReportedAsFailedAndKeepsTheOlderFile) {
    const std::string path = PathOf("aborted.wma");
    WriteFile(path, "an older file");
    ASSERT_TRUE(writer->open(Location("aborted.wma").c_str(), 0, 0, 0, 0, 0));
    // The first chunk sizes the chain's buffers: one value of capacity gives
    // room for 4 frames, so the next, much larger chunk cannot be delivered.
    EXPECT_TRUE(FeedChunk(*writer, 1, 1, 44100));
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(FeedChunk(*writer, 8192, 1, 44100)) << "the host is not told per chunk";
    writer->close();
    EXPECT_EQ(host.console.Texts(console::severity_error),
              std::vector<std::string>{"Encoding failed"});
    EXPECT_TRUE(host.console.Texts(console::severity_information).empty());
    EXPECT_EQ(FileContent(path), "an older file");
}

TEST_F(LifecycleTest, AnUnwritableFolderFailsTheTrackWithoutWaiting) {
    ASSERT_TRUE(writer->open(Location("missing-folder/x.wma").c_str(), 0, 0, 0, 0, 0));
    FeedTone(*writer, 44100, 2, 44100);
    writer->close();
    const auto errors = host.console.Texts(console::severity_error);
    ASSERT_GE(errors.size(), 2u);
    EXPECT_EQ(errors[errors.size() - 2], "Encoding failed");
    EXPECT_EQ(errors.back(), "cannot create a file beside " + PathOf("missing-folder/x.wma") +
                                 ": No such file or directory")
        << "the platform says which file and why";
    EXPECT_TRUE(host.console.Texts(console::severity_information).empty());
}

TEST_F(LifecycleTest, ReleasingWithoutCloseAbandonsTheTrack) {
    const std::string path = PathOf("abandoned.wma");
    WriteFile(path, "an older file");
    ASSERT_TRUE(writer->open(Location("abandoned.wma").c_str(), 0, 0, 0, 0, 0));
    EXPECT_TRUE(FeedTone(*writer, 44100, 2, 44100));
    writer->release();
    writer = nullptr;
    EXPECT_EQ(FileContent(path), "an older file");
    EXPECT_TRUE(host.console.Lines().empty());
    EXPECT_EQ(host.converter.references, 0);
    std::size_t leftovers = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        leftovers += entry.path().filename() != "abandoned.wma";
    EXPECT_EQ(leftovers, 0u) << "no temporary file is left beside the path";
}

TEST_F(LifecycleTest, AWriterIsUsableAfterAFailedTrack) {
    ASSERT_TRUE(writer->open(Location("missing-folder/x.wma").c_str(), 0, 0, 0, 0, 0));
    FeedTone(*writer, 8192, 2, 44100);
    writer->close();
    host.console.Clear();
    WriteTrack("after.wma", nullptr, 44100);
    EXPECT_TRUE(std::filesystem::is_regular_file(PathOf("after.wma")));
    EXPECT_TRUE(host.console.Texts(console::severity_error).empty());
    EXPECT_EQ(host.console.Texts(console::severity_information).size(), 1u);
}

} // namespace
