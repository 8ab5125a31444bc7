// The rules of tags through the real component, each read back by mutagen and
// by TagLib (python3-taglib for its properties, kid3-cli for pictures and the
// attributes TagLib has no property for): --tag replaces a field under any of
// its names, totals show as "3/12", every picture arrives, folder art, Opus
// loudness, the names readers know, the order of values, and values that do not
// fit a header attribute never fail a track.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

#include "real_wma.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

class TagRules : public RealWma {
protected:
    void SetUp() override {
        RealWma::SetUp();
        if (IsSkipped())
            return;
        if (const std::string missing = readers_missing(); !missing.empty())
            GTEST_SKIP() << missing;
    }

    // A short FLAC tone with these comments.
    std::string flac(const std::string& name, const VorbisComments& comments) {
        const std::string path = dir_.File(name);
        make_tone(path, 0.5, 44100, 2);
        set_vorbis_comments(path, comments);
        return path;
    }

    // A small real image made by ffmpeg ("png" or "jpg").
    std::string image(const std::string& name, const std::string& size = "32x24") {
        const std::string path = dir_.File(name);
        CommandResult made =
            RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=s=" + size +
                       " -frames:v 1 -f image2 " + ShellQuote(path));
        EXPECT_EQ(made.status, 0) << made.err;
        return path;
    }

    static std::string wma_of(const std::string& input) {
        return fs::path(input).replace_extension(".wma").string();
    }
};

TEST_F(TagRules, TagReplacesAFieldWhateverItsSpellingAndRemovesOneGivenEmpty) {
    const std::string in = flac("a.flac", {{"DATE", {"2019-03-14"}},
                                           {"ALBUMARTIST", {"Aurora Quartet"}},
                                           {"ALBUM ARTIST", {"Aurora Quartet"}},
                                           {"COMMENT", {"old"}},
                                           {"TITLE", {"T"}}});
    CommandResult r = vantrel({"convert", "--tag", "year=1999", "--tag", "albumartist=VA", "--tag",
                               "Album_Artist=Various", "--tag", "description=", in});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(contains(r.err, "warning")) << r.err;
    const TagMap mutagen = mutagen_tags(wma_of(in));
    EXPECT_EQ(mutagen.at("WM/Year"), "1999");
    EXPECT_EQ(mutagen.at("WM/AlbumArtist"), "VA|Various");
    EXPECT_EQ(mutagen.count("Description"), 0u) << "comment and description are one field";
    const TagMap taglib = taglib_tags(wma_of(in));
    EXPECT_EQ(taglib.at("DATE"), "1999");
    EXPECT_EQ(taglib.at("ALBUMARTIST"), "VA|Various");
    EXPECT_EQ(taglib.at("TITLE"), "T");
    EXPECT_EQ(taglib.count("COMMENT"), 0u);
}

// `vantrel tags` lists each field with its attribute; --tag of every listed
// field arrives under that attribute.
TEST_F(TagRules, EveryListedFieldBecomesItsListedAttribute) {
    CommandResult listing = vantrel({"tags"});
    ASSERT_EQ(listing.status, 0) << listing.err;
    std::istringstream lines(listing.out);
    std::string line;
    std::vector<std::string> arguments{"convert", "-o", dir_.File("all.wma")};
    TagMap expected;
    while (std::getline(lines, line)) {
        // "  field name    Attribute    other, names": columns at 2, 30 and 66.
        if (!line.starts_with("  ") || line.size() < 31 || line[2] == ' ')
            continue;
        const std::string field = line.substr(2, line.find("  ", 2) - 2);
        std::string attribute = line.substr(30, line.find("  ", 30) - 30);
        if (attribute.ends_with(")")) // "WM/TrackNumber (as 3/12)": a total
            continue;
        const std::string value = field == "compilation"   ? "1"
                                  : field == "tracknumber" ? "3"
                                  : field == "discnumber"  ? "1"
                                                           : "v " + field;
        arguments.push_back("--tag");
        arguments.push_back(field + "=" + value);
        expected[attribute] = value;
    }
    ASSERT_GE(expected.size(), 60u) << listing.out;
    arguments.insert(arguments.end(), {"--tag", "totaltracks=12", "--tag", "totaldiscs=2"});
    expected["WM/TrackNumber"] = "3/12";
    expected["WM/PartOfSet"] = "1/2";
    expected["WM/IsCompilation"] = "True"; // a BOOL as mutagen prints it
    make_tone(dir_.File("all.wav"), 0.3, 44100, 2, "-bitexact -map_metadata -1");
    arguments.push_back(dir_.File("all.wav"));
    CommandResult r = vantrel(arguments);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(mutagen_tags(dir_.File("all.wma")), expected);
    const TagMap taglib = taglib_tags(dir_.File("all.wma"));
    EXPECT_EQ(taglib.at("TRACKNUMBER"), "3/12");
    EXPECT_EQ(taglib.at("CATALOGNUMBER"), "v catalog number");
    EXPECT_EQ(taglib.at("MUSICBRAINZ_RELEASETRACKID"), "v musicbrainz_releasetrackid");
    EXPECT_EQ(taglib.at("ALBUMARTISTSORT"), "v album artist sort");
}

