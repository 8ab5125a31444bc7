// How the writer publishes a finished file: never over a file it may not
// replace (even one that appeared meanwhile), asking the host where it has a
// say, copying finished files the same way, failing cleanly past the file size
// limit, and removing the temporary files of processes that died.
#include "output_file.h"
#include "part_file_names.h"
#include "test_files.h"

#include "platform/com.h"
#include "platform/output_files.h"
#include "platform/wmsdk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace writer;
using namespace writer_test;
using Names = std::vector<std::string>;

// The folder's entries in name order.
Names Sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

// The thread's error text of the last failed call.
std::string ErrorText() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr) {
        return {};
    }
    BSTR text = nullptr;
    std::string utf8;
    if (info->GetDescription(&text) == S_OK) {
        for (const char16_t* c = text; *c; ++c) {
            utf8 += static_cast<char>(*c); // the texts tested here are ASCII
        }
    }
    SysFreeString(text);
    info->Release();
    return utf8;
}

HRESULT WriteFile(const std::string& path, bool replace, const std::string& bytes,
                  const std::string& appearing = {}) {
    std::unique_ptr<OutputFile> file;
    HRESULT hr = OutputFile::Open(path, replace, &file);
    if (FAILED(hr)) {
        return hr;
    }
    hr = file->Write(0, bytes.data(), bytes.size());
    if (FAILED(hr)) {
        return hr;
    }
    if (!appearing.empty()) {
        WriteWholeFile(path, appearing);
    }
    return file->Commit();
}

// Answers yes only for paths in the set; remembers what it was asked.
struct HostRule {
    std::set<std::string> replaceable;
    std::vector<std::string> asked;
    static BOOL Check(const char* path, void* context) {
        auto* rule = static_cast<HostRule*>(context);
        rule->asked.emplace_back(path);
        return rule->replaceable.count(path) ? TRUE : FALSE;
    }
};

// Remembers each path it is told of, with what stood in its folder then.
struct PublishLog {
    const TemporaryFolder* folder = nullptr;
    std::vector<std::string> told;
    std::vector<Names> entries;
    static void Notice(const char* path, void* context) {
        auto* log = static_cast<PublishLog*>(context);
        log->told.emplace_back(path);
        log->entries.push_back(log->folder->Entries());
    }
};

class OutputFiles : public ::testing::Test {
protected:
    TemporaryFolder folder_;
    void TearDown() override {
        SetOutputReplaceCheck(nullptr, nullptr);
        SetOutputPublishNotice(nullptr, nullptr);
    }
};

TEST_F(OutputFiles, TheHostIsToldOfEachFileAboutToBePublished) {
    PublishLog log{&folder_, {}, {}};
    SetOutputPublishNotice(&PublishLog::Notice, &log);
    EXPECT_EQ(WriteFile(folder_.File("a.wma"), true, "new"), S_OK);
    ASSERT_EQ(log.told, Names{folder_.File("a.wma")});
    ASSERT_EQ(log.entries.size(), 1u);
    ASSERT_EQ(log.entries[0].size(), 1u) << "only the temporary file stands, not yet a.wma";
    EXPECT_NE(log.entries[0][0], "a.wma");

    {
        std::unique_ptr<OutputFile> file;
        ASSERT_EQ(OutputFile::Open(folder_.File("b.wma"), true, &file), S_OK);
        file->Abandon();
    }
    ASSERT_EQ(symlink("target.wma", folder_.File("link.wma").c_str()), 0);
    EXPECT_EQ(WriteFile(folder_.File("link.wma"), true, "through"), S_OK);
    EXPECT_EQ(ReadFile(folder_.File("target.wma")), "through");
    EXPECT_EQ(WriteFile("/dev/null", true, "streamed"), S_OK);
    EXPECT_EQ(WriteFile(folder_.File("late.wma"), false, "new", "appeared"), NS_E_FILE_OPEN_FAILED);
    EXPECT_EQ(log.told,
              (Names{folder_.File("a.wma"), folder_.File("link.wma"), folder_.File("late.wma")}))
        << "the path as given; nothing for an abandoned file or a device";

    SetOutputPublishNotice(nullptr, nullptr);
    EXPECT_EQ(WriteFile(folder_.File("c.wma"), true, "new"), S_OK);
    EXPECT_EQ(log.told.size(), 3u);
}

TEST_F(OutputFiles, WithoutReplacementAFileThatAppearedMeanwhileIsKept) {
    const auto path = folder_.File("song.wma");
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(WriteFile(path, false, "new", "appeared"), NS_E_FILE_OPEN_FAILED);
    EXPECT_EQ(ErrorText(),
              "will not replace " + path + ", which appeared while it was being written");
    EXPECT_EQ(ReadFile(path), "appeared");
    EXPECT_EQ(folder_.Entries(), Names{"song.wma"}) << "no temporary file left";

    EXPECT_EQ(WriteFile(folder_.File("new.wma"), false, "new"), S_OK);
    EXPECT_EQ(ReadFile(folder_.File("new.wma")), "new");
    EXPECT_EQ(WriteFile(path, true, "replaced", "appeared"), S_OK) << "replacing as asked";
    EXPECT_EQ(ReadFile(path), "replaced");
}

