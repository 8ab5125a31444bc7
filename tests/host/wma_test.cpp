// Real conversions through the component ostrel: the .wma files are read back
// with ffprobe and mutagen. While the component's disk writer is still its
// placeholder (it does not call itself "Windows Media Audio"), these skip.
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "test_support.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

class RealWma : public ::testing::Test {
protected:
    TempDir dir_;

    void SetUp() override {
        CommandResult r = run_vantrel({"components"}, env());
        if (!contains(r.out, "disk writer: Windows Media Audio (.wma)"))
            GTEST_SKIP() << "the component's disk writer is not the real one yet:\n" << r.out;
    }

    std::vector<std::string> env() const { return {"XDG_CONFIG_HOME=" + dir_.file("config")}; }

    std::string probe(const std::string& path, const std::string& entries) {
        CommandResult r =
            run_command("ffprobe -v error -show_entries " + entries +
                        " -of default=noprint_wrappers=1:nokey=1 " + shell_quote(path));
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }

    double decoded_seconds(const std::string& path) {
        CommandResult r = run_command("ffmpeg -nostdin -v error -i " + shell_quote(path) +
                                      " -f s16le -ac 1 -ar 44100 - | wc -c");
        return std::stod(r.out) / 2 / 44100;
    }

    std::string mutagen_tag(const std::string& path, const std::string& name) {
        return run_python("import mutagen.asf\nf = mutagen.asf.ASF(" + shell_quote(path) +
                          ")\nprint('|'.join(str(v) for v in f.get(" + shell_quote(name) +
                          ", [])), end='')\n");
    }
};

TEST_F(RealWma, WavToWmaAt128kbps) {
    make_tone(dir_.file("ten.wav"), 10.0, 44100, 2);
    CommandResult r = run_vantrel({"convert", "--preset", "5", dir_.file("ten.wav")}, env());
    ASSERT_EQ(r.status, 0) << r.err;
    std::string out = dir_.file("ten.wma");
    EXPECT_EQ(probe(out, "stream=codec_name"), "wmav2\n");
    EXPECT_EQ(probe(out, "stream=sample_rate,channels"), "44100\n2\n");
    double seconds = decoded_seconds(out);
    EXPECT_GE(seconds, 10.0 - 0.001);
    EXPECT_LE(seconds, 10.0 + 0.1);
    double bitrate = static_cast<double>(fs::file_size(out)) * 8 / 10.0;
    EXPECT_NEAR(bitrate, 128000, 128000 * 0.08);
    EXPECT_TRUE(contains(r.err, "Encoding took ")) << r.err;
}

TEST_F(RealWma, TagsFromFlacAndMp3ReachTheHeader) {
    std::string flac = dir_.file("tagged.flac");
    make_tone(flac, 2.0, 48000, 1);
    run_python("from mutagen.flac import FLAC\nf = FLAC(" + shell_quote(flac) +
               ")\nf['ARTIST'] = ['Ann']\nf['ALBUM'] = ['Ålbum 名']\nf['TITLE'] = ['Tïtle']\n"
               "f['DATE'] = ['2021']\nf['GENRE'] = ['Jazz']\nf['TRACKNUMBER'] = ['5']\nf.save()\n");
    std::string mp3 = dir_.file("tagged.mp3");
    make_tone(mp3, 2.0, 44100, 2,
              "-b:a 192k -metadata artist=Zoë -metadata title=Song -metadata comment=Nice");
    fs::create_directory(dir_.path() / "out");
    CommandResult r =
        run_vantrel({"convert", "-d", dir_.file("out"), "--tag", "mood=calm", flac, mp3}, env());
    ASSERT_EQ(r.status, 0) << r.err;
    std::string a = dir_.file("out/tagged.wma");
    EXPECT_TRUE(fs::exists(a));
    EXPECT_EQ(mutagen_tag(a, "Author"), "Ann");
    EXPECT_EQ(mutagen_tag(a, "WM/AlbumTitle"), "Ålbum 名");
    EXPECT_EQ(mutagen_tag(a, "Title"), "Tïtle");
    EXPECT_EQ(mutagen_tag(a, "WM/Year"), "2021");
    EXPECT_EQ(mutagen_tag(a, "WM/Genre"), "Jazz");
    EXPECT_EQ(mutagen_tag(a, "WM/TrackNumber"), "5");
    EXPECT_EQ(mutagen_tag(a, "mood"), "calm");
    EXPECT_EQ(probe(a, "stream=sample_rate,channels"), "44100\n2\n");
    double seconds = decoded_seconds(a);
    EXPECT_GE(seconds, 2.0 - 0.001);
    EXPECT_LE(seconds, 2.0 + 0.1);
}

TEST_F(RealWma, MixedBatchWritesTheGoodTracks) {
    make_tone(dir_.file("good.wav"), 1.0, 44100, 2);
    make_tone(dir_.file("empty.wav"), 0.0, 44100, 2);
    CommandResult r = run_vantrel(
        {"convert", dir_.file("good.wav"), dir_.file("empty.wav"), dir_.file("missing.flac")},
        env());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(fs::exists(dir_.file("good.wma")));
    EXPECT_FALSE(fs::exists(dir_.file("empty.wma")));
    EXPECT_TRUE(contains(r.err, "1 track written, 2 failed")) << r.err;
}

TEST_F(RealWma, ABrokenProfileFailsEveryTrackWithoutFiles) {
    make_tone(dir_.file("a.wav"), 0.5, 44100, 2);
    fs::path prx = dir_.path() / "broken.prx";
    run_command("printf '<profile version=\"589824\"><streamconfig' > " +
                shell_quote(prx.string()));
    CommandResult r =
        run_vantrel({"convert", "--profile", prx.string(), dir_.file("a.wav")}, env());
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.err, "error: ")) << r.err;
    EXPECT_FALSE(fs::exists(dir_.file("a.wma")));
}

} // namespace
} // namespace vantrel::testing
