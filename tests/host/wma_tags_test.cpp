// Tags through the real component, from every kind of source: one round trip
// per source format (FLAC, MP3 with ID3v2.3 and ID3v2.4, Ogg Vorbis, M4A, WAV)
// reads every field back with mutagen and ffprobe, several values in their
// order, ReplayGain as text and the cover picture byte for byte. Files without
// tags, with a large cover, and written to a device convert too.
#include <filesystem>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

#include "real_wma.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

// What each source carries, in the tagging script's variables (`path` and
// `cover` are set before).
const char* const kValues = "title = 'Tïtle ♪'\n"
                            "artists = ['Ann', 'Bøb']\n"
                            "album = 'Ålbum 名'\n"
                            "album_artist = 'Various Ärtists'\n"
                            "composer = 'Cömposer'\n"
                            "comment = 'Çà va'\n"
                            "genres = ['Jazz', 'Folk']\n"
                            "gain, peak = '-6.50 dB', '0.988553'\n"
                            // The same values as ID3v2 frames, for MP3 and WAV.
                            R"(
from mutagen.id3 import TIT2, TPE1, TALB, TPE2, TCOM, COMM, TCON, TDRC, TPOS, TRCK, TXXX, APIC
def id3_frames(encoding):
    frames = [TIT2(text=[title]), TPE1(text=artists), TALB(text=[album]),
              TPE2(text=[album_artist]), TCOM(text=[composer]),
              COMM(lang='eng', desc='', text=[comment]), TCON(text=genres), TDRC(text=['2021']),
              TPOS(text=['1/2']), TRCK(text=['3/12']),
              TXXX(desc='REPLAYGAIN_TRACK_GAIN', text=[gain]),
              TXXX(desc='REPLAYGAIN_TRACK_PEAK', text=[peak]),
              APIC(mime='image/png', type=3, desc='Front ✓', data=open(cover, 'rb').read())]
    for frame in frames:
        frame.encoding = encoding
    return frames
)";

// Every header attribute of the converted file, values in order.
const TagMap kExpected{
    {"Title", "Tïtle ♪"},
    {"Author", "Ann|Bøb"},
    {"WM/AlbumTitle", "Ålbum 名"},
    {"WM/AlbumArtist", "Various Ärtists"},
    {"WM/Composer", "Cömposer"},
    {"Description", "Çà va"},
    {"WM/PartOfSet", "1/2"},
    {"WM/TrackNumber", "3/12"},
    {"WM/Genre", "Jazz|Folk"},
    {"WM/Year", "2021"},
    {"replaygain_track_gain", "-6.50 dB"},
    {"replaygain_track_peak", "0.988553"},
    {"WM/Picture", "[binary data (PICTURE bytes)]"},
};

struct Source {
    const char* name;
    const char* file;
    const char* encoding;    // ffmpeg options for the tone
    const char* script;      // tags `path` with the values and the picture at `cover`
    const char* description; // the picture's description as the format keeps it
};

const Source kSources[] = {
    {"Flac", "in.flac", "", R"(
from mutagen.flac import FLAC, Picture
f = FLAC(path)
f['TITLE'], f['ARTIST'], f['ALBUM'], f['ALBUMARTIST'] = [title], artists, [album], [album_artist]
f['COMPOSER'], f['COMMENT'], f['GENRE'], f['DATE'] = [composer], [comment], genres, ['2021']
f['DISCNUMBER'], f['TOTALDISCS'], f['TRACKNUMBER'], f['TOTALTRACKS'] = ['1'], ['2'], ['3'], ['12']
f['REPLAYGAIN_TRACK_GAIN'], f['REPLAYGAIN_TRACK_PEAK'] = [gain], [peak]
p = Picture()
p.type, p.mime, p.desc, p.data = 3, 'image/png', 'Front ✓', open(cover, 'rb').read()
f.add_picture(p)
f.save()
)",
     "Front ✓"},
    {"Mp3Id3v24", "in.mp3", "-b:a 128k", R"(
from mutagen.id3 import ID3
t = ID3()
for frame in id3_frames(3): # UTF-8, several values apart
    t.add(frame)
t.save(path, v2_version=4)
)",
     "Front ✓"},
    {"Mp3Id3v23", "in.mp3", "-b:a 128k", R"(
from mutagen.id3 import ID3
t = ID3()
for frame in id3_frames(1): # UTF-16; the date becomes TYER
    t.add(frame)
t.save(path, v2_version=3, v23_sep=None) # several values apart, as ID3v2.4 keeps them
)",
     "Front ✓"},
    {"OggVorbis", "in.ogg", "-c:a libvorbis", R"(
import base64
from mutagen.oggvorbis import OggVorbis
from mutagen.flac import Picture
f = OggVorbis(path)
f['title'], f['artist'], f['album'], f['albumartist'] = [title], artists, [album], [album_artist]
f['composer'], f['comment'], f['genre'], f['date'] = [composer], [comment], genres, ['2021']
f['discnumber'], f['disctotal'], f['tracknumber'], f['tracktotal'] = ['1'], ['2'], ['3'], ['12']
f['replaygain_track_gain'], f['replaygain_track_peak'] = [gain], [peak]
p = Picture()
p.type, p.mime, p.desc, p.data = 3, 'image/png', 'Front ✓', open(cover, 'rb').read()
f['metadata_block_picture'] = [base64.b64encode(p.write()).decode()]
f.save()
)",
     "Front ✓"},
    {"M4a", "in.m4a", "-c:a aac", R"(
from mutagen.mp4 import MP4, MP4Cover
f = MP4(path)
f['\xa9nam'], f['\xa9ART'], f['\xa9alb'], f['aART'] = [title], artists, [album], [album_artist]
f['\xa9wrt'], f['\xa9cmt'], f['\xa9gen'], f['\xa9day'] = [composer], [comment], genres, ['2021']
f['disk'], f['trkn'] = [(1, 2)], [(3, 12)]
f['----:com.apple.iTunes:replaygain_track_gain'] = [gain.encode()]
f['----:com.apple.iTunes:replaygain_track_peak'] = [peak.encode()]
f['covr'] = [MP4Cover(open(cover, 'rb').read(), imageformat=MP4Cover.FORMAT_PNG)]
f.save()
)",
     ""},
    // An "id3 " chunk, in a file without the INFO list that FFmpeg would prefer.
    {"Wav", "in.wav", "-bitexact -map_metadata -1", R"(
from mutagen.wave import WAVE
w = WAVE(path)
w.add_tags()
for frame in id3_frames(3):
    w.tags.add(frame)
w.save()
)",
     "Front ✓"},
};