TEST_F(OutputFiles, TheHostsCheckDecidesWhichFilesAreReplaced) {
    HostRule rule;
    rule.replaceable.insert(folder_.File("old.wma"));
    SetOutputReplaceCheck(&HostRule::Check, &rule);
    WriteWholeFile(folder_.File("old.wma"), "old");
    WriteWholeFile(folder_.File("kept.wma"), "kept");
    EXPECT_EQ(WriteFile(folder_.File("old.wma"), true, "new"), S_OK);
    EXPECT_EQ(ReadFile(folder_.File("old.wma")), "new");
    EXPECT_EQ(WriteFile(folder_.File("kept.wma"), true, "new"), NS_E_FILE_OPEN_FAILED);
    EXPECT_EQ(ReadFile(folder_.File("kept.wma")), "kept");
    EXPECT_EQ(WriteFile(folder_.File("late.wma"), true, "new", "appeared"), NS_E_FILE_OPEN_FAILED);
    EXPECT_EQ(ReadFile(folder_.File("late.wma")), "appeared");
    EXPECT_EQ(rule.asked,
              (Names{folder_.File("old.wma"), folder_.File("kept.wma"), folder_.File("late.wma")}));
    EXPECT_EQ(WriteFile(folder_.File("any.wma"), false, "new"), S_OK);
    EXPECT_EQ(rule.asked.size(), 3u) << "a writer that keeps files asks no one";
}

TEST_F(OutputFiles, AFinishedFileIsCopiedWithTheSameCare) {
    const std::string data(3 << 20, 'd'); // more than one block
    WriteWholeFile(folder_.File("a.wma"), data);
    EXPECT_EQ(CopyOutputFile(folder_.File("a.wma").c_str(), folder_.File("b.wma").c_str(), FALSE),
              S_OK);
    EXPECT_EQ(ReadFile(folder_.File("b.wma")), data);

    WriteWholeFile(folder_.File("c.wma"), "older");
    EXPECT_EQ(CopyOutputFile(folder_.File("a.wma").c_str(), folder_.File("c.wma").c_str(), FALSE),
              NS_E_FILE_OPEN_FAILED);
    EXPECT_EQ(ReadFile(folder_.File("c.wma")), "older");
    EXPECT_EQ(CopyOutputFile(folder_.File("a.wma").c_str(), folder_.File("c.wma").c_str(), TRUE),
              S_OK);
    EXPECT_EQ(ReadFile(folder_.File("c.wma")), data);

    SetErrorInfo(0, nullptr);
    EXPECT_EQ(CopyOutputFile(folder_.File("none.wma").c_str(), folder_.File("d.wma").c_str(), TRUE),
              NS_E_FILE_OPEN_FAILED);
    EXPECT_EQ(ErrorText(),
              "cannot open " + folder_.File("none.wma") + ": No such file or directory");
    ASSERT_EQ(mkfifo(folder_.File("pipe.wma").c_str(), 0600), 0);
    EXPECT_EQ(CopyOutputFile(folder_.File("pipe.wma").c_str(), folder_.File("e.wma").c_str(), TRUE),
              NS_E_FILE_OPEN_FAILED)
        << "refused, not waited for";
    EXPECT_EQ(ErrorText(), "cannot copy " + folder_.File("pipe.wma") + ": not a regular file");
    EXPECT_EQ(Sorted(folder_.Entries()), (Names{"a.wma", "b.wma", "c.wma", "pipe.wma"}));
}

// Past the file size limit a write fails with the reason and leaves nothing,
// as long as the process ignores the signal that limit sends.
TEST_F(OutputFiles, AFileLargerThanTheLimitFailsItsWriteCleanly) {
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    SetErrorInfo(0, nullptr);
    const HRESULT hr = WriteFile(folder_.File("big.wma"), true, std::string(100 * 1024, 'b'));
    const std::string reason = ErrorText();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(hr, NS_E_FILE_WRITE);
    EXPECT_EQ(reason, "cannot write " + folder_.File("big.wma") + ": File too large");
    EXPECT_TRUE(folder_.Entries().empty());
}

// A process number that no longer runs: a child that has ended and been reaped.
pid_t EndedProcess() {
    const pid_t child = fork();
    if (child == 0) {
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    return child;
}

TEST_F(OutputFiles, TemporaryFilesOfDeadProcessesAreRemovedOthersKept) {
    EXPECT_EQ(PartFileProcess(".wmwriter-123-4.part"), 123);
    for (const char* other :
         {".wmwriter-123-4.part~", ".wmwriter--4.part", ".wmwriter-123.part", "wmwriter-123-4.part",
          ".wmwriter-0-1.part", ".wmwriter-99999999999-1.part"}) {
        EXPECT_EQ(PartFileProcess(other), 0) << other;
    }
    const pid_t dead = EndedProcess();
    const auto name = [](pid_t process, unsigned n) {
        return PartFileName(".", process, n).substr(2);
    };
    const Names kept{name(1, 0), name(getpid(), 7), "notes.part"};
    for (const std::string& file : kept) {
        WriteWholeFile(folder_.File(file), "x");
    }
    WriteWholeFile(folder_.File(name(dead, 3)), "left by a run that was killed");
    // Older than the last boot: its number now belongs to someone else.
    WriteWholeFile(folder_.File(name(1, 9)), "left before the machine started");
    const timespec long_ago[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, folder_.File(name(1, 9)).c_str(), long_ago, 0), 0);

    EXPECT_EQ(WriteFile(folder_.File("song.wma"), true, "new"), S_OK);
    Names expected = kept;
    expected.push_back("song.wma");
    EXPECT_EQ(Sorted(folder_.Entries()), Sorted(expected));
}

} // namespace
