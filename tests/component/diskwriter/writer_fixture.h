// What the disk writer's tests share: the component's resources registered
// as on load, a test host, a fresh folder, one writer instance, and ways to
// feed it audio and read back the file it made.
#pragma once

#include "diskwriter/diskwriter_wma.h"
#include "test_host.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace diskwriter_test {

// Registers the component's module with its resources (once per process) and
// makes it the module instance dialogs are opened with.
void RegisterComponentModule();

// Feeds `frames` frames of a quiet tone in chunks of `chunkFrames`; answers
// whether every process_chunk call answered true.
bool FeedTone(diskwriter& writer, std::uint32_t frames, std::uint32_t channels, std::uint32_t rate,
              std::uint32_t chunkFrames = 4096);

// One chunk with `frames` frames of the tone; its capacity is exactly its size.
bool FeedChunk(diskwriter& writer, std::uint32_t frames, std::uint32_t channels,
               std::uint32_t rate);

// The attributes mutagen reads from `path`, and the decoded length in seconds.
struct ReadBackFile {
    bool readable = false;
    double lengthSeconds = 0.0;
    std::multimap<std::string, std::string> tags;
};
ReadBackFile ReadWithMutagen(const std::string& path);
bool MutagenAvailable();

class DiskWriterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterComponentModule(); }
    DiskWriterTest();
    ~DiskWriterTest() override;

    // "file://" and the path of `name` in the test folder.
    std::string Location(const std::string& name) const;
    std::string PathOf(const std::string& name) const;
    // open, set_info with `track` (null: none), the tone, close.
    void WriteTrack(const std::string& name, track_handle* track, std::uint32_t frames,
                    std::uint32_t channels = 2, std::uint32_t rate = 44100);

    HostDouble host;
    InstalledHost installed{host};
    TemporaryFolder folder;
    service_impl_t<diskwriter_wma>* writer = nullptr;
};

} // namespace diskwriter_test
