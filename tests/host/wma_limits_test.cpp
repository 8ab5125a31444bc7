// Signals and limits with the real component: past the file size limit a
// track fails with its reason and the batch goes on; a run killed outright
// leaves temporary files that the next run into that folder removes; with
// -n a file that appears while its track is written is kept; with -u only
// outputs older than their sources are replaced.
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

#include "real_wma.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> part_files(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".part")
            found.push_back(entry.path().filename().string());
    return found;
}

// The start of a script that runs vantrel on a named pipe "in.wav" in the
// test's folder, fed the first part of tone.wav, and waits until the track's
// temporary file exists in `out_folder`.
std::string track_under_way(const std::string& folder, const std::string& arguments,
                            const std::string& out_folder) {
    return "cd " + ShellQuote(folder) + R"( || exit 9
mkfifo in.wav
XDG_CONFIG_HOME=config )" +
           ShellQuote(vantrel_program()) + " convert " + arguments + R"( in.wav 2> err.txt &
pid=$!
exec 3> in.wav
head -c 400000 tone.wav >&3
for i in $(seq 300); do ls -A )" +
           out_folder + R"( | grep -q '\.part$' && break; sleep 0.1; done
)";
}

TEST_F(RealWma, PastTheFileSizeLimitATrackFailsAndTheBatchGoesOn) {
    make_tone(dir_.File("long.wav"), 20, 44100, 2);
    make_tone(dir_.File("short.wav"), 0.3, 44100, 2);
    fs::create_directory(dir_.Path() / "out");
    // 100 KB: the 20 s track at 128 kbps needs about 320 KB.
    const std::string command =
        "ulimit -f 200 && XDG_CONFIG_HOME=" + ShellQuote(dir_.File("config")) + " " +
        ShellQuote(vantrel_program()) + " convert -j 1 --preset 5 -d " +
        ShellQuote(dir_.File("out")) + " " + ShellQuote(dir_.File("long.wav")) + " " +
        ShellQuote(dir_.File("short.wav"));
    CommandResult r = RunCommand(command);
    EXPECT_EQ(r.status, 1) << "a failed track, not a signal: " << r.err;
    EXPECT_TRUE(contains(r.err, "cannot write " + dir_.File("out/long.wma") + ": File too large"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: 1 track written, 1 failed")) << r.err;
    EXPECT_EQ(probe(dir_.File("out/short.wma"), "stream=codec_name"), "wmav2\n");
    EXPECT_FALSE(fs::exists(dir_.File("out/long.wma")));
    EXPECT_TRUE(part_files(dir_.Path() / "out").empty());
}

TEST_F(RealWma, TemporaryFilesOfAKilledRunAreRemovedByTheNextRunThere) {
    make_tone(dir_.File("tone.wav"), 20, 44100, 2);
    make_tone(dir_.File("b.wav"), 0.3, 44100, 2);
    fs::create_directory(dir_.Path() / "out");
    const std::string script = track_under_way(dir_.Path().string(), "-o out/a.wma", "out") +
                               R"(kill -KILL $pid
wait $pid
echo "status $?"
)";
    CommandResult r = RunCommand("bash -c " + ShellQuote(script), 120);
    EXPECT_TRUE(contains(r.out, "status 137\n")) << r.out << ReadFile(dir_.File("err.txt"));
    const std::vector<std::string> left = part_files(dir_.Path() / "out");
    ASSERT_EQ(left.size(), 1u) << "the killed run could not clean up";
    // Another process's file in the same folder is left alone while it runs.
    const std::string living = ".wmwriter-1-0.part";
    std::ofstream(dir_.File("out/" + living)) << "being written";

    r = vantrel({"convert", "-d", dir_.File("out"), dir_.File("b.wav")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(part_files(dir_.Path() / "out"), std::vector<std::string>{living});
    EXPECT_FALSE(fs::exists(dir_.File("out/a.wma")));
}

TEST_F(RealWma, WithKeepAFileThatAppearsWhileItsTrackIsWrittenIsKept) {
    make_tone(dir_.File("tone.wav"), 20, 44100, 2);
    const std::string script = track_under_way(dir_.Path().string(), "-n -o out.wma", ".") +
                               R"(echo appeared > out.wma
)" + kFeedTheRestAndWait;
    CommandResult r = RunCommand("bash -c " + ShellQuote(script), 120);
    const std::string err = ReadFile(dir_.File("err.txt"));
    EXPECT_TRUE(contains(r.out, "status 1\n")) << r.out << err;
    EXPECT_EQ(ReadFile(dir_.File("out.wma")), "appeared\n");
    EXPECT_TRUE(
        contains(err, "will not replace out.wma, which appeared while it was being written"))
        << err;
    EXPECT_TRUE(part_files(dir_.Path()).empty());
}

TEST_F(RealWma, UpdateReplacesOnlyOutputsOlderThanTheirSources) {
    make_tone(dir_.File("new.wav"), 0.3, 44100, 2);
    make_tone(dir_.File("old.wav"), 0.3, 44100, 2);
    std::ofstream(dir_.File("new.wma")) << "older than its source";
    std::ofstream(dir_.File("old.wma")) << "newer than its source";
    const timespec long_ago[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir_.File("new.wma").c_str(), long_ago, 0), 0);
    ASSERT_EQ(::utimensat(AT_FDCWD, dir_.File("old.wav").c_str(), long_ago, 0), 0);
    CommandResult r = vantrel({"convert", "-u", dir_.File("new.wav"), dir_.File("old.wav")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(dir_.File("new.wma"), "stream=codec_name"), "wmav2\n");
    EXPECT_EQ(ReadFile(dir_.File("old.wma")), "newer than its source");
    EXPECT_TRUE(contains(r.err, "vantrel: 1 track written, 1 skipped, 0 failed")) << r.err;
}

} // namespace
} // namespace vantrel::testing
