// Real conversions through the component ostrel from WAV, FLAC and MP3 inputs:
// the .wma files are read back with ffprobe, ffmpeg and mutagen for codec, bit
// rate, duration and every tag, and with -v the console shows each track's
// timing line.
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "real_wma.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

// Checks what every lossy preset writes: Windows Media Audio 2 at 44.1 kHz
// stereo, the input's whole length, and the preset's bit rate.
void expect_lossy_file(const std::string& path, double seconds, double bitrate) {
    EXPECT_EQ(RealWma::probe(path, "stream=codec_name"), "wmav2\n") << path;
    EXPECT_EQ(RealWma::probe(path, "stream=sample_rate,channels"), "44100\n2\n") << path;
    EXPECT_NEAR(RealWma::probe_number(path, "stream=bit_rate"), bitrate, bitrate * 0.01) << path;
    EXPECT_NEAR(RealWma::probe_number(path, "format=duration"), seconds, 0.1) << path;
    // Every pushed sample is in the file, and less than two codec frames (0.093 s) more.
    double decoded = RealWma::decoded_seconds(path);
    EXPECT_GE(decoded, seconds - 0.001) << path;
    EXPECT_LE(decoded, seconds + 0.093) << path;
    auto [length, rate] = RealWma::mutagen_info(path);
    EXPECT_NEAR(length, seconds, 0.1) << path;
    EXPECT_NEAR(rate, bitrate, bitrate * 0.01) << path;
}

// Every expected tag is in the file with its value; others may be there too.
void expect_tags(TagMap actual, const TagMap& expected) {
    for (const auto& [name, value] : expected)
        EXPECT_EQ(actual[name], value) << name;
}

