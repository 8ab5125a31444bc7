// Bad inputs, unusable output folders and broken profiles with the real
// component: each is named, the run exits with 1, the other tracks are written
// and no half file (staging or temporary) is left anywhere.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "real_wma.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

TEST_F(RealWma, BadInputsAreNamedAndTheOthersWritten) {
    make_tone(dir_.File("one.wav"), 1.0, 44100, 2);
    make_tone(dir_.File("two.flac"), 0.8, 48000, 1);
    make_tone(dir_.File("empty.wav"), 0.0, 44100, 2);
    std::ofstream(dir_.File("text.flac")) << "this is not audio\n";
    std::ofstream(dir_.File("text.wma")) << "older file";
    CommandResult r =
        vantrel({"convert", "-f", "-v", "-j", "2", "--preset", "3", dir_.File("missing.mp3"),
                 dir_.File("one.wav"), dir_.File("text.flac"), dir_.File("empty.wav"),
                 dir_.File("two.flac")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: " + dir_.File("missing.mp3") + ": input not found\n"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: " + dir_.File("text.flac") + ": not an audio file"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: " + dir_.File("empty.wav") +
                                    ": it contains no audio (zero-length track)"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: 2 tracks written, 3 failed, in ")) << r.err;
    EXPECT_EQ(timing_lines_for(r.err, dir_.File("one.wav")), 1) << r.err;
    EXPECT_EQ(timing_lines_for(r.err, dir_.File("two.flac")), 1) << r.err;
    EXPECT_NEAR(decoded_seconds(dir_.File("one.wma")), 1.0, 0.1);
    EXPECT_NEAR(decoded_seconds(dir_.File("two.wma")), 0.8, 0.1);
    EXPECT_EQ(ReadFile(dir_.File("text.wma")), "older file");
    EXPECT_EQ(files_left(), (Names{"empty.wav", "one.wav", "one.wma", "text.flac", "text.wma",
                                   "two.flac", "two.wma"}));
}

TEST_F(RealWma, TwoInputsWithOneOutputNameWriteOnlyTheFirst) {
    make_tone(dir_.File("same.wav"), 0.5, 44100, 2);
    make_tone(dir_.File("same.flac"), 0.5, 44100, 2);
    CommandResult r = vantrel({"convert", "-v", dir_.File("same.wav"), dir_.File("same.flac")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(count(r.err, dir_.File("same.wav") + " and " + dir_.File("same.flac") +
                               " would both be written to " + dir_.File("same.wma") + "; only " +
                               dir_.File("same.wav") + " is converted"),
              1)
        << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: failed:\n  " + dir_.File("same.flac") + ": output " +
                                    dir_.File("same.wma") + " is also the output of " +
                                    dir_.File("same.wav")))
        << r.err;
    EXPECT_EQ(timing_lines_for(r.err, dir_.File("same.wav")), 1) << r.err;
    EXPECT_EQ(files_left(), (Names{"same.flac", "same.wav", "same.wma"}));
}

// The platform's file writer alone keeps the user's files: a link stays a link
// with its target replaced, a device is written directly, an older file is
// replaced by the finished one, and nothing is left beside the output.
TEST_F(RealWma, OutputsThroughALinkADeviceAndOverAnOlderFile) {
    make_tone(dir_.File("a.wav"), 0.5, 44100, 2);
    fs::create_directory(dir_.Path() / "real");
    std::ofstream(dir_.File("real/target.wma")) << "older";
    fs::create_symlink(dir_.File("real/target.wma"), dir_.File("link.wma"));
    CommandResult r = vantrel({"convert", "-f", "-o", dir_.File("link.wma"), dir_.File("a.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(dir_.File("link.wma")));
    EXPECT_EQ(probe(dir_.File("real/target.wma"), "stream=codec_name"), "wmav2\n");

    r = vantrel({"convert", "-o", "/dev/null", dir_.File("a.wav")});
    EXPECT_EQ(r.status, 0) << r.err;

    std::ofstream(dir_.File("a.wma")) << "older";
    r = vantrel({"convert", "-f", dir_.File("a.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(dir_.File("a.wma"), "stream=codec_name"), "wmav2\n");
    for (const fs::path& folder : {dir_.Path(), dir_.Path() / "real"})
        for (const auto& entry : fs::directory_iterator(folder))
            EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

// Buffers follow the host's chunks: eight channels convert within an address
// space of 600 MB (the platform and FFmpeg's libraries included). Sanitizers
// reserve far more address space for themselves, so there only the conversion
// is checked.
TEST_F(RealWma, EightChannelsConvertInModestMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    const std::string limit;
#else
    const std::string limit = "ulimit -v 600000 && ";
#endif
    make_tone(dir_.File("eight.wav"), 3, 48000, 8);
    for (const char* preset : {"5", "8"}) {
        const std::string out = dir_.File(std::string("eight") + preset + ".wma");
        CommandResult r =
            RunCommand(limit + "XDG_CONFIG_HOME=" + ShellQuote(dir_.File("config")) + " " +
                       ShellQuote(vantrel_program()) + " convert --preset " + preset + " -o " +
                       ShellQuote(out) + " " + ShellQuote(dir_.File("eight.wav")));
        EXPECT_EQ(r.status, 0) << preset << ": " << r.err;
    }
    EXPECT_EQ(probe(dir_.File("eight8.wma"), "stream=channels"), "8\n");
    EXPECT_EQ(probe(dir_.File("eight5.wma"), "stream=channels"), "2\n");
}

TEST_F(RealWma, UnusableOutputFoldersAreNamed) {
    make_tone(dir_.File("a.wav"), 0.3, 44100, 2);
    std::ofstream(dir_.File("plain")) << "a file, not a folder";
    struct Case {
        std::vector<std::string> where;
        int status;
        std::string said; // the whole run's error (status 2) or the track's (status 1)
    };
    const Case cases[] = {
        {{"-d", dir_.File("plain")}, 2, "output folder " + dir_.File("plain") + " is not a folder"},
        {{"-d", dir_.File("plain/sub")},
         2,
         "cannot make output folder " + dir_.File("plain/sub") + ": "},
        {{"-o", dir_.File("plain/a.wma")},
         1,
         dir_.File("a.wav") + ": output folder " + dir_.File("plain") + " is not a folder"},
        {{"-o", dir_.File("nowhere/a.wma")},
         1,
         dir_.File("a.wav") + ": output folder " + dir_.File("nowhere") + " does not exist"},
        // Permissions do not bind the superuser, a kernel file system does.
        {{"-d", "/proc"}, 1, dir_.File("a.wav") + ": output folder /proc is not writable: "},
        {{"-o", "/sys/a.wma"}, 1, dir_.File("a.wav") + ": output folder /sys is not writable: "},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments{"convert"};
        arguments.insert(arguments.end(), c.where.begin(), c.where.end());
        arguments.push_back(dir_.File("a.wav"));
        CommandResult r = vantrel(arguments);
        EXPECT_EQ(r.status, c.status) << c.said << "\n" << r.err;
        EXPECT_EQ(count(r.err, "vantrel: " + c.said), 1) << r.err;
        EXPECT_EQ(contains(r.err, "vantrel: 0 tracks written, 1 failed"), c.status == 1) << r.err;
    }
    EXPECT_FALSE(fs::exists("/proc/a.wma"));
    EXPECT_EQ(files_left(), (Names{"a.wav", "plain"}));

    CommandResult r = vantrel({"convert", "-d", dir_.File("made/here"), dir_.File("a.wav")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir_.File("made/here/a.wma"))) << "a missing -d folder is made";
}

// A read-only file system mounted in the test's folder: its track fails, the
// track beside it is written. Needs the right to mount (root in most sandboxes).
class SmallFileSystem : public RealWma {
protected:
    std::string mount_point_;

    void TearDown() override {
        if (!mount_point_.empty())
            RunCommand("umount -l " + ShellQuote(mount_point_));
    }

    bool mount_tmpfs(const std::string& folder, const std::string& size) {
        fs::create_directory(folder);
        if (RunCommand("mount -t tmpfs -o size=" + size + " tmpfs " + ShellQuote(folder), 20)
                .status != 0)
            return false;
        mount_point_ = folder;
        return true;
    }

    bool mount_read_only(const std::string& folder, const std::string& file) {
        if (!mount_tmpfs(folder, "4m"))
            return false;
        make_tone(file, 0.4, 44100, 2);
        return RunCommand("mount -o remount,ro " + ShellQuote(folder), 20).status == 0;
    }
};

// A disk that fills up: the track fails with the system's reason and the
// path, an older file stays, and nothing is left behind.
TEST_F(SmallFileSystem, AFullDiskSaysSoAndKeepsTheOlderFile) {
    const std::string folder = dir_.File("small");
    if (!mount_tmpfs(folder, "64k"))
        GTEST_SKIP() << "this machine does not allow mounting a file system here";
    std::ofstream(folder + "/a.wma") << "older file";
    make_tone(dir_.File("a.wav"), 20, 44100, 2);
    CommandResult r = vantrel({"convert", "-f", "-o", folder + "/a.wma", dir_.File("a.wav")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.err, "cannot write " + folder + "/a.wma: No space left on device"))
        << r.err;
    EXPECT_EQ(ReadFile(folder + "/a.wma"), "older file");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
        << "no temporary file left";
}

TEST_F(SmallFileSystem, AReadOnlyFolderFailsItsTrackAndTheOtherIsWritten) {
    std::string folder = dir_.File("ro");
    if (!mount_read_only(folder, dir_.File("ro/b.wav")))
        GTEST_SKIP() << "this machine does not allow mounting a file system here";
    make_tone(dir_.File("a.wav"), 0.4, 44100, 2);
    CommandResult r = vantrel({"convert", "-v", dir_.File("ro/b.wav"), dir_.File("a.wav")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: " + dir_.File("ro/b.wav") + ": output folder " + folder +
                                    " is not writable: Read-only file system"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: 1 track written, 1 failed")) << r.err;
    EXPECT_EQ(timing_lines_for(r.err, dir_.File("a.wav")), 1) << r.err;
    EXPECT_EQ(files_left(), (Names{"a.wav", "a.wma", "ro", "ro/b.wav"}));
}

TEST_F(RealWma, ABrokenProfileIsNamedAndLeavesNoFile) {
    make_tone(dir_.File("a.wav"), 0.5, 44100, 2);
    make_tone(dir_.File("b.wav"), 0.5, 44100, 2);
    std::ofstream(dir_.File("b.wma")) << "older file";
    // Passes the host's look at the text (a <profile> element), not the parser's.
    std::ofstream(dir_.File("cut.prx")) << "<profile version=\"589824\"><streamconfig";
    CommandResult r = vantrel({"convert", "-j", "2", "--profile", dir_.File("cut.prx"),
                               dir_.File("a.wav"), dir_.File("b.wav")});
    EXPECT_EQ(r.status, 2) << "refused once, before any track: " << r.err;
    EXPECT_EQ(count(r.err, "vantrel: the custom profile cannot be used: not a usable profile: "
                           "not XML: "),
              1)
        << r.err;
    EXPECT_EQ(ReadFile(dir_.File("b.wma")), "older file");
    EXPECT_EQ(files_left(), (Names{"a.wav", "b.wav", "b.wma", "cut.prx"}));

    // Text that is no profile at all is refused before any track starts.
    std::ofstream(dir_.File("text.prx")) << "just words";
    r = vantrel({"convert", "--profile", dir_.File("text.prx"), dir_.File("a.wav")});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: profile " + dir_.File("text.prx") +
                                    " is not a Windows Media profile"))
        << r.err;
    EXPECT_FALSE(fs::exists(dir_.File("a.wma")));
}

} // namespace
} // namespace vantrel::testing
