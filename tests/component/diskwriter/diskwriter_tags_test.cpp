// Track metadata written by the disk writer, read back from the file with an
// independent reader.
#include "writer_fixture.h"

namespace {

using namespace diskwriter_test;

std::vector<std::string> ValuesOf(const ReadBackFile& file, const std::string& name) {
    std::vector<std::string> values;
    const auto [first, last] = file.tags.equal_range(name);
    for (auto it = first; it != last; ++it)
        values.push_back(it->second);
    return values;
}

class TagsTest : public DiskWriterTest {
protected:
    void SetUp() override {
        if (!MutagenAvailable())
            GTEST_SKIP() << "python3-mutagen is not installed";
    }

    ReadBackFile Written(const std::string& name, track_handle* track) {
        WriteTrack(name, track, 22050);
        EXPECT_TRUE(host.console.Texts(console::severity_error).empty());
        return ReadWithMutagen(PathOf(name));
    }
};

TEST_F(TagsTest, HostFieldNamesBecomeWindowsMediaAttributes) {
    TrackDouble track({{"ARTIST", "The Artist"},
                       {"Date", "1999"},
                       {"album", "An Album"},
                       {"Genre", "Ambient"},
                       {"LYRICS", "la la"},
                       {"tracknumber", "7"},
                       {"TrackNo", "8"}});
    const ReadBackFile file = Written("mapped.wma", &track);
    ASSERT_TRUE(file.readable);
    EXPECT_EQ(track.lastFlags, 0u);
    EXPECT_EQ(ValuesOf(file, "Author"), std::vector<std::string>{"The Artist"});
    EXPECT_EQ(ValuesOf(file, "WM/Year"), std::vector<std::string>{"1999"});
    EXPECT_EQ(ValuesOf(file, "WM/AlbumTitle"), std::vector<std::string>{"An Album"});
    EXPECT_EQ(ValuesOf(file, "WM/Genre"), std::vector<std::string>{"Ambient"});
    EXPECT_EQ(ValuesOf(file, "WM/Lyrics"), std::vector<std::string>{"la la"});
    EXPECT_EQ(ValuesOf(file, "WM/TrackNumber"), (std::vector<std::string>{"7", "8"}))
        << "both names map to one attribute, which keeps both values in order";
    EXPECT_TRUE(ValuesOf(file, "ARTIST").empty());
    EXPECT_TRUE(ValuesOf(file, "Date").empty());
}

// The component passes these names through; the platform's writer stores
// them under the names players read.
TEST_F(TagsTest, OtherNamesReachTheFileUnderTheirStandardNames) {
    TrackDouble track({{"title", "A Title"},
                       {"comment", "some words"},
                       {"artist ", "with a blank"},
                       {"albumartist", "Various"},
                       {"totaltracks", "12"}});
    const ReadBackFile file = Written("unmapped.wma", &track);
    ASSERT_TRUE(file.readable);
    EXPECT_EQ(ValuesOf(file, "Title"), std::vector<std::string>{"A Title"});
    EXPECT_EQ(ValuesOf(file, "Description"), std::vector<std::string>{"some words"});
    EXPECT_EQ(ValuesOf(file, "artist "), std::vector<std::string>{"with a blank"});
    EXPECT_EQ(ValuesOf(file, "WM/AlbumArtist"), std::vector<std::string>{"Various"});
    EXPECT_EQ(ValuesOf(file, "totaltracks"), std::vector<std::string>{"12"});
    EXPECT_TRUE(ValuesOf(file, "Author").empty());
    EXPECT_TRUE(ValuesOf(file, "title").empty());
}

TEST_F(TagsTest, NonAsciiNamesAndValuesAndEmptyValuesSurvive) {
    TrackDouble track({{"\xD0\x9D\xD0\xB0\xD0\xB7\xD0\xB2\xD0\xB0\xD0\xBD\xD0\xB8\xD0\xB5",
                        "\xD0\xB7\xD0\xBD\xD0\xB0\xD1\x87\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5"},
                       {"artist", "\xC3\x86r\xC3\xB8sk\xC3\xB8"
                                  "bing \xE2\x98\x83 \xF0\x9D\x84\x9E"},
                       {"ART\xC4\xB0ST", "dotted"},
                       {"mood", ""}});
    const ReadBackFile file = Written("unicode.wma", &track);
    ASSERT_TRUE(file.readable);
    EXPECT_EQ(ValuesOf(file, "\xD0\x9D\xD0\xB0\xD0\xB7\xD0\xB2\xD0\xB0\xD0\xBD\xD0\xB8\xD0\xB5"),
              std::vector<std::string>{
                  "\xD0\xB7\xD0\xBD\xD0\xB0\xD1\x87\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5"});
    EXPECT_EQ(ValuesOf(file, "Author"),
              std::vector<std::string>{"\xC3\x86r\xC3\xB8sk\xC3\xB8"
                                       "bing \xE2\x98\x83 \xF0\x9D\x84\x9E"});
    EXPECT_EQ(ValuesOf(file, "ART\xC4\xB0ST"), std::vector<std::string>{"dotted"})
        << "only ASCII letters fold";
    EXPECT_EQ(ValuesOf(file, "WM/Mood"), std::vector<std::string>{""});
}

// A value longer than an attribute holds is cut (never inside a surrogate
// pair) with a warning naming the field; the track is written.
TEST_F(TagsTest, AnOverlongValueIsCutWithAWarningAndTheTrackWritten) {
    std::string lyrics(32766, 'a');
    lyrics += "\xF0\x9D\x84\x9E"; // one character of two UTF-16 units, across the limit
    lyrics += std::string(5000, 'b');
    // 32767 units and a terminator are one byte more than a 16-bit length holds.
    TrackDouble track({{"lyrics", lyrics}, {"artist", "Someone"}, {"c", std::string(32767, 'c')}});
    WriteTrack("long.wma", &track, 22050);
    EXPECT_TRUE(host.console.Texts(console::severity_error).empty());
    const auto warnings = host.console.Texts(console::severity_warning);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[0].find("\"lyrics\""), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[1].find("\"c\""), std::string::npos) << warnings[1];
    const ReadBackFile file = ReadWithMutagen(PathOf("long.wma"));
    ASSERT_TRUE(file.readable);
    EXPECT_EQ(ValuesOf(file, "WM/Lyrics"), std::vector<std::string>{std::string(32766, 'a')});
    EXPECT_EQ(ValuesOf(file, "c"), std::vector<std::string>{std::string(32766, 'c')});
    EXPECT_EQ(ValuesOf(file, "Author"), std::vector<std::string>{"Someone"});
}

