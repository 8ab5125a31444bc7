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

// Tag text that is not UTF-8 is never cut at the bad byte: ID3v1 and RIFF
// INFO text is Latin-1 by convention, a bad --tag byte becomes U+FFFD.
TEST_F(RealWma, TagTextThatIsNotUtf8IsReadNotCut) {
    make_tone(dir_.File("plain.wav"), 0.3, 44100, 2);
    make_tone(dir_.File("v1.mp3"), 0.3, 44100, 2, "-id3v2_version 0");
    run_python(R"(
import struct
data = open(')" +
               dir_.File("plain.wav") + R"(', 'rb').read()
name = b'Caf\xe9 del Mar\0'
info = b'INFO' + b'INAM' + struct.pack('<I', len(name)) + name
chunk = b'LIST' + struct.pack('<I', len(info)) + info
body = data[12:] + chunk
open(')" + dir_.File("latin.wav") +
               R"(', 'wb').write(b'RIFF' + struct.pack('<I', 4 + len(body)) + b'WAVE' + body)
tag = b'TAG' + b'Caf\xe9 del Mar'.ljust(30, b'\0') + b'\xc9mile'.ljust(30, b'\0') + bytes(30 + 4 + 30) + b'\xff'
open(')" + dir_.File("v1.mp3") +
               R"(', 'ab').write(tag)
)");
    for (const char* input : {"latin.wav", "v1.mp3"}) {
        CommandResult r = vantrel({"convert", dir_.File(input)});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string out =
            dir_.File(std::string(input).substr(0, std::string(input).find('.')) + ".wma");
        EXPECT_EQ(mutagen_tags(out)["Title"], "Caf\xC3\xA9 del Mar") << input;
    }
    CommandResult r = vantrel({"convert", "--tag", "title=Caf\xE9 au lait", "-o",
                               dir_.File("tagged.wma"), dir_.File("plain.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(mutagen_tags(dir_.File("tagged.wma"))["Title"], "Caf\xEF\xBF\xBD au lait");
}

} // namespace
} // namespace vantrel::testing