TEST_F(TagRules, TotalsShowAsNumberOfTotalInEveryReader) {
    const std::string in = flac("t.flac", {{"TRACKNUMBER", {"3"}},
                                           {"TRACKTOTAL", {"12"}},
                                           {"DISCNUMBER", {"1/2"}},
                                           {"GENRE", {"Jazz", "Folk"}}});
    CommandResult r = vantrel({"convert", in});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string out = wma_of(in);
    const TagMap mutagen = mutagen_tags(out);
    EXPECT_EQ(mutagen.at("WM/TrackNumber"), "3/12");
    EXPECT_EQ(mutagen.at("WM/PartOfSet"), "1/2");
    EXPECT_EQ(mutagen.count("totaltracks"), 0u);
    EXPECT_EQ(mutagen.at("WM/Genre"), "Jazz|Folk");
    const TagMap taglib = taglib_tags(out);
    EXPECT_EQ(taglib.at("TRACKNUMBER"), "3/12");
    EXPECT_EQ(taglib.at("DISCNUMBER"), "1/2");
    EXPECT_EQ(taglib.at("GENRE"), "Jazz|Folk") << "the first value first";
    const TagMap kid3 = kid3_tags(out);
    EXPECT_EQ(kid3.at("Track Number"), "3/12");
    EXPECT_EQ(kid3.at("Genre"), "Jazz|Folk");
    EXPECT_EQ(probe_tags(out).at("track"), "3/12");
}

TEST_F(TagRules, EveryPictureArrivesWithItsTypeAndTheKindOfItsBytes) {
    const std::string png = image("front.png");
    const std::string jpeg = image("back.jpg");
    const std::string in = dir_.File("p.flac");
    make_tone(in, 0.5, 44100, 2);
    run_python("from mutagen.flac import FLAC, Picture\nf = FLAC(" + ShellQuote(in) +
               ")\n"
               "for kind, mime, desc, path in [(3, 'image/x-png', 'Frönt', " +
               ShellQuote(png) + "), (4, '', 'Bäck', " + ShellQuote(jpeg) +
               "), (8, 'image/pjpeg', '', " + ShellQuote(jpeg) +
               ")]:\n"
               "    p = Picture()\n"
               "    p.type, p.mime, p.desc, p.data = kind, mime, desc, open(path, 'rb').read()\n"
               "    f.add_picture(p)\n"
               "p = Picture()\n"
               "p.type, p.mime, p.desc, p.data = 0, 'image/png', 'notes', b'plain words'\n"
               "f.add_picture(p)\n"
               "f.save()\n");
    CommandResult r = vantrel({"convert", in});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: warning: " + in +
                                    ": a picture (Other, \"notes\") is no image of a kind "
                                    "players show (PNG, JPEG, GIF, BMP, WebP, TIFF); it was "
                                    "left out"))
        << r.err;
    const std::string out = wma_of(in);
    const std::string size_png = std::to_string(fs::file_size(png));
    const std::string size_jpeg = std::to_string(fs::file_size(jpeg));
    EXPECT_EQ(mutagen_pictures(out, png) + mutagen_pictures(out, jpeg),
              "3\timage/png\tFrönt\t" + size_png + "\tsame\n" + "4\timage/jpeg\tBäck\t" +
                  size_jpeg + "\tdifferent\n" + "8\timage/jpeg\t\t" + size_jpeg + "\tdifferent\n" +
                  "3\timage/png\tFrönt\t" + size_png + "\tdifferent\n" + "4\timage/jpeg\tBäck\t" +
                  size_jpeg + "\tsame\n" + "8\timage/jpeg\t\t" + size_jpeg + "\tsame\n");
    const TagMap kid3 = kid3_tags(out);
    EXPECT_EQ(kid3.at("Picture: Cover (front)"), "Frönt");
    EXPECT_EQ(kid3.at("Picture: Cover (back)"), "Bäck");
    EXPECT_EQ(kid3.count("Picture: Other"), 0u);
}