TEST_F(TagsTest, ATrackWithoutSetInfoKeepsThePreviousTracksTags) {
    TrackDouble track({{"artist", "First"}});
    Written("first.wma", &track);
    ASSERT_TRUE(writer->open(Location("second.wma").c_str(), 0, 0, 0, 0, 0));
    EXPECT_TRUE(FeedTone(*writer, 22050, 2, 44100));
    writer->close();
    EXPECT_EQ(ValuesOf(ReadWithMutagen(PathOf("second.wma")), "Author"),
              std::vector<std::string>{"First"});

    const ReadBackFile cleared = Written("third.wma", nullptr);
    ASSERT_TRUE(cleared.readable);
    EXPECT_TRUE(ValuesOf(cleared, "Author").empty()) << "set_info(null) empties the record";
}

TEST_F(TagsTest, InformationGivenAfterTheFirstChunkIsNotWritten) {
    TrackDouble early({{"artist", "Early"}});
    TrackDouble late({{"artist", "Late"}});
    ASSERT_TRUE(writer->open(Location("late.wma").c_str(), 0, 0, 0, 0, 0));
    ASSERT_TRUE(writer->set_info(&early));
    EXPECT_TRUE(FeedChunk(*writer, 4096, 2, 44100));
    ASSERT_TRUE(writer->set_info(&late));
    EXPECT_TRUE(FeedChunk(*writer, 4096, 2, 44100));
    writer->close();
    EXPECT_EQ(ValuesOf(ReadWithMutagen(PathOf("late.wma")), "Author"),
              std::vector<std::string>{"Early"});
}

} // namespace
