// Tracks whose files are being published while the next ones are converted:
// after a parallel run every output is in place and whole, a publication that
// fails fails its own track with the reason while the batch goes on, and an
// interrupted run leaves only whole outputs and no temporary file.
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "real_wma.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

constexpr double kTwoFrames = 2 * 2048.0 / 44100; // the most a track decodes longer

bool temporary_files_left(const std::vector<std::string>& names) {
    for (const std::string& name : names)
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0)
            return true;
    return false;
}

TEST_F(RealWma, AfterAParallelRunEveryOutputIsInPlaceAndWhole) {
    constexpr int kTracks = 10;
    for (int i = 0; i < kTracks; ++i) {
        fs::create_directories(dir_.Path() / "lib" / std::to_string(i % 3));
        make_tone(dir_.File("lib/" + std::to_string(i % 3) + "/t" + std::to_string(i) + ".wav"),
                  0.2 + 0.05 * i, 44100, 2);
    }
    CommandResult r = vantrel({"convert", "-j", "2", "-d", dir_.File("out"), dir_.File("lib")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: 10 tracks written, 0 failed")) << r.err;
    for (int i = 0; i < kTracks; ++i) {
        SCOPED_TRACE(i);
        const std::string output =
            dir_.File("out/" + std::to_string(i % 3) + "/t" + std::to_string(i) + ".wma");
        const double seconds = decoded_seconds(output);
        EXPECT_GE(seconds, 0.2 + 0.05 * i - 1e-6);
        EXPECT_LT(seconds, 0.2 + 0.05 * i + kTwoFrames);
    }
    EXPECT_FALSE(temporary_files_left(files_left()));
}

// The first track reads a pipe the script feeds; once the other two are
// written, while it is still under way, a file appears at its output, so its
// publication is refused.
TEST_F(RealWma, APublicationRefusedFailsItsTrackWithTheReasonAndTheBatchGoesOn) {
    make_tone(dir_.File("tone.wav"), 20, 44100, 2);
    make_tone(dir_.File("b.wav"), 0.3, 44100, 2);
    make_tone(dir_.File("c.wav"), 0.3, 44100, 2);
    const std::string script = "cd " + ShellQuote(dir_.Path().string()) + R"( || exit 9
mkfifo a.wav
XDG_CONFIG_HOME=config )" + ShellQuote(vantrel_program()) +
                               R"( convert -j 2 -d out a.wav b.wav c.wav 2> err.txt &
pid=$!
exec 3> a.wav
head -c 400000 tone.wav >&3
for i in $(seq 300); do
    [ -e out/b.wma ] && [ -e out/c.wma ] && ls -A out | grep -q '\.part$' && break; sleep 0.1
done
echo appeared > out/a.wma
)" + kFeedTheRestAndWait;
    CommandResult r = RunCommand("bash -c " + ShellQuote(script), 120);
    const std::string err = ReadFile(dir_.File("err.txt"));
    EXPECT_TRUE(contains(r.out, "status 1\n")) << r.out << err;
    EXPECT_EQ(ReadFile(dir_.File("out/a.wma")), "appeared\n");
    EXPECT_TRUE(contains(err, "vantrel: a.wav: ") &&
                contains(err, "will not replace out/a.wma, which appeared while it was being "
                              "written"))
        << err;
    EXPECT_TRUE(contains(err, "vantrel: 2 tracks written, 1 failed")) << err;
    EXPECT_EQ(probe(dir_.File("out/b.wma"), "stream=codec_name"), "wmav2\n");
    EXPECT_EQ(probe(dir_.File("out/c.wma"), "stream=codec_name"), "wmav2\n");
    EXPECT_FALSE(temporary_files_left(files_left()));
}

// One track at a time: the first is published, the second, from a pipe, is
// under way when the run is interrupted.
TEST_F(RealWma, AnInterruptedRunLeavesEveryPublishedOutputWhole) {
    make_tone(dir_.File("tone.wav"), 20, 44100, 2);
    make_tone(dir_.File("a.wav"), 1.5, 44100, 2);
    const std::string script = "cd " + ShellQuote(dir_.Path().string()) + R"( || exit 9
mkfifo z.wav
XDG_CONFIG_HOME=config )" + ShellQuote(vantrel_program()) +
                               R"( convert -j 1 -d out a.wav z.wav 2> err.txt &
pid=$!
exec 3> z.wav
head -c 400000 tone.wav >&3
for i in $(seq 300); do [ -e out/a.wma ] && ls -A out | grep -q '\.part$' && break; sleep 0.1; done
kill -INT $pid
)" + kFeedTheRestAndWait;
    CommandResult r = RunCommand("bash -c " + ShellQuote(script), 120);
    const std::string err = ReadFile(dir_.File("err.txt"));
    EXPECT_TRUE(contains(r.out, "status 130\n")) << r.out << err;
    const double seconds = decoded_seconds(dir_.File("out/a.wma"));
    EXPECT_GE(seconds, 1.5 - 1e-6) << err;
    EXPECT_LT(seconds, 1.5 + kTwoFrames);
    EXPECT_FALSE(fs::exists(dir_.File("out/z.wma")));
    EXPECT_FALSE(temporary_files_left(files_left()));
}

} // namespace
} // namespace vantrel::testing
