// A disk that fills up while the file is written: the write fails with the
// file-write code, nothing is left behind and an older file stays as it was.
#include "encoding_session.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <sys/mount.h>

namespace {

using namespace writer;
using namespace writer_test;

// A small memory file system of its own, when this process may mount one.
class SmallDisk {
public:
    explicit SmallDisk(const char* size) {
        const std::string options = std::string("size=") + size;
        mounted_ = mount("tmpfs", folder_.Path().c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) {
            umount2(folder_.Path().c_str(), MNT_DETACH);
        }
    }
    bool Mounted() const { return mounted_; }
    const TemporaryFolder& Folder() const { return folder_; }

private:
    TemporaryFolder folder_;
    bool mounted_ = false;
};

TEST(FullDisk, AWriteThatRunsOutOfSpaceAbortsAndKeepsTheOlderFile) {
    SmallDisk disk("128k");
    if (!disk.Mounted()) {
        GTEST_SKIP() << "mounting a small file system is not permitted here";
    }
    const auto path = disk.Folder().File("song.wma");
    const std::string older(1000, 'o');
    WriteWholeFile(path, older);

    std::unique_ptr<EncodingSession> session;
    const EncoderTarget target{WAVE_FORMAT_WMAUDIO2, 44100, 2, 192000, 8917, {}};
    ASSERT_EQ(EncodingSession::Start(path, {{target, {44100, 2}}}, {}, &session), S_OK);
    const auto pcm = Tone(44100, 2, 10.0);
    HRESULT hr = S_OK;
    for (std::size_t at = 0; at < 441000 && SUCCEEDED(hr); at += 4410) {
        hr = session->Write(0, reinterpret_cast<const BYTE*>(pcm.data() + at * 2), 4410);
    }
    EXPECT_EQ(hr, NS_E_FILE_WRITE);
    // The failure sticks: nothing more is written and finishing reports it.
    EXPECT_EQ(session->Write(0, reinterpret_cast<const BYTE*>(pcm.data()), 4410), NS_E_FILE_WRITE);
    EXPECT_EQ(session->Finish(), NS_E_FILE_WRITE);
    EXPECT_EQ(ReadFile(path), older);
    EXPECT_EQ(disk.Folder().Entries(), std::vector<std::string>{"song.wma"});
}

TEST(FullDisk, ANewFileThatDoesNotFitLeavesNothing) {
    SmallDisk disk("64k");
    if (!disk.Mounted()) {
        GTEST_SKIP() << "mounting a small file system is not permitted here";
    }
    const auto path = disk.Folder().File("new.wma");
    std::unique_ptr<EncodingSession> session;
    const EncoderTarget target{WAVE_FORMAT_WMAUDIO2, 44100, 2, 128000, 5945, {}};
    ASSERT_EQ(EncodingSession::Start(path, {{target, {44100, 2}}}, {}, &session), S_OK);
    const auto pcm = Tone(44100, 2, 5.0);
    HRESULT hr = session->Write(0, reinterpret_cast<const BYTE*>(pcm.data()), pcm.size() / 2);
    if (SUCCEEDED(hr)) {
        hr = session->Finish();
    }
    EXPECT_EQ(hr, NS_E_FILE_WRITE);
    EXPECT_TRUE(disk.Folder().Entries().empty());
}

} // namespace
