// Links: every name the user gave is converted to its own output, even when
// several name one file; in a library, links to one track are each mirrored,
// folder links that loop or fan out are searched once and said so.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "stand_in_run.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

class Links : public StandInRun {};

TEST_F(Links, EachNameOnTheCommandLineHasItsOwnOutput) {
    make_tone(dir_.File("song.wav"), 0.2, 44100, 1);
    fs::create_symlink(dir_.File("song.wav"), dir_.File("soft.wav"));
    fs::create_hard_link(dir_.File("song.wav"), dir_.File("hard.wav"));
    CommandResult r =
        vantrel({"convert", dir_.File("soft.wav"), dir_.File("hard.wav"), dir_.File("song.wav")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "3 tracks written, 0 failed")) << r.err;
    const std::string samples = wav_samples(dir_.File("song.wav"));
    for (const char* output : {"soft.wma", "hard.wma", "song.wma"})
        EXPECT_TRUE(read_recorded(dir_.File(output)).pcm == samples) << output;

    // The very same name twice is one request, said once.
    r = vantrel({"convert", "-f", dir_.File("song.wav"), dir_.File("./song.wav")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.err, "is given more than once; it is taken once"), 1) << r.err;
    EXPECT_TRUE(contains(r.err, "1 track written, 0 failed")) << r.err;
}

TEST_F(Links, ALibraryMirrorsEveryLinkAndSearchesEachFolderOnce) {
    fs::create_directories(dir_.Path() / "lib/Albums/X");
    make_tone(dir_.File("lib/Albums/X/song.wav"), 0.2, 44100, 1);
    fs::create_symlink("song.wav", dir_.File("lib/Albums/X/again.wav"));
    fs::create_hard_link(dir_.File("lib/Albums/X/song.wav"), dir_.File("lib/hard.wav"));
    fs::create_directory_symlink("Albums/X", dir_.File("lib/Favourite"));
    fs::create_directory_symlink("..", dir_.File("lib/Albums/up"));
    CommandResult r = vantrel({"convert", "-d", dir_.File("out"), dir_.File("lib")});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* output : {"out/Albums/X/song.wma", "out/Albums/X/again.wma", "out/hard.wma"})
        EXPECT_TRUE(fs::is_regular_file(dir_.File(output))) << output;
    EXPECT_FALSE(fs::exists(dir_.File("out/Favourite"))) << "mirrored under its real name";
    EXPECT_TRUE(contains(r.err, "vantrel: " + dir_.File("lib/Favourite") +
                                    ": not searched, a link to a folder searched already"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "3 tracks written, 2 skipped, 0 failed")) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: skipped: 2 links to folders searched already")) << r.err;
}

// Two links per level to the level below, 18 levels: 2^18 paths through the
// links, each folder planned once.
TEST_F(Links, FanOutOfFolderLinksIsPlannedOnce) {
    fs::path level = dir_.Path() / "lib";
    fs::create_directory(level);
    for (int i = 0; i < 18; ++i) {
        fs::create_directory(level / "r");
        fs::create_directory_symlink("r", level / "a");
        fs::create_directory_symlink("r", level / "b");
        std::ofstream((level / "t.wav").string()) << "";
        level /= "r";
    }
    CommandResult r = vantrel({"convert", "--dry-run", "-d", dir_.File("out"), dir_.File("lib")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, "t.wav -> "), 18) << r.out;
    EXPECT_EQ(count(r.out, "(skipped: a folder searched already)"), 36) << r.out;
}

} // namespace
} // namespace vantrel::testing
