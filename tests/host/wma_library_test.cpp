// A small music library converted in one command, several times: folders in,
// the same tree out, existing outputs skipped, a dry run that writes nothing,
// a broken file and two sources for one target named, and a profile that
// cannot encode refused before it is saved.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

#include "real_wma.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

class Library : public RealWma {
protected:
    void SetUp() override {
        RealWma::SetUp();
        if (IsSkipped())
            return;
        fs::create_directories(dir_.Path() / "lib/A/one");
        fs::create_directories(dir_.Path() / "lib/B side");
        fs::create_directories(dir_.Path() / "lib/.hidden");
        make_tone(dir_.File("lib/A/one/t1.flac"), 0.3, 44100, 2);
        make_tone(dir_.File("lib/A/one/t1.mp3"), 0.3, 44100, 2);
        make_tone(dir_.File("lib/B side/t2.wav"), 0.3, 48000, 1);
        make_tone(dir_.File("lib/.hidden/t3.flac"), 0.3, 44100, 2);
        std::ofstream(dir_.File("lib/broken.flac")) << "not audio";
        std::ofstream(dir_.File("lib/notes.txt")) << "liner notes";
        std::ofstream(dir_.File("lib/A/cover.jpg")) << "jpeg";
        fs::create_directory_symlink(dir_.Path() / "lib", dir_.Path() / "lib/A/loop");
    }

    std::string lib() const { return dir_.File("lib"); }
    std::string out(const std::string& name = "") const { return dir_.File("out/" + name); }
};

TEST_F(Library, FoldersInTheSameTreeOutSkipWhatExistsSayWhatFailed) {
    // A dry run says what would happen and writes nothing, not even the
    // folder; the collision it foresees sets its exit status.
    CommandResult r = vantrel({"convert", "--dry-run", "-d", out(), lib()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_FALSE(fs::exists(out()));
    EXPECT_TRUE(
        contains(r.out, dir_.File("lib/A/one/t1.flac") + " -> " + out("A/one/t1.wma") + "\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out, dir_.File("lib/B side/t2.wav") + " -> " + out("B side/t2.wma")))
        << r.out;
    EXPECT_TRUE(contains(r.out, dir_.File("lib/A/one/t1.mp3") + " -> " + out("A/one/t1.wma") +
                                    "  (collides: "))
        << r.out;
    EXPECT_TRUE(contains(r.out, dir_.File("lib/.hidden") + "  (skipped: hidden)\n") &&
                contains(r.out, dir_.File("lib/notes.txt") + "  (skipped: not an audio file)\n") &&
                contains(r.out, dir_.File("lib/A/cover.jpg") + "  (skipped: not an audio file)\n"))
        << "hidden and non-audio files are passed over, and said so: " << r.out;
    EXPECT_FALSE(contains(r.out, "t3")) << "a hidden folder is not searched: " << r.out;
    EXPECT_EQ(count(r.out, "t1.flac ->"), 1) << "a link back up the tree is not followed";

    // The run: the tree is mirrored, the broken file and the collision named.
    r = vantrel({"convert", "-d", out(), lib()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(probe(out("A/one/t1.wma"), "stream=codec_name"), "wmav2\n");
    EXPECT_EQ(probe(out("B side/t2.wma"), "stream=codec_name"), "wmav2\n");
    EXPECT_EQ(count(r.err, "would both be written to " + out("A/one/t1.wma")), 1) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: 2 tracks written, 4 skipped, 2 failed")) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: skipped: 2 not audio files, 1 hidden, 1 link to a "
                                "folder searched already"))
        << r.err;
    const std::string listed = r.err.substr(r.err.find("vantrel: failed:\n"));
    EXPECT_TRUE(contains(listed, "\n  " + dir_.File("lib/broken.flac") + ": not an audio file"))
        << r.err;
    EXPECT_TRUE(contains(listed, "\n  " + dir_.File("lib/A/one/t1.mp3") + ": output ")) << r.err;
    EXPECT_FALSE(fs::exists(out("broken.wma")));

    // Again with -n: what exists is left untouched and counted as skipped.
    const auto written = fs::last_write_time(out("A/one/t1.wma"));
    const std::string content = ReadFile(out("A/one/t1.wma"));
    fs::remove(dir_.File("lib/broken.flac"));
    fs::remove(dir_.File("lib/A/one/t1.mp3"));
    r = vantrel({"convert", "-n", "-d", out(), lib()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: 0 tracks written, 6 skipped, 0 failed")) << r.err;
    EXPECT_EQ(fs::last_write_time(out("A/one/t1.wma")), written);
    EXPECT_EQ(ReadFile(out("A/one/t1.wma")), content);

    // A -d that is a file is one usage error, not one error per track.
    r = vantrel({"convert", "-d", dir_.File("lib/notes.txt"), lib()});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(count(r.err, "is not a folder"), 1) << r.err;

    // An output name that players will not take for Windows Media is warned of.
    r = vantrel({"convert", "-o", dir_.File("song.mp3"), dir_.File("lib/B side/t2.wav")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "warning: " + dir_.File("song.mp3") + " does not end in .wma"))
        << r.err;
}

TEST_F(Library, AProfileThatCannotEncodeIsRefusedBeforeItIsSaved) {
    ASSERT_EQ(vantrel({"settings", "--preset", "3"}).status, 0);
    const std::string prx = dir_.File("mono8k.prx");
    std::ofstream(prx) << "<profile version=\"589824\" name=\"x\"><streamconfig "
                          "majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" "
                          "bitrate=\"64000\"><wmmediatype "
                          "subtype=\"{00000161-0000-0010-8000-00AA00389B71}\"><waveformatex "
                          "wFormatTag=\"353\" nChannels=\"6\" nSamplesPerSec=\"44100\" "
                          "nAvgBytesPerSec=\"8000\" nBlockAlign=\"2973\" wBitsPerSample=\"16\"/>"
                          "</wmmediatype></streamconfig></profile>";
    CommandResult r = vantrel({"settings", "--profile", prx});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_TRUE(
        contains(r.err, "profile " + prx + " cannot be used: the WMA 2 encoder cannot write"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "2 channels, not 6")) << r.err;
    std::ofstream(dir_.File("text.prx")) << "<profile><not closed";
    r = vantrel({"settings", "--profile", dir_.File("text.prx")});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_TRUE(contains(r.err, "cannot be used: not a usable profile: not XML")) << r.err;
    r = vantrel({"settings", "--show"});
    EXPECT_TRUE(contains(r.out, "Setting:       preset 3: WMA 2, 80 kbps, 44.1 kHz stereo"))
        << r.out;

    // A saved custom setting with no text: shown with a warning, and a run
    // stops once, before any track.
    const auto at = r.out.find("Settings file: ") + 15;
    const std::string saved = r.out.substr(at, r.out.find('\n', at) - at);
    std::ofstream(saved, std::ios::binary) << std::string("\x09\0\0\0\0\0\0\0", 8);
    r = vantrel({"settings", "--show"});
    EXPECT_TRUE(
        contains(r.out, "Warning:       the custom profile is chosen but its text is empty"))
        << r.out;
    make_tone(dir_.File("a.wav"), 0.2, 44100, 2);
    r = vantrel({"convert", dir_.File("a.wav"), dir_.File("a.wav")});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(count(r.err, "the custom profile is chosen but its text is empty"), 1) << r.err;
    EXPECT_FALSE(fs::exists(dir_.File("a.wma")));
}

} // namespace
} // namespace vantrel::testing
