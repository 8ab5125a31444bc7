#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>

#include "progress/status_output.h"
#include "services/host_chunk.h"
#include "services/host_services.h"
#include "services/host_string.h"
#include "services/track_context.h"
#include "services/track_info.h"
#include "test_file_info.h"
#include "test_support.h"

namespace vantrel {
namespace {

using testing::TemporaryFolder;

std::string drain(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    return text;
}

TEST(HostString, FollowsTheStringBaseOperations) {
    host_string s;
    EXPECT_STREQ(s.text(), "");
    s.assign_text("hello");
    s.append_bytes(" world", 3);
    EXPECT_STREQ(s.text(), "hello wo");
    s.cut_to(4);
    EXPECT_EQ(s.byte_length(), 4u);
    s.cut_to(100);
    EXPECT_STREQ(s.text(), "hell");
    s.assign_bytes("ab\0cd", string_base::until_nul);
    EXPECT_STREQ(s.text(), "ab");
    s.assign_bytes(nullptr, 3);
    EXPECT_TRUE(s.is_empty());
}

TEST(HostChunk, HoldsInterleavedDoublesAndItsShape) {
    host_chunk chunk;
    EXPECT_EQ(chunk.data_capacity(), 0u);
    EXPECT_EQ(chunk.sample_data(), nullptr);
    sample_t* data = chunk.resize_data(8);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(data) % alignof(double), 0u);
    EXPECT_EQ(chunk.raw_data(), data);
    EXPECT_EQ(chunk.data_capacity(), 8u);
    chunk.set_sample_rate(48000);
    chunk.set_channel_count(2);
    chunk.set_sample_count(4);
    EXPECT_EQ(chunk.sample_rate(), 48000u);
    EXPECT_EQ(chunk.channel_count(), 2u);
    EXPECT_EQ(chunk.sample_count(), 4u);
}

TEST(TrackInfo, FillsAnyFileInfoThroughItsOperations) {
    track_info track;
    track.location.assign_path("/music/a.flac");
    track.length_seconds = 12.5;
    track.meta = {{"artist", "A"}, {"artist", "B"}, {"title", "Ünï"}};
    track.info = {{"samplerate", "48000"}, {"channels", "1"}};
    testing::test_file_info out;
    out.meta_append("stale", "x");
    out.info_put("stale", "y");
    ASSERT_TRUE(track.get_info(out, 0));
    EXPECT_STREQ(out.location().path(), "/music/a.flac");
    EXPECT_DOUBLE_EQ(out.length_seconds(), 12.5);
    ASSERT_EQ(out.meta_count(), 3);
    EXPECT_STREQ(out.meta_name_at(1), "artist");
    EXPECT_STREQ(out.meta_value_at(1), "B");
    EXPECT_STREQ(out.meta_value_at(2), "Ünï");
    EXPECT_EQ(out.info_count(), 2);
    EXPECT_EQ(out.info_find("stale"), -1);
}

TEST(LocalFileSystem, OwnsLocalPathsAndFileUrls) {
    local_file_system files;
    EXPECT_TRUE(files.owns_path("/a/b"));
    EXPECT_TRUE(files.owns_path("relative/x.wma"));
    EXPECT_TRUE(files.owns_path("file:///a/b"));
    EXPECT_FALSE(files.owns_path("http://example.invalid/x"));
    EXPECT_FALSE(files.owns_path(""));
    host_string out;
    ASSERT_TRUE(files.canonicalize("/a/./b/../c.wma", out));
    EXPECT_STREQ(out.text(), "/a/c.wma");
    ASSERT_TRUE(files.canonicalize("file:///x//y", out));
    EXPECT_STREQ(out.text(), "/x/y");
    EXPECT_FALSE(files.canonicalize("ftp://h/x", out));
}

TEST(LocalFileSystem, ExistenceAndReadingFiles) {
    TemporaryFolder dir;
    std::ofstream(dir.File("data.bin"), std::ios::binary) << "0123456789";
    local_file_system files;
    EXPECT_TRUE(files.file_exists(dir.File("data.bin").c_str()));
    EXPECT_TRUE(files.file_exists(("file://" + dir.File("data.bin")).c_str()));
    EXPECT_FALSE(files.file_exists(dir.File("none").c_str()));
    EXPECT_FALSE(files.file_exists(dir.Path().c_str()));

    file_object* file = files.create_file(dir.File("data.bin").c_str());
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->open(dir.File("data.bin").c_str(), file_object::mode_read));
    EXPECT_EQ(file->get_size(), 10u);
    char buffer[16] = {};
    EXPECT_EQ(file->read(buffer, 4), 4u);
    EXPECT_STREQ(buffer, "0123");
    EXPECT_EQ(file->read(buffer, 16), 6u);
    EXPECT_EQ(file->release(), 0);

    file_object* missing = files.create_file(dir.File("none").c_str());
    ASSERT_NE(missing, nullptr);
    EXPECT_FALSE(missing->open(dir.File("none").c_str(), file_object::mode_read));
    EXPECT_FALSE(missing->open(dir.Path().c_str(), file_object::mode_read));
    EXPECT_FALSE(missing->open(dir.File("data.bin").c_str(), 2));
    missing->release();
}