TEST_F(TagRules, FolderArtGoesToTracksWithoutAFrontCoverOfTheirOwn) {
    fs::create_directory(dir_.File("album"));
    const std::string folder_png = image("album/Folder.PNG");
    const std::string cover_jpeg = image("album/COVER.jpeg", "40x30");
    image("album/front.gif");
    const std::string bare = dir_.File("album/1.flac");
    const std::string own = dir_.File("album/2.flac");
    make_tone(bare, 0.3, 44100, 2);
    make_tone(own, 0.3, 44100, 2);
    const std::string own_png = image("own.png", "16x16");
    run_python("from mutagen.flac import FLAC, Picture\nf = FLAC(" + ShellQuote(own) +
               ")\np = Picture()\np.type, p.mime, p.data = 3, 'image/png', open(" +
               ShellQuote(own_png) + ", 'rb').read()\nf.add_picture(p)\nf.save()\n");
    CommandResult r = vantrel({"convert", dir_.File("album")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(contains(r.err, "warning")) << r.err;
    const std::string size = std::to_string(fs::file_size(cover_jpeg));
    EXPECT_EQ(mutagen_pictures(wma_of(bare), cover_jpeg), "3\timage/jpeg\t\t" + size + "\tsame\n")
        << "cover.* comes before folder.*; names in any case";
    EXPECT_EQ(mutagen_pictures(wma_of(own), own_png),
              "3\timage/png\t\t" + std::to_string(fs::file_size(own_png)) + "\tsame\n")
        << "a track's own front cover wins";
    EXPECT_TRUE(kid3_tags(wma_of(bare)).contains("Picture: Cover (front)"));

    r = vantrel({"convert", "-f", "--no-cover", dir_.File("album")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(mutagen_pictures(wma_of(bare), cover_jpeg), "");
    EXPECT_EQ(mutagen_pictures(wma_of(own), own_png), "");
    EXPECT_FALSE(kid3_tags(wma_of(bare)).contains("Picture: Cover (front)"));
}

TEST_F(TagRules, OpusLoudnessBecomesReplayGain) {
    const std::string in = dir_.File("o.opus");
    make_tone(in, 0.5, 48000, 2, "-c:a libopus");
    set_vorbis_comments(in, {{"R128_TRACK_GAIN", {"-1664"}}, {"R128_ALBUM_GAIN", {"256"}}});
    CommandResult r = vantrel({"convert", in});
    ASSERT_EQ(r.status, 0) << r.err;
    const TagMap mutagen = mutagen_tags(wma_of(in));
    EXPECT_EQ(mutagen.at("replaygain_track_gain"), "-1.50 dB");
    EXPECT_EQ(mutagen.at("replaygain_album_gain"), "+6.00 dB");
    EXPECT_EQ(mutagen.count("r128_track_gain"), 0u);
    const TagMap kid3 = kid3_tags(wma_of(in));
    EXPECT_EQ(kid3.at("replaygain_track_gain"), "-1.50 dB");
    EXPECT_EQ(kid3.at("replaygain_album_gain"), "+6.00 dB");
}

TEST_F(TagRules, MusicBrainzIdsAndCompilationGetTheNamesReadersKnow) {
    const std::string in = flac("mb.flac", {{"MUSICBRAINZ_TRACKID", {"t-1"}},
                                            {"MUSICBRAINZ_ALBUMID", {"a-1"}},
                                            {"MUSICBRAINZ_ARTISTID", {"r-1", "r-2"}},
                                            {"MUSICBRAINZ_RELEASEGROUPID", {"g-1"}},
                                            {"RELEASETYPE", {"album"}},
                                            {"COMPILATION", {"1"}},
                                            {"ALBUMARTISTSORT", {"Quartet, Aurora"}},
                                            {"ISRC", {"XX0000000001"}},
                                            {"BARCODE", {"0123456789"}},
                                            {"LABEL", {"Label"}},
                                            {"CATALOGNUMBER", {"CAT-1"}},
                                            {"MY_OWN", {"mine"}}});
    CommandResult r = vantrel({"convert", in});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string out = wma_of(in);
    const TagMap mutagen = mutagen_tags(out);
    EXPECT_EQ(mutagen.at("MusicBrainz/Track Id"), "t-1");
    EXPECT_EQ(mutagen.at("MusicBrainz/Artist Id"), "r-1|r-2");
    EXPECT_EQ(mutagen.at("WM/IsCompilation"), "True");
    EXPECT_EQ(mutagen.at("my_own"), "mine") << "other names stay custom";
    const TagMap taglib = taglib_tags(out);
    EXPECT_EQ(taglib.at("MUSICBRAINZ_TRACKID"), "t-1");
    EXPECT_EQ(taglib.at("MUSICBRAINZ_ALBUMID"), "a-1");
    EXPECT_EQ(taglib.at("MUSICBRAINZ_ARTISTID"), "r-1|r-2");
    EXPECT_EQ(taglib.at("MUSICBRAINZ_RELEASEGROUPID"), "g-1");
    EXPECT_EQ(taglib.at("RELEASETYPE"), "album");
    EXPECT_EQ(taglib.at("ALBUMARTISTSORT"), "Quartet, Aurora");
    EXPECT_EQ(taglib.at("ISRC"), "XX0000000001");
    EXPECT_EQ(taglib.at("BARCODE"), "0123456789");
    EXPECT_EQ(taglib.at("LABEL"), "Label");
    EXPECT_EQ(taglib.at("CATALOGNUMBER"), "CAT-1");
    EXPECT_EQ(kid3_tags(out).at("WM/IsCompilation"), "1");
}

TEST_F(TagRules, ANulInsideAValueIsReplacedWithAWarning) {
    const std::string in = dir_.File("n.flac");
    make_tone(in, 0.3, 44100, 2);
    run_python("from mutagen.flac import FLAC\nf = FLAC(" + ShellQuote(in) +
               ")\nf['TITLE'] = ['before\\x00after']\nf.save()\n");
    CommandResult r = vantrel({"convert", in});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: warning: " + in +
                                    ": the value of field \"title\" holds a NUL character, "
                                    "which a tag cannot hold; it was replaced with U+FFFD"))
        << r.err;
    EXPECT_EQ(mutagen_tags(wma_of(in)).at("Title"), "before\xEF\xBF\xBD"
                                                    "after");
    EXPECT_EQ(taglib_tags(wma_of(in)).at("TITLE"), "before\xEF\xBF\xBD"
                                                   "after");
}

// Lyrics of 100 KB and a --tag of 32,767 characters reach the file whole (in
// the metadata library); 32,766 characters still fit a header attribute. A
// device gets them cut with a warning. No track fails.
TEST_F(TagRules, ValuesLongerThanAnAttributeHoldsReachTheFileWhole) {
    std::string lyrics;
    while (lyrics.size() < 100000)
        lyrics += "Sång nummer " + std::to_string(lyrics.size()) + " ♪ ";
    const std::string longest(32766, 'x');
    const std::string one_more(32767, 'c');
    // The same lyrics, made by the script: its text is too long for a command line.
    const std::string in = dir_.File("l.flac");
    make_tone(in, 0.5, 44100, 2);
    run_python("from mutagen.flac import FLAC\nf = FLAC(" + ShellQuote(in) +
               ")\nlyrics = ''\n"
               "while len(lyrics.encode()) < 100000:\n"
               "    lyrics += 'Sång nummer %d ♪ ' % len(lyrics.encode())\n"
               "f['LYRICS'], f['TITLE'] = [lyrics], ['x' * 32766]\nf.save()\n");
    CommandResult r = vantrel({"convert", "--tag", "comment=" + one_more, in});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(contains(r.err, "warning")) << r.err;
    const std::string out = wma_of(in);
    const TagMap mutagen = mutagen_tags(out);
    EXPECT_TRUE(mutagen.at("WM/Lyrics") == lyrics);
    EXPECT_TRUE(mutagen.at("Description") == one_more);
    EXPECT_TRUE(mutagen.at("Title") == longest);
    const TagMap taglib = taglib_tags(out);
    EXPECT_TRUE(taglib.at("LYRICS") == lyrics);
    EXPECT_EQ(taglib.at("TITLE").size(), longest.size());

    r = vantrel({"convert", "--tag", "comment=" + one_more, "-o", "/dev/null", in});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "The value of tag \"lyrics\" is longer than a header attribute "
                                "holds; it was cut to 32766 characters."))
        << r.err;
}

