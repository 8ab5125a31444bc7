// Ending a run from outside: SIGINT, SIGTERM and SIGHUP while a track is being
// written, a second interrupt, and a pipe whose reader goes away. Each ends as
// a signal would, older files stay, and no temporary file is left.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

#include "real_wma.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

struct Interruption {
    const char* name;
    const char* signals; // sent one after the other
    int status;
};

class Interrupted : public RealWma, public ::testing::WithParamInterface<Interruption> {};

// The input is a pipe the script feeds: the track is under way (its temporary
// file exists) when the signals arrive, and ends only once the script has sent
// them, so nothing here depends on timing. Waits are bounded to turn a hang
// into a failure.
TEST_P(Interrupted, EndsAsTheSignalWouldLeavingOlderFilesAndNoTemporaryOnes) {
    const Interruption& c = GetParam();
    make_tone(dir_.File("tone.wav"), 20, 44100, 2);
    std::ofstream(dir_.File("out.wma")) << "older file";
    const std::string script = "cd " + ShellQuote(dir_.Path().string()) + R"( || exit 9
mkfifo in.wav
)" + ShellQuote(vantrel_program()) +
                               R"( convert -f -o out.wma in.wav 2> err.txt &
pid=$!
exec 3> in.wav
head -c 400000 tone.wav >&3
for i in $(seq 300); do ls -A | grep -q '\.part$' && break; sleep 0.1; done
ls -A | grep -q '\.part$' || { echo "no temporary file"; kill -9 $pid; exit 9; }
for s in )" + c.signals + R"(; do kill -$s $pid; sleep 0.2; done
)" + kFeedTheRestAndWait;
    CommandResult r = RunCommand("bash -c " + ShellQuote(script), 120);
    const std::string err = ReadFile(dir_.File("err.txt"));
    EXPECT_TRUE(contains(r.out, "status " + std::to_string(c.status) + "\n")) << r.out << err;
    EXPECT_EQ(ReadFile(dir_.File("out.wma")), "older file") << err;
    EXPECT_EQ(timing_lines_for(err, "in.wav"), 0) << "no timing line for a track not written";
    for (const auto& entry : fs::directory_iterator(dir_.Path()))
        EXPECT_FALSE(entry.path().extension() == ".part") << entry.path();
}

INSTANTIATE_TEST_SUITE_P(EverySignal, Interrupted,
                         ::testing::Values(Interruption{"int", "INT", 130},
                                           Interruption{"term", "TERM", 143},
                                           Interruption{"hup", "HUP", 129},
                                           Interruption{"twice", "INT INT", 130}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RealWma, APipeWhoseReaderQuitsFailsItsTrackAndTheOthersGoOn) {
    make_tone(dir_.File("a.wav"), 5, 44100, 2);
    make_tone(dir_.File("b.wav"), 0.3, 44100, 2);
    fs::create_directory(dir_.Path() / "out");
    const std::string script = "cd " + ShellQuote(dir_.Path().string()) + R"( || exit 9
mkfifo out/a.wma
head -c 100 out/a.wma > /dev/null &
)" + ShellQuote(vantrel_program()) +
                               R"( convert -j 1 -d out a.wav b.wav
echo "status $?"
)";
    CommandResult r = RunCommand("bash -c " + ShellQuote(script), 120);
    EXPECT_TRUE(contains(r.out, "status 1\n")) << r.out << r.err;
    EXPECT_TRUE(contains(r.err, "a.wav: ")) << r.err;
    EXPECT_TRUE(contains(r.err, "a.wma: ")) << "the failure names the output: " << r.err;
    EXPECT_EQ(probe(dir_.File("out/b.wma"), "stream=codec_name"), "wmav2\n") << r.err;
    for (const auto& entry : fs::directory_iterator(dir_.Path() / "out"))
        EXPECT_FALSE(entry.path().extension() == ".part") << entry.path();
}

} // namespace
} // namespace vantrel::testing
