// The vantrel program end to end, driving the stand-in disk writer that
// records what it is handed, so the host's side is checked exactly.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "stand_in_run.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

class Cli : public StandInRun {};

TEST_F(Cli, ComponentsListsEachComponentAndNamesTheOneThatFailed) {
    CommandResult r = vantrel({"components"});
    EXPECT_EQ(r.status, 1) << "a component failed to load";
    EXPECT_TRUE(contains(r.out, "Stand-in Component 0.1\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "  disk writer: Stand-in Writer (.wma)\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "  about:       Records what the host hands it.\n"
                                "               For tests.\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out, "stand_in_writer.so\n")) << r.out;
    EXPECT_TRUE(contains(r.err, "component " + std::string(STAND_IN_COMPONENTS) +
                                    "/broken.so not loaded: "))
        << r.err;
}

TEST_F(Cli, AMissingComponentsFolderIsNamed) {
    CommandResult r = run_vantrel({"components", "--components", dir_.File("none")}, env());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "cannot read components folder " + dir_.File("none"))) << r.err;
    r = run_vantrel({"convert", "--components", dir_.File("none"), "x.wav"}, env());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "offers a disk writer")) << r.err;
}

TEST_F(Cli, ConvertsAWavTrackBesideItExactly) {
    make_tone(dir_.File("tone.wav"), 1.5, 44100, 2);
    CommandResult r = vantrel({"convert", dir_.File("tone.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    Recorded rec = read_recorded(dir_.File("tone.wma"));
    EXPECT_EQ(rec.pcm, wav_samples(dir_.File("tone.wav")));
    EXPECT_EQ(rec.fields["rate"], "44100");
    EXPECT_EQ(rec.fields["channels"], "2");
    EXPECT_EQ(rec.fields["frames"], "66150");
    // Chunks of 16384 frames: 32768 values of stereo, 66150 frames in 5 chunks.
    EXPECT_EQ(rec.fields["capacity"], "32768");
    EXPECT_EQ(rec.fields["chunks"], "5");
    EXPECT_EQ(rec.fields["thread-ok"], "1");
    EXPECT_EQ(rec.fields["config"], "02 00 00 00 00 00 00 00") << "the writer's default";
    EXPECT_EQ(rec.fields["track"], dir_.File("tone.wav"));
    EXPECT_EQ(rec.fields["length"], "1.500");
    EXPECT_EQ(rec.fields["location"], "file://" + dir_.File("tone.wma"));
    EXPECT_TRUE(hidden_files(dir_.Path()).empty());
    EXPECT_TRUE(contains(r.err, dir_.File("tone.wav") + " -> " + dir_.File("tone.wma"))) << r.err;
    EXPECT_FALSE(contains(r.err, "Stand-in wrote")) << "the writer's information needs -v";
    EXPECT_TRUE(contains(r.err, "vantrel: 1 track written, 0 failed, in ")) << r.err;
    EXPECT_FALSE(contains(r.err, "\x1b[")) << "no progress display off a terminal";
    r = vantrel({"convert", "-v", "-f", dir_.File("tone.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "\nstand_in_writer.so: info: Stand-in wrote 66150 frames (" +
                                    dir_.File("tone.wav") + ")"))
        << r.err;
}

TEST_F(Cli, HandsOverTagsAndTechnicalInformation) {
    std::string path = dir_.File("m.flac");
    make_tone(path, 0.3, 48000, 1, "-metadata date=2020");
    run_python("from mutagen.flac import FLAC\nf = FLAC(" + ShellQuote(path) +
               ")\nf['ARTIST'] = ['Ann', 'Bøb']\nf['TITLE'] = ['名前']\nf['TRACKNUMBER'] = "
               "['2']\nf.save()\n");
    CommandResult r = vantrel({"convert", "--tag", "album=Mine", "--tag", "Title=Other", path});
    ASSERT_EQ(r.status, 0) << r.err;
    Recorded rec = read_recorded(dir_.File("m.wma"));
    EXPECT_EQ(rec.meta, (std::vector<std::string>{"date=2020", "artist=Ann", "artist=Bøb",
                                                  "tracknumber=2", "album=Mine", "title=Other"}));
    ASSERT_GE(rec.info.size(), 5u);
    rec.info.resize(5); // the container's bit rate follows
    EXPECT_EQ(rec.info,
              (std::vector<std::string>{"samplerate=48000", "channels=1", "bitspersample=16",
                                        "codec=FLAC", "encoding=lossless"}));
    EXPECT_EQ(rec.fields["rate"], "48000");
    EXPECT_EQ(rec.fields["channels"], "1");
    EXPECT_EQ(rec.fields["frames"], "14400");
}

TEST_F(Cli, OutputFileAndOutputFolder) {
    make_tone(dir_.File("a.wav"), 0.2, 44100, 2);
    make_tone(dir_.File("b.mp3"), 0.2, 44100, 2);
    fs::create_directory(dir_.Path() / "out");
    CommandResult r = vantrel({"convert", "-o", dir_.File("out/named.wma"), dir_.File("a.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir_.File("out/named.wma")));
    r = vantrel({"convert", "-d", dir_.File("out"), dir_.File("a.wav"), dir_.File("b.mp3")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir_.File("out/a.wma")));
    EXPECT_TRUE(fs::exists(dir_.File("out/b.wma")));
    EXPECT_FALSE(fs::exists(dir_.File("a.wma")));
    EXPECT_TRUE(contains(r.err, "2 tracks written, 0 failed")) << r.err;
}

TEST_F(Cli, PresetAndProfileApplyToOneRunOnly) {
    make_tone(dir_.File("a.wav"), 0.1, 44100, 2);
    CommandResult r = vantrel({"convert", "--preset", "5", dir_.File("a.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_recorded(dir_.File("a.wma")).fields["config"], "05 00 00 00 00 00 00 00");
    EXPECT_FALSE(fs::exists(dir_.File("config")));

    // A usable profile with a name beyond ASCII, stored as UTF-16 with a mark.
    const std::u16string wide =
        u"<profile version=\"589824\" name=\"\u00C4\"><streamconfig "
        u"majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" "
        u"bitrate=\"64024\"><wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\">"
        u"<waveformatex wFormatTag=\"353\" nChannels=\"2\" nSamplesPerSec=\"44100\" "
        u"nAvgBytesPerSec=\"8003\" nBlockAlign=\"2973\" wBitsPerSample=\"16\" "
        u"codecdata=\"008800000F00752E0000\"/></wmmediatype></streamconfig></profile>";
    std::string utf16 = "\xFF\xFE";
    std::string profile; // the same text in UTF-8
    for (char16_t c : wide) {
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c >> 8);
        if (c < 0x80) {
            profile += static_cast<char>(c);
        } else {
            profile += static_cast<char>(0xC0 | (c >> 6));
            profile += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    std::ofstream(dir_.File("p.prx"), std::ios::binary) << utf16;
    r = vantrel({"convert", "-f", "--profile", dir_.File("p.prx"), dir_.File("a.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    char length[48];
    std::snprintf(length, sizeof length, "09 00 00 00 %02zx %02zx 00 00", profile.size() & 0xFF,
                  profile.size() >> 8);
    std::string expected = length;
    for (unsigned char c : profile) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02x", c);
        expected += hex;
    }
    EXPECT_EQ(read_recorded(dir_.File("a.wma")).fields["config"], expected);
}

TEST_F(Cli, ABrokenProfileIsAUsageErrorAndNothingIsWritten) {
    make_tone(dir_.File("a.wav"), 0.1, 44100, 2);
    std::ofstream(dir_.File("bad.prx")) << "no profile here";
    CommandResult r = vantrel({"convert", "--profile", dir_.File("bad.prx"), dir_.File("a.wav")});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(
        contains(r.err, "profile " + dir_.File("bad.prx") + " is not a Windows Media profile"))
        << r.err;
    EXPECT_FALSE(fs::exists(dir_.File("a.wma")));
    r = vantrel({"convert", "--profile", dir_.File("none.prx"), dir_.File("a.wav")});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, "cannot read profile " + dir_.File("none.prx"))) << r.err;
}

TEST_F(Cli, SettingsAreStoredShownResetAndUsed) {
    make_tone(dir_.File("a.wav"), 0.1, 44100, 2);
    CommandResult r = vantrel({"settings", "--preset", "7"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Saved: preset 7\n");
    std::string file =
        dir_.File("config/vantrel/diskwriter-5e1f0a11-1234-4321-8001-020304050607.cfg");
    EXPECT_EQ(ReadFile(file), std::string("\x07\0\0\0\0\0\0\0", 8));

    r = vantrel({"convert", dir_.File("a.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_recorded(dir_.File("a.wma")).fields["config"], "07 00 00 00 00 00 00 00");

    r = vantrel({"settings", "--show"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Disk writer:   Stand-in Writer\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "Settings file: " + file + "\n")) << r.out;
    // The setting and the preset list in the words of --help, the current
    // preset marked.
    EXPECT_TRUE(contains(r.out, "Setting:       preset 7: WMA 2, 192 kbps, 44.1 kHz stereo\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out, "  5  WMA 2, 128 kbps, 44.1 kHz stereo\n") &&
                contains(r.out, "* 7  WMA 2, 192 kbps, 44.1 kHz stereo  (current)\n") &&
                contains(r.out, "  8  WMA Lossless\n"))
        << r.out;
    EXPECT_EQ(count(r.out, "(current)"), 1) << r.out;
    const std::string help = vantrel({"--help"}).out;
    std::istringstream lines(r.out);
    int presets = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.size() < 4 || !std::isdigit(static_cast<unsigned char>(line[2])))
            continue;
        if (line.ends_with("  (current)"))
            line.erase(line.size() - 11);
        EXPECT_TRUE(contains(help, "  " + line.substr(2) + "\n")) << line;
        ++presets;
    }
    EXPECT_EQ(presets, 9) << r.out;

    r = vantrel({"settings"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Settings unchanged: preset 7\n");
    r = vantrel({"settings"}, "dialog-ok");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Saved: preset 5\n");
    EXPECT_EQ(ReadFile(file)[0], 5);

    r = vantrel({"settings", "--reset"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(file), std::string("\x02\0\0\0\0\0\0\0", 8));
}

TEST_F(Cli, DamagedStoredSettingsFallBackToTheDefaultWithAWarning) {
    make_tone(dir_.File("a.wav"), 0.1, 44100, 2);
    fs::create_directories(dir_.Path() / "config/vantrel");
    std::ofstream(dir_.File("config/vantrel/diskwriter-5e1f0a11-1234-4321-8001-020304050607.cfg"),
                  std::ios::binary)
        << std::string("\x63\0\0\0\0\0\0\0", 8);
    CommandResult r = vantrel({"convert", dir_.File("a.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "name no preset; using the default")) << r.err;
    EXPECT_EQ(read_recorded(dir_.File("a.wma")).fields["config"], "02 00 00 00 00 00 00 00");
}

struct FailureCase {
    const char* mode;
    const char* console_text; // what the writer printed, or ""
    const char* reason;       // what vantrel says of the track
};

class CliFailures : public Cli, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CliFailures, AFailedTrackLeavesNoFileAndAnOlderOutputUntouched) {
    const FailureCase& c = GetParam();
    make_tone(dir_.File("a.wav"), 0.5, 44100, 2);
    std::ofstream(dir_.File("a.wma")) << "older file";
    CommandResult r = vantrel({"convert", "-f", dir_.File("a.wav")}, c.mode);
    EXPECT_EQ(r.status, 1) << r.err;
    if (c.console_text[0]) {
        EXPECT_TRUE(contains(r.err, std::string("error: ") + c.console_text)) << r.err;
    }
    EXPECT_TRUE(contains(r.err, "vantrel: " + dir_.File("a.wav") + ": " + c.reason)) << r.err;
    EXPECT_TRUE(contains(r.err, "0 tracks written, 1 failed")) << r.err;
    EXPECT_EQ(ReadFile(dir_.File("a.wma")), "older file");
    EXPECT_TRUE(hidden_files(dir_.Path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    EveryWay, CliFailures,
    ::testing::Values(
        FailureCase{"process", "Stand-in refuses the audio.",
                    "the encoder could not start the track: Stand-in refuses the audio."},
        FailureCase{"late", "Stand-in refuses the audio.",
                    "the encoder refused the audio at 0:00: Stand-in refuses the audio."},
        FailureCase{"error-line", "Stand-in could not finish the file.",
                    "the encoder reported an error: Stand-in could not finish the file."},
        FailureCase{"half-file", "Stand-in could not finish the file.",
                    "the encoder reported an error: Stand-in could not finish the file."},
        FailureCase{"no-file", "", "the encoder wrote no output file"},
        FailureCase{"throw", "", "the encoder failed: stand-in exception"}),
    [](const auto& info) {
        std::string name = info.param.mode;
        std::erase(name, '-');
        return name;
    });

TEST_F(Cli, BadInputsAreNamedAndTheOthersStillWritten) {
    make_tone(dir_.File("good.wav"), 0.2, 44100, 2);
    make_tone(dir_.File("empty.wav"), 0.0, 44100, 2);
    std::ofstream(dir_.File("text.flac")) << "not audio";
    make_tone(dir_.File("self.wma"), 0.1, 44100, 2, "-c:a wmav2");
    CommandResult r =
        vantrel({"convert", "-j", "2", dir_.File("missing.wav"), dir_.File("empty.wav"),
                 dir_.File("text.flac"), dir_.File("good.wav"), dir_.File("self.wma")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(fs::exists(dir_.File("good.wma")));
    EXPECT_TRUE(contains(r.err, dir_.File("missing.wav") + ": input not found\n")) << r.err;
    EXPECT_TRUE(
        contains(r.err, dir_.File("empty.wav") + ": it contains no audio (zero-length track)"))
        << r.err;
    EXPECT_TRUE(contains(r.err, dir_.File("text.flac") + ": not an audio file")) << r.err;
    EXPECT_TRUE(contains(r.err, dir_.File("self.wma") + ": skipped, already in place")) << r.err;
    EXPECT_TRUE(contains(r.err, "1 track written, 1 skipped, 3 failed")) << r.err;
    EXPECT_FALSE(fs::exists(dir_.File("empty.wma")));
    EXPECT_FALSE(fs::exists(dir_.File("text.wma")));
    EXPECT_FALSE(fs::exists(dir_.File("missing.wma")));
    EXPECT_TRUE(hidden_files(dir_.Path()).empty());
}

// The input is what is missing, named as such, whatever the output folder.
TEST_F(Cli, AMissingInputInAMissingFolderIsNamedAsTheInput) {
    CommandResult r = vantrel({"convert", "-d", dir_.File("out"), dir_.File("gone/deeper/x.wav")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: " + dir_.File("gone/deeper/x.wav") +
                                    ": input not found: folder " + dir_.File("gone") +
                                    " does not exist\n"))
        << r.err;
    EXPECT_FALSE(contains(r.err, "output folder")) << r.err;
    EXPECT_TRUE(contains(r.err, "0 tracks written, 1 failed")) << r.err;
}

TEST_F(Cli, ParallelJobsEachKeepTheirWriterOnOneThread) {
    std::vector<std::string> arguments{"convert", "-j", "3", "-q"};
    for (int i = 0; i < 6; ++i) {
        std::string path = dir_.File("t" + std::to_string(i) + ".wav");
        make_tone(path, 0.3 + 0.1 * i, 22050 * (1 + i % 2), 1 + i % 2);
        arguments.push_back(path);
    }
    CommandResult r = vantrel(arguments);
    ASSERT_EQ(r.status, 0) << r.err;
    // Quiet keeps errors only: here just the library in the folder that is no component.
    EXPECT_EQ(r.err.find("vantrel: component "), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    for (int i = 0; i < 6; ++i) {
        std::string input = dir_.File("t" + std::to_string(i) + ".wav");
        Recorded rec = read_recorded(dir_.File("t" + std::to_string(i) + ".wma"));
        EXPECT_EQ(rec.fields["thread-ok"], "1");
        EXPECT_EQ(rec.fields["track"], input);
        EXPECT_EQ(rec.pcm, wav_samples(input)) << input;
    }
}

TEST_F(Cli, UsageErrorsExitWithTwo) {
    CommandResult r = vantrel({"convert"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "vantrel: convert needs at least one input file or folder\n"
                     "Try 'vantrel --help' for more information.\n");
    EXPECT_EQ(run_vantrel({"frobnicate"}).status, 2);
    EXPECT_EQ(run_vantrel({}).status, 2);
    EXPECT_EQ(vantrel({"convert", "--preset", "12", "x.wav"}).status, 2);
}

TEST_F(Cli, HelpAndVersion) {
    CommandResult help = run_vantrel({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(contains(help.out, "Usage: vantrel COMMAND")) << help.out;
    CommandResult version = run_vantrel({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("vantrel ", 0), 0u);
}

} // namespace
} // namespace vantrel::testing
