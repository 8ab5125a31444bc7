// Names are files: a file named like a URL of any protocol FFmpeg is built
// with is read as the file it is, a file whose content names other resources
// opens none of them, a named pipe is read once as it comes, a device is
// refused, standard input is never read unless asked, and --safe-names makes
// names devices can hold.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "stand_in_run.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

// The input protocols of the FFmpeg on this machine, from `ffmpeg -protocols`.
std::vector<std::string> input_protocols() {
    CommandResult r = RunCommand("ffmpeg -hide_banner -protocols");
    EXPECT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::vector<std::string> names;
    std::string line;
    bool input = false;
    while (std::getline(lines, line)) {
        const auto start = line.find_first_not_of(' ');
        if (start == std::string::npos)
            continue;
        const std::string word = line.substr(start);
        if (word == "Input:" || word == "Output:") {
            input = word == "Input:";
            continue;
        }
        if (input && start > 0)
            names.push_back(word);
    }
    return names;
}

class Names : public StandInRun {};

TEST_F(Names, AFileNamedLikeAUrlOfEveryProtocolIsReadAsTheFile) {
    const std::vector<std::string> protocols = input_protocols();
    ASSERT_GT(protocols.size(), 10u);
    make_tone(dir_.File("tone.wav"), 0.2, 44100, 1);
    const std::string samples = wav_samples(dir_.File("tone.wav"));
    std::vector<std::string> names;
    for (const std::string& protocol : protocols)
        names.push_back(protocol + ":x.wav");
    // Standard input and output by number, and the file protocol twice over.
    for (const char* more : {"pipe:0.wav", "pipe:1.wav", "file:file:x.wav", "fd:0.wav"})
        names.push_back(more);
    std::vector<std::string> arguments{"convert", "-j", "2"};
    for (const std::string& name : names) {
        fs::copy_file(dir_.File("tone.wav"), dir_.File(name));
        arguments.push_back(name);
    }
    CommandResult r = vantrel_in(dir_.Path().string(), arguments);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, std::to_string(names.size()) + " tracks written, 0 failed"))
        << r.err;
    for (const std::string& name : names) {
        const std::string output = dir_.File(name.substr(0, name.size() - 3) + "wma");
        EXPECT_TRUE(read_recorded(output).pcm == samples) << name;
    }
}

TEST_F(Names, AFileThatNamesOtherResourcesOpensNoneOfThem) {
    make_tone(dir_.File("tone.wav"), 0.2, 44100, 1);
    // A playlist (its part would come from the network) and a concatenation
    // list (its part would come from the file beside it), each named as audio.
    std::ofstream(dir_.File("list.wav"))
        << "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\nhttp://127.0.0.1:9/part.ts\n"
           "#EXT-X-ENDLIST\n";
    std::ofstream(dir_.File("joined.wav")) << "ffconcat version 1.0\nfile tone.wav\n";
    CommandResult r = vantrel({"convert", dir_.File("list.wav"), dir_.File("joined.wav")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: " + dir_.File("list.wav") +
                                    ": it refers to another file or address (http://127.0.0.1:9/"
                                    "part.ts); only self-contained audio files are converted"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: " + dir_.File("joined.wav") + ": not an audio file"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "0 tracks written, 2 failed")) << r.err;
}

TEST_F(Names, ANamedPipeIsReadOnceAsItComes) {
    make_tone(dir_.File("tone.mp3"), 1.0, 44100, 2, "-metadata title=Piped");
    make_tone(dir_.File("lossless.flac"), 1.0, 44100, 2, "-metadata 'artist=A;B'");
    const std::string script = "cd " + ShellQuote(dir_.Path().string()) + R"( || exit 9
mkfifo piped.mp3 piped-lossless.flac
cat tone.mp3 > piped.mp3 &
cat lossless.flac > piped-lossless.flac &
)" +
                               command_line({"convert", "-d", "out", "piped.mp3",
                                             "piped-lossless.flac", "tone.mp3", "lossless.flac"}) +
                               R"(
echo "status $?"
)";
    CommandResult r = RunCommand("bash -c " + ShellQuote(script), 60);
    EXPECT_TRUE(contains(r.out, "status 0\n")) << r.out << r.err;
    // The same audio as from the file itself (through a pipe FFmpeg cannot
    // look ahead to the MP3 encoder's padding at the end, so that stays);
    // the tags as FFmpeg read them on the one pass (several values of a
    // Vorbis comment kept apart).
    const Recorded mp3 = read_recorded(dir_.File("out/piped.wma"));
    const std::string from_file = read_recorded(dir_.File("out/tone.wma")).pcm;
    EXPECT_GE(mp3.pcm.size(), from_file.size());
    EXPECT_TRUE(mp3.pcm.compare(0, from_file.size(), from_file) == 0);
    EXPECT_NE(std::find(mp3.meta.begin(), mp3.meta.end(), "title=Piped"), mp3.meta.end());
    const Recorded flac = read_recorded(dir_.File("out/piped-lossless.wma"));
    EXPECT_TRUE(flac.pcm == wav_samples(dir_.File("lossless.flac")));
    EXPECT_EQ(flac.meta, (std::vector<std::string>{"artist=A", "artist=B"}));
}