// 65,537 genres (ID3v2.4 keeps them in one frame): the header holds 65,536
// values of one field; the rest are left out with a warning, the track is written.
TEST_F(TagRules, MoreValuesThanAFieldHoldsAreLeftOutWithAWarning) {
    const std::string in = dir_.File("g.mp3");
    make_tone(in, 0.3, 44100, 2, "-b:a 64k");
    run_python("from mutagen.id3 import ID3, TCON, TIT2\nt = ID3()\n"
               "t.add(TCON(encoding=3, text=['g%d' % i for i in range(65537)]))\n"
               "t.add(TIT2(encoding=3, text=['T']))\nt.save(" +
               ShellQuote(in) + ", v2_version=4)\n");
    CommandResult r = vantrel({"convert", in}, 600);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "vantrel: warning: " + in +
                                    ": field \"genre\" has 65537 values, more than a .wma file "
                                    "holds of one field (65536); the last 1 were left out"))
        << r.err;
    const std::string out = wma_of(in);
    const std::string genres = mutagen_tags(out).at("WM/Genre");
    EXPECT_EQ(count(genres, "|") + 1, 65536);
    EXPECT_TRUE(genres.starts_with("g0|g1|g2|")) << genres.substr(0, 40);
    EXPECT_TRUE(genres.ends_with("|g65535")) << "in order";
    const TagMap taglib = taglib_tags(out);
    EXPECT_EQ(count(taglib.at("GENRE"), "|") + 1, 65536);
    EXPECT_EQ(taglib.at("TITLE"), "T");
}

} // namespace
} // namespace vantrel::testing
