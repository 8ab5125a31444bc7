// File names as they come: bytes that are not UTF-8 (a Latin-1 folder or file
// name) and names of up to 255 bytes. Each track writes exactly the file it
// names, never another one.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

#include "real_wma.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

TEST_F(RealWma, NamesThatAreNotUtf8AreWrittenExactlyAsGiven) {
    const std::string folder = dir_.File("album\xE9");
    fs::create_directory(folder);
    make_tone(folder + "/song.flac", 0.3, 44100, 2);
    std::ofstream(dir_.File("album")) << "an unrelated file";
    CommandResult r = vantrel({"convert", folder + "/song.flac"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(folder + "/song.wma", "stream=codec_name"), "wmav2\n");
    EXPECT_EQ(ReadFile(dir_.File("album")), "an unrelated file");

    std::ofstream(dir_.File(".song")) << "the input's neighbour";
    r = vantrel({"convert", "-o", dir_.File("song\xFF.wma"), folder + "/song.flac"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(dir_.File("song\xFF.wma"), "stream=codec_name"), "wmav2\n");
    EXPECT_EQ(ReadFile(dir_.File(".song")), "the input's neighbour");

    r = vantrel({"convert", "-d", dir_.File("out\xE9"), folder});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir_.File("out\xE9/song.wma")));
}

TEST_F(RealWma, AnOutputNameOf255BytesIsWritten) {
    make_tone(dir_.File("a.wav"), 0.3, 44100, 2);
    const std::string name = std::string(251, 'n') + ".wma";
    ASSERT_EQ(name.size(), 255u);
    CommandResult r = vantrel({"convert", "-o", dir_.File(name), dir_.File("a.wav")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(dir_.File(name), "stream=codec_name"), "wmav2\n");
    EXPECT_EQ(files_left(), (std::vector<std::string>{"a.wav", name}));
}

} // namespace
} // namespace vantrel::testing