void PrintTo(const Source& source, std::ostream* out) {
    *out << source.name;
}

class Tags : public RealWma, public ::testing::WithParamInterface<Source> {
protected:
    // A small real picture, made by ffmpeg.
    std::string make_cover() {
        std::string cover = dir_.File("cover.png");
        CommandResult made = RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=s=48x32 "
                                        "-frames:v 1 " +
                                        ShellQuote(cover));
        EXPECT_EQ(made.status, 0) << made.err;
        return cover;
    }
};

// ffmpeg decodes the whole file, the picture included, without a word.
void expect_clean_decode(const std::string& path) {
    CommandResult r = RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -f null -");
    EXPECT_EQ(r.status, 0) << path;
    EXPECT_EQ(r.err, "") << path;
}

TEST_P(Tags, EveryFieldReachesTheFile) {
    const Source& source = GetParam();
    std::string input = dir_.File(source.file);
    std::string cover = make_cover();
    make_tone(input, 1.0, 44100, 2, source.encoding);
    run_python(std::string("path, cover = ") + "'" + input + "', '" + cover + "'\n" + kValues +
               source.script);
    CommandResult r = vantrel({"convert", input});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(contains(r.err, "warning")) << r.err;
    std::string out = fs::path(input).replace_extension(".wma").string();

    TagMap expected = kExpected;
    std::string picture_size = std::to_string(fs::file_size(cover));
    std::string description = source.description;
    std::size_t description_units = 0; // UTF-16 units of these characters: one each
    for (char c : description)
        description_units += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    // The type, the data's length, MIME type and description with terminators, the data.
    std::size_t value_size = 1 + 4 + 2 * (9 + 1) + 2 * (description_units + 1) +
                             static_cast<std::size_t>(fs::file_size(cover));
    expected["WM/Picture"] = "[binary data (" + std::to_string(value_size) + " bytes)]";
    EXPECT_EQ(mutagen_tags(out), expected);
    EXPECT_EQ(mutagen_pictures(out, cover),
              "3\timage/png\t" + description + "\t" + picture_size + "\tsame\n");

    TagMap probed = probe_tags(out);
    EXPECT_EQ(probed["title"], "Tïtle ♪");
    EXPECT_EQ(probed["artist"], "Ann") << "readers of one value see the first";
    EXPECT_EQ(probed["album"], "Ålbum 名");
    EXPECT_EQ(probed["album_artist"], "Various Ärtists");
    EXPECT_EQ(probed["composer"], "Cömposer");
    EXPECT_EQ(probed["comment"], "Çà va");
    EXPECT_EQ(probed["genre"], "Folk") << "FFmpeg keeps the last value of a WM/ name";
    EXPECT_EQ(probed["disc"], "1/2");
    EXPECT_EQ(probed["track"], "3/12");
    EXPECT_EQ(probed["replaygain_track_gain"], "-6.50 dB");
    expect_clean_decode(out);
    EXPECT_EQ(files_left(), (std::vector<std::string>{"cover.png", source.file,
                                                      fs::path(out).filename().string()}));
}