// Shell lines that wait (boundedly) until process $pid holds `fifo` open.
std::string wait_until_open(const std::string& fifo) {
    return "for i in $(seq 300); do ls -l /proc/$pid/fd 2> /dev/null | grep -q " + fifo +
           " && break; sleep 0.1; done\n";
}

TEST_F(Names, APipeThatGivesNothingOrNeverOpensEndsWithoutAHang) {
    // A writer that opens the pipe and closes it again: the track fails at once.
    const std::string closed =
        "cd " + ShellQuote(dir_.Path().string()) + " || exit 9\n" + "mkfifo empty.wav never.wav\n" +
        command_line({"convert", "empty.wav"}) + " 2> empty.txt &\n" + "pid=$!\n" +
        wait_until_open("empty.wav") + ": > empty.wav\nwait $pid\necho \"empty $?\"\n" +
        // No writer at all: Ctrl-C ends the wait, naming the track.
        command_line({"convert", "never.wav"}) + " 2> never.txt &\n" + "pid=$!\n" +
        wait_until_open("never.wav") + "kill -INT $pid\nwait $pid\necho \"never $?\"\n";
    CommandResult r = RunCommand("bash -c " + ShellQuote(closed), 60);
    const std::string empty = ReadFile(dir_.File("empty.txt"));
    const std::string never = ReadFile(dir_.File("never.txt"));
    EXPECT_TRUE(contains(r.out, "empty 1\n")) << r.out << empty;
    EXPECT_TRUE(contains(empty, "vantrel: empty.wav: not an audio file")) << empty;
    EXPECT_TRUE(contains(r.out, "never 130\n")) << r.out << never;
    EXPECT_TRUE(contains(never, "vantrel: never.wav: interrupted")) << never;
}

// --safe-names: the tree below -d and the file names fit FAT and exFAT; two
// sources whose safe names meet are reported as colliding, the first written.
TEST_F(Names, SafeNamesFitDevicesAndNamesThatMeetCollide) {
    fs::create_directories(dir_.Path() / "lib/AC:DC/Live?");
    make_tone(dir_.File("lib/AC:DC/Live?/Who*Made<Who>.wav"), 0.1, 44100, 1);
    make_tone(dir_.File("lib/AC:DC/Live?/Who?Made<Who>.flac"), 0.1, 44100, 1);
    make_tone(dir_.File("lib/AC:DC/Live?/Dirty Deeds.wav"), 0.1, 44100, 1);
    CommandResult r =
        vantrel({"convert", "--safe-names", "-d", dir_.File("out"), dir_.File("lib")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(fs::exists(dir_.File("out/AC_DC/Live_/Dirty Deeds.wma")));
    EXPECT_TRUE(read_recorded(dir_.File("out/AC_DC/Live_/Who_Made_Who_.wma")).pcm ==
                wav_samples(dir_.File("lib/AC:DC/Live?/Who*Made<Who>.wav")));
    EXPECT_TRUE(contains(r.err, dir_.File("lib/AC:DC/Live?/Who*Made<Who>.wav") + " and " +
                                    dir_.File("lib/AC:DC/Live?/Who?Made<Who>.flac") +
                                    " would both be written to " +
                                    dir_.File("out/AC_DC/Live_/Who_Made_Who_.wma")))
        << r.err;
    EXPECT_TRUE(contains(r.err, "2 tracks written, 1 failed")) << r.err;
    EXPECT_FALSE(fs::exists(dir_.File("out/AC:DC")));
}

TEST_F(Names, DevicesAreRefusedAndStandardInputIsNeverRead) {
    CommandResult r = vantrel({"convert", "-o", dir_.File("z.wma"), "/dev/zero"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: /dev/zero: it is a device, not a file; only files and "
                                "named pipes are read"))
        << r.err;
    EXPECT_FALSE(fs::exists(dir_.File("z.wma")));

    // "pipe:0" is a name like any other: no such file, and the input that
    // arrives on standard input is left for whoever reads it next.
    make_tone(dir_.File("tone.wav"), 0.2, 44100, 1);
    r = RunCommand("cd " + ShellQuote(dir_.Path().string()) + " && { " +
                   command_line({"convert", "pipe:0.wav"}) + "; cat > rest.wav; } < tone.wav");
    EXPECT_EQ(r.status, 0) << "the shell's status is cat's: " << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: pipe:0.wav: input not found\n")) << r.err;
    EXPECT_EQ(ReadFile(dir_.File("rest.wav")), ReadFile(dir_.File("tone.wav")));
}

} // namespace
} // namespace vantrel::testing
