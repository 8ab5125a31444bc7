// Plans: a dry run writes nothing and fails when its plan cannot be written,
// sources already in the output format are copied, outputs that exist are
// kept unless -f or -u, nothing passes without being counted, no input is ever an output,
// and an interrupted run names the tracks it never started, once.
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "stand_in_run.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

void set_time(const std::string& path, time_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

class Plans : public StandInRun {
protected:
    void SetUp() override {
        fs::create_directories(dir_.Path() / "lib/A");
        make_tone(dir_.File("lib/A/one.wav"), 0.2, 44100, 1);
        make_tone(dir_.File("lib/two.flac"), 0.2, 44100, 1);
        make_tone(dir_.File("lib/A/bought.wma"), 0.2, 44100, 1, "-c:a wmav2");
        std::ofstream(dir_.File("lib/A/cover.jpg")) << "jpeg";
        std::ofstream(dir_.File("lib/.directory")) << "settings";
    }
    std::string lib() const { return dir_.File("lib"); }
};

TEST_F(Plans, ADryRunWritesNothingAndFailsWhenItsPlanCannotBeWritten) {
    fs::create_directory(dir_.Path() / "out");
    set_time(dir_.File("out"), 1000);
    CommandResult r = vantrel({"convert", "--dry-run", "-d", dir_.File("out"), lib()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(
        contains(r.out, dir_.File("lib/A/one.wav") + " -> " + dir_.File("out/A/one.wma") + "\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out, dir_.File("lib/A/bought.wma") + " -> " +
                                    dir_.File("out/A/bought.wma") + "  (copy)\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out, dir_.File("lib/A/cover.jpg") + "  (skipped: not an audio file)\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out, dir_.File("lib/.directory") + "  (skipped: hidden)\n")) << r.out;
    EXPECT_TRUE(contains(r.err, "vantrel: dry run: 2 to convert, 1 to copy, 2 skipped, 0 would "
                                "fail; nothing was written"))
        << r.err;
    EXPECT_TRUE(fs::is_empty(dir_.File("out")));
    struct stat folder {};
    ASSERT_EQ(::stat(dir_.File("out").c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mtim.tv_sec, 1000) << "no probe file made and removed";

    r = RunCommand(command_line({"convert", "--dry-run", "-d", dir_.File("out"), lib()}) +
                   " > /dev/full");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: cannot write the plan to standard output: No space left "
                                "on device"))
        << r.err;
}

TEST_F(Plans, SourcesAlreadyInTheOutputFormatAreCopiedAndEverythingIsCounted) {
    CommandResult r = vantrel({"convert", "-d", dir_.File("out"), lib()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir_.File("out/A/bought.wma")), ReadFile(dir_.File("lib/A/bought.wma")));
    EXPECT_TRUE(contains(r.err, dir_.File("lib/A/bought.wma") + " -> " +
                                    dir_.File("out/A/bought.wma") + " (copied)"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: 2 tracks written, 1 copied, 2 skipped, 0 failed"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: skipped: 1 not an audio file, 1 hidden")) << r.err;

    r = vantrel({"convert", "--reencode-wma", "-d", dir_.File("again"), lib()});
    EXPECT_EQ(r.status, 0) << r.err;
    // Decoded to floating point, rounded by each side in its own way: the
    // length tells it was encoded again.
    EXPECT_EQ(read_recorded(dir_.File("again/A/bought.wma")).pcm.size(),
              wav_samples(dir_.File("lib/A/bought.wma")).size());
    EXPECT_TRUE(contains(r.err, "vantrel: 3 tracks written, 2 skipped, 0 failed")) << r.err;
}

TEST_F(Plans, UpdateConvertsOnlySourcesNewerThanTheirOutputs) {
    ASSERT_EQ(vantrel({"convert", "-q", "-d", dir_.File("out"), lib()}).status, 0);
    const std::string two = ReadFile(dir_.File("out/two.wma"));
    std::ofstream(dir_.File("out/A/one.wma")) << "old";
    set_time(dir_.File("out/A/one.wma"), 1000); // older than its source
    CommandResult r = vantrel({"convert", "-u", "-v", "-d", dir_.File("out"), lib()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(read_recorded(dir_.File("out/A/one.wma")).pcm ==
                wav_samples(dir_.File("lib/A/one.wav")));
    EXPECT_EQ(ReadFile(dir_.File("out/two.wma")), two);
    EXPECT_TRUE(contains(r.err, dir_.File("lib/two.flac") + ": skipped, " +
                                    dir_.File("out/two.wma") + " is up to date"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: 1 track written, 4 skipped, 0 failed")) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: skipped: 2 outputs up to date, 1 not an audio file, "
                                "1 hidden"))
        << r.err;
}

// Outputs that exist are kept and counted unless -f or -u asks otherwise; the
// run says once how to replace them, unless -n asked for keeping.
TEST_F(Plans, ExistingOutputsAreKeptUnlessForcedAndTheRunSaysHowToReplaceThem) {
    ASSERT_EQ(vantrel({"convert", "-q", "-d", dir_.File("out"), lib()}).status, 0);
    std::ofstream(dir_.File("out/A/one.wma")) << "mine";
    const std::string hint =
        "vantrel: outputs that exist are kept; -f replaces them, -u replaces those older than "
        "their source\n";
    const std::string kept =
        dir_.File("lib/A/one.wav") + ": skipped, " + dir_.File("out/A/one.wma") + " exists";
    CommandResult r = vantrel({"convert", "-d", dir_.File("out"), lib()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir_.File("out/A/one.wma")), "mine");
    EXPECT_FALSE(contains(r.err, kept)) << "each track kept is named with -v only: " << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: 0 tracks written, 5 skipped, 0 failed")) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: skipped: 3 outputs exist, 1 not an audio file, 1 hidden"))
        << r.err;
    EXPECT_EQ(count(r.err, hint), 1) << r.err;

    r = vantrel({"convert", "--dry-run", "-d", dir_.File("out"), lib()});
    EXPECT_TRUE(contains(r.out, dir_.File("lib/A/one.wav") + " -> " + dir_.File("out/A/one.wma") +
                                    "  (skipped: exists)\n"))
        << r.out;
    EXPECT_EQ(count(r.err, hint), 1) << r.err;

    r = vantrel({"convert", "-n", "-v", "-d", dir_.File("out"), lib()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, kept)) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: 0 tracks written, 5 skipped, 0 failed")) << r.err;
    EXPECT_EQ(count(r.err, hint), 0) << "-n asked for it: " << r.err;

    r = vantrel({"convert", "--force", "-d", dir_.File("out"), lib()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(read_recorded(dir_.File("out/A/one.wma")).pcm ==
                wav_samples(dir_.File("lib/A/one.wav")));
    EXPECT_TRUE(contains(r.err, "vantrel: 2 tracks written, 1 copied, 2 skipped, 0 failed"))
        << r.err;
    EXPECT_EQ(count(r.err, hint), 0) << r.err;

    r = vantrel({"convert", "-f", "-n", "-d", dir_.File("out"), lib()});
    EXPECT_EQ(r.status, 2) << r.err;
}

TEST_F(Plans, NoInputIsEverAnOutput) {
    make_tone(dir_.File("song.flac"), 0.2, 44100, 1);
    make_tone(dir_.File("song.wma"), 0.2, 44100, 1, "-c:a wmav2");
    const std::string bought = ReadFile(dir_.File("song.wma"));
    CommandResult r = vantrel({"convert", dir_.File("song.wma"), dir_.File("song.flac")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(ReadFile(dir_.File("song.wma")), bought);
    EXPECT_TRUE(contains(r.err, "vantrel: " + dir_.File("song.flac") + ": output " +
                                    dir_.File("song.wma") + " is " + dir_.File("song.wma") +
                                    ", an input of this run; refusing to overwrite it"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: 0 tracks written, 1 skipped, 1 failed")) << r.err;
}

TEST_F(Plans, AfterCtrlCTracksNeverStartedAreListedOnceAsNotStarted) {
    const std::string script = "cd " + ShellQuote(dir_.Path().string()) + R"( || exit 9
mkfifo first.wav
)" + command_line({"convert", "-j", "1", "first.wav", "lib/A/one.wav", "lib/two.flac"}) +
                               R"( 2> err.txt &
pid=$!
for i in $(seq 300); do ls -l /proc/$pid/fd 2> /dev/null | grep -q first.wav && break; sleep 0.1; done
kill -INT $pid
wait $pid
echo "status $?"
)";
    CommandResult r = RunCommand("bash -c " + ShellQuote(script), 60);
    const std::string err = ReadFile(dir_.File("err.txt"));
    EXPECT_TRUE(contains(r.out, "status 130\n")) << r.out << err;
    EXPECT_TRUE(contains(err, "vantrel: 0 tracks written, 1 failed, 2 not started, in ")) << err;
    EXPECT_TRUE(contains(err, "vantrel: failed:\n  first.wav: interrupted\n")) << err;
    EXPECT_TRUE(contains(err, "vantrel: not started:\n  lib/A/one.wav\n  lib/two.flac\n")) << err;
    EXPECT_EQ(count(err, "lib/A/one.wav"), 1) << err;
    EXPECT_FALSE(fs::exists(dir_.File("lib/A/one.wma")));
}

} // namespace
} // namespace vantrel::testing