INSTANTIATE_TEST_SUITE_P(Sources, Tags, ::testing::ValuesIn(kSources),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RealWma, AFileWithoutTagsConverts) {
    std::string input = dir_.File("bare.wav");
    make_tone(input, 1.0, 44100, 2, "-bitexact -map_metadata -1");
    CommandResult r = vantrel({"convert", input});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string out = dir_.File("bare.wma");
    EXPECT_EQ(mutagen_tags(out), TagMap{});
    EXPECT_EQ(probe(out, "stream=codec_name"), "wmav2\n");
    expect_clean_decode(out);
}

TEST_F(RealWma, AFiveMegabyteCoverConvertsWhole) {
    std::string cover = dir_.File("big.png");
    CommandResult made =
        RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i "
                   "'nullsrc=s=1400x1300,geq=random(1)*255:random(2)*255:random(3)*255' "
                   "-frames:v 1 -pix_fmt rgb24 " +
                   ShellQuote(cover));
    ASSERT_EQ(made.status, 0) << made.err;
    ASSERT_GT(fs::file_size(cover), 4u << 20);
    std::string input = dir_.File("big.flac");
    make_tone(input, 1.0, 44100, 2);
    run_python("from mutagen.flac import FLAC, Picture\nf = FLAC('" + input +
               "')\np = Picture()\np.type, p.mime, p.data = 3, 'image/png', open('" + cover +
               "', 'rb').read()\nf.add_picture(p)\nf['TITLE'] = ['Big']\nf.save()\n");
    CommandResult r = vantrel({"convert", input});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string out = dir_.File("big.wma");
    EXPECT_EQ(mutagen_pictures(out, cover),
              "3\timage/png\t\t" + std::to_string(fs::file_size(cover)) + "\tsame\n");
    EXPECT_EQ(mutagen_tags(out)["Title"], "Big");
    EXPECT_EQ(probe_tags(out)["title"], "Big");
    EXPECT_NEAR(decoded_seconds(out), 1.0, 0.1);
    expect_clean_decode(out);
    EXPECT_EQ(files_left(), (std::vector<std::string>{"big.flac", "big.png", "big.wma"}));

    r = vantrel({"convert", "-f", "--no-cover", input});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(mutagen_pictures(out, cover), "") << "--no-cover leaves the picture out";
    EXPECT_EQ(mutagen_tags(out)["Title"], "Big");
}

TEST_F(RealWma, ACoverThatCannotBeAddedIsAWarningNotAFailure) {
    std::string cover = dir_.File("cover.bin");
    run_python("open('" + cover +
               "', 'wb').write(b'\\xff\\xd8\\xff' + bytes(range(256)) * 8192)\n"); // 2 MB
    std::string input = dir_.File("in.flac");
    make_tone(input, 1.0, 44100, 2);
    run_python("from mutagen.flac import FLAC, Picture\nf = FLAC('" + input +
               "')\np = Picture()\np.type, p.mime, p.data = 3, 'image/jpeg', open('" + cover +
               "', 'rb').read()\nf.add_picture(p)\nf.save()\n");
    // Files may not grow past 1 MB (dash counts 512-byte blocks): the track's
    // own file fits, the one with the picture does not.
    std::string command =
        "trap '' XFSZ; ulimit -f 2048; XDG_CONFIG_HOME=" + ShellQuote(dir_.File("config")) + " " +
        ShellQuote(vantrel_program()) + " convert " + ShellQuote(input);
    CommandResult r = RunCommand(command);
    EXPECT_EQ(r.status, 0) << r.err;
    std::string out = dir_.File("in.wma");
    EXPECT_TRUE(contains(r.err, "vantrel: warning: " + out +
                                    ": the cover picture was not added: "
                                    "the file could not be written again"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "1 track written, 0 failed")) << r.err;
    EXPECT_EQ(mutagen_pictures(out, cover), "");
    EXPECT_NEAR(decoded_seconds(out), 1.0, 0.1);
    EXPECT_EQ(files_left(), (std::vector<std::string>{"cover.bin", "in.flac", "in.wma"}));
}

TEST_F(RealWma, ADeviceGetsTheAudioWithoutACover) {
    std::string input = dir_.File("in.flac");
    std::string cover = dir_.File("cover.bin");
    run_python("open('" + cover + "', 'wb').write(b'\\x89PNG\\r\\n\\x1a\\n' + bytes(100))\n");
    make_tone(input, 0.5, 44100, 2);
    run_python("from mutagen.flac import FLAC, Picture\nf = FLAC('" + input +
               "')\np = Picture()\np.type, p.mime, p.data = 3, 'image/png', open('" + cover +
               "', 'rb').read()\nf.add_picture(p)\nf.save()\n");
    CommandResult r = vantrel({"convert", "-o", "/dev/null", input});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: /dev/null: no cover picture (not a regular file)"))
        << r.err;
    EXPECT_FALSE(contains(r.err, "warning")) << r.err;
}

} // namespace
} // namespace vantrel::testing