TEST_F(RealWma, TheEncodersTimingLineWaitsForVerbose) {
    make_tone(dir_.File("short.wav"), 0.5, 44100, 2);
    CommandResult r = vantrel({"convert", dir_.File("short.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(contains(r.err, "Encoding took")) << r.err;
    EXPECT_TRUE(contains(r.err, dir_.File("short.wav") + " -> " + dir_.File("short.wma"))) << r.err;
    r = vantrel({"convert", "-q", dir_.File("short.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
}

TEST_F(RealWma, WavToWmaAt128kbps) {
    make_tone(dir_.File("ten.wav"), 10.0, 44100, 2);
    CommandResult r = vantrel({"convert", "-v", "--preset", "5", dir_.File("ten.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string out = dir_.File("ten.wma");
    expect_lossy_file(out, 10.0, 128000);
    // The file's size follows the bit rate (header and packets included).
    double size_rate = static_cast<double>(fs::file_size(out)) * 8 / 10.0;
    EXPECT_NEAR(size_rate, 128000, 128000 * 0.08);
    EXPECT_EQ(timing_lines_for(r.err, dir_.File("ten.wav")), 1) << r.err;
    EXPECT_TRUE(contains(r.err, dir_.File("ten.wav") + " -> " + out)) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: 1 track written, 0 failed, in ")) << r.err;
    EXPECT_EQ(files_left(), (std::vector<std::string>{"ten.wav", "ten.wma"}));
}

TEST_F(RealWma, MonoFlacAt48kHzWithSeveralValuesAndNonAsciiTags) {
    std::string flac = dir_.File("tagged.flac");
    make_tone(flac, 2.0, 48000, 1);
    set_vorbis_comments(flac, {{"ARTIST", {"Ann", "Bøb"}},
                               {"ALBUM", {"Ålbum 名"}},
                               {"TITLE", {"Tïtle"}},
                               {"DATE", {"2021"}},
                               {"GENRE", {"Jazz"}},
                               {"TRACKNUMBER", {"5"}},
                               {"COMMENT", {"Çà va"}}});
    fs::create_directory(dir_.Path() / "flac-out");
    std::string out = dir_.File("flac-out/renamed.wma");
    CommandResult r = vantrel({"convert", "-v", "-o", out, "--tag", "mood=calm", flac});
    ASSERT_EQ(r.status, 0) << r.err;
    expect_lossy_file(out, 2.0, 64000); // the default preset
    EXPECT_EQ(timing_lines_for(r.err, flac), 1) << r.err;

    // No value of a repeated field is lost.
    expect_tags(mutagen_tags(out), {{"Author", "Ann|Bøb"},
                                    {"WM/AlbumTitle", "Ålbum 名"},
                                    {"Title", "Tïtle"},
                                    {"WM/Year", "2021"},
                                    {"WM/Genre", "Jazz"},
                                    {"WM/TrackNumber", "5"},
                                    {"Description", "Çà va"},
                                    {"WM/Mood", "calm"}});
    expect_tags(probe_tags(out), {{"artist", "Ann"},
                                  {"album", "Ålbum 名"},
                                  {"title", "Tïtle"},
                                  {"genre", "Jazz"},
                                  {"WM/Mood", "calm"}});
}

TEST_F(RealWma, Mp3WithId3TagsAt192kbps) {
    std::string mp3 = dir_.File("tagged.mp3");
    make_tone(mp3, 3.0, 44100, 2, "-b:a 192k");
    run_python("from mutagen.id3 import ID3, TPE1, TIT2, TALB, TCON, TRCK, TDRC, COMM\n"
               "t = ID3()\nt.add(TPE1(encoding=3, text=['Zoë', 'Éd']))\n"
               "t.add(TIT2(encoding=3, text=['Sông ♪']))\nt.add(TALB(encoding=3, text=['Ærø']))\n"
               "t.add(TCON(encoding=3, text=['Folk']))\nt.add(TRCK(encoding=3, text=['7/12']))\n"
               "t.add(TDRC(encoding=3, text=['1999']))\n"
               "t.add(COMM(encoding=3, lang='eng', desc='', text=['Nice']))\nt.save(" +
               ShellQuote(mp3) + ")\n");
    fs::create_directory(dir_.Path() / "mp3-out");
    CommandResult r = vantrel({"convert", "-v", "--preset", "7", "-d", dir_.File("mp3-out"), mp3});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string out = dir_.File("mp3-out/tagged.wma");
    expect_lossy_file(out, 3.0, 192000);
    EXPECT_EQ(timing_lines_for(r.err, mp3), 1) << r.err;

    expect_tags(mutagen_tags(out), {{"Author", "Zoë|Éd"},
                                    {"Title", "Sông ♪"},
                                    {"WM/AlbumTitle", "Ærø"},
                                    {"WM/Genre", "Folk"},
                                    {"WM/TrackNumber", "7/12"},
                                    {"WM/Year", "1999"},
                                    {"Description", "Nice"}});
    expect_tags(probe_tags(out), {{"artist", "Zoë"}, {"title", "Sông ♪"}});
}

TEST_F(RealWma, ParallelTracksEachWriteTheirFileAndTimingLine) {
    std::vector<std::string> inputs{dir_.File("a.wav"), dir_.File("b.flac"), dir_.File("c.mp3"),
                                    dir_.File("d.wav")};
    make_tone(inputs[0], 1.5, 48000, 1);
    make_tone(inputs[1], 2.5, 44100, 2);
    make_tone(inputs[2], 1.0, 22050, 1, "-b:a 64k");
    make_tone(inputs[3], 0.7, 96000, 2);
    const double seconds[] = {1.5, 2.5, 1.0, 0.7};
    fs::create_directory(dir_.Path() / "out");
    std::vector<std::string> arguments{"convert",  "-v", "-j", "2",
                                       "--preset", "0",  "-d", dir_.File("out")};
    arguments.insert(arguments.end(), inputs.begin(), inputs.end());
    CommandResult r = vantrel(arguments);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: 4 tracks written, 0 failed, in ")) << r.err;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        std::string out = dir_.File("out/" + fs::path(inputs[i]).stem().string() + ".wma");
        expect_lossy_file(out, seconds[i], 32000);
        EXPECT_EQ(timing_lines_for(r.err, inputs[i]), 1) << r.err;
    }
}

} // namespace
} // namespace vantrel::testing