TEST(HostServicesRoot, HandsOutEachServiceAtIndexZeroOnly) {
    std::FILE* sink = std::tmpfile();
    StatusOutput output(sink, false, Verbosity::normal);
    host_services services(output);
    EXPECT_NE(services.get_service_as<console>(0), nullptr);
    EXPECT_NE(services.get_service_as<pcm_converter>(0), nullptr);
    EXPECT_NE(services.get_service_as<file_system>(0), nullptr);
    EXPECT_EQ(services.get_service_as<console>(1), nullptr);
    EXPECT_EQ(services.get_service(diskwriter::class_guid, 0), nullptr);
    service_base* c = services.get_service(console::class_guid, 0);
    EXPECT_EQ(c->query_service(console::class_guid), c);
    EXPECT_EQ(c->query_service(file_system::class_guid), nullptr);
    c->release();
    std::fclose(sink);
}

TEST(HostConsole, WritesSeverityAndSourceAndCountsErrorsForTheTrack) {
    std::FILE* sink = std::tmpfile();
    {
        StatusOutput output(sink, false, Verbosity::verbose);
        host_console console(output);
        console.print(console::severity_information, "Encoding took 5 milliseconds",
                      "/c/ostrel.so");
        TrackContext track{"song.flac", 0, {}, 0};
        {
            ScopedTrack scope(track);
            console.print(console::severity_error, "Encoding failed", "/c/ostrel.so");
            console.print(2, "careful", nullptr);
        }
        console.print(console::severity_error, "later", "x");
        EXPECT_EQ(track.error_lines, 1);
    }
    EXPECT_EQ(drain(sink), "ostrel.so: info: Encoding took 5 milliseconds\n"
                           "ostrel.so: error: Encoding failed (song.flac)\n"
                           "warning: careful (song.flac)\n"
                           "x: error: later\n");
    std::fclose(sink);
}

TEST(HostConsole, TheEncodersInformationWaitsForVerboseAndWarningsDoNot) {
    for (Verbosity verbosity : {Verbosity::quiet, Verbosity::normal}) {
        std::FILE* sink = std::tmpfile();
        {
            StatusOutput output(sink, false, verbosity);
            host_console console(output);
            TrackContext track{"song.flac", 0, {}};
            ScopedTrack scope(track);
            console.print(console::severity_information, "Encoding took 5 milliseconds",
                          "/c/ostrel.so");
            console.print(console::severity_warning, "careful", "/c/ostrel.so");
            console.print(console::severity_error, "Encoding failed", "/c/ostrel.so");
        }
        EXPECT_EQ(drain(sink), "ostrel.so: warning: careful (song.flac)\n"
                               "ostrel.so: error: Encoding failed (song.flac)\n");
        std::fclose(sink);
    }
}

TEST(StatusOutputLines, EachLevelAddsToTheOneBelow) {
    const std::pair<Verbosity, const char*> levels[] = {
        {Verbosity::quiet, "error\n"},
        {Verbosity::normal, "error\ninfo\n"},
        {Verbosity::verbose, "error\ninfo\ndetail\n"}};
    for (const auto& [verbosity, expected] : levels) {
        std::FILE* sink = std::tmpfile();
        {
            StatusOutput output(sink, false, verbosity);
            output.error("error");
            output.info("info");
            output.detail("detail");
        }
        EXPECT_EQ(drain(sink), expected);
        std::fclose(sink);
    }
}

TEST(StatusOutputLines, QuietKeepsOnlyErrors) {
    std::FILE* sink = std::tmpfile();
    {
        StatusOutput output(sink, true, Verbosity::quiet);
        output.info("hidden");
        output.error("shown");
        int slot = output.track_started("a", 10);
        output.track_progress(slot, 5);
        output.track_finished(slot, 10);
    }
    EXPECT_EQ(drain(sink), "shown\n");
    std::fclose(sink);
}

TEST(StatusOutputLines, LinesClearTheProgressDisplayAndItComesBack) {
    std::FILE* sink = std::tmpfile();
    {
        StatusOutput output(sink, true, Verbosity::normal);
        output.begin_run(2);
        int slot = output.track_started("first.flac", 10);
        output.error("a message");
        output.track_finished(slot, 10);
        output.end_run();
    }
    std::string text = drain(sink);
    auto message = text.find("a message\n");
    ASSERT_NE(message, std::string::npos);
    EXPECT_NE(text.rfind("first.flac", message), std::string::npos); // drawn before
    EXPECT_NE(text.find("first.flac", message), std::string::npos);  // and again after
    // The display is cleared from the start of its first line, where the
    // cursor rests, to the end of the screen.
    EXPECT_NE(text.find("\r\x1b[J"), std::string::npos);
    EXPECT_NE(text.find("1/2 tracks"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\r\x1b[J")) << "the display is gone at the end";
    std::fclose(sink);
}

} // namespace
} // namespace vantrel
