#include <cstdint>
#include <gtest/gtest.h>
#include <string>

#include "convert/cover_picture.h"
#include "decode/attached_picture.h"
#include "decode/mp4_items.h"
#include "decode/replay_gain.h"
#include "decode/tag_normalizer.h"
#include "decode/vorbis_comments.h"

extern "C" {
#include <libavutil/replaygain.h>
}

#include <climits>

namespace vantrel {
namespace {

TEST(TagNormalizer, UsesThePlayersLowerCaseFieldNames) {
    TrackTags t = normalize_tags({{"ARTIST", "A"},
                                  {"Album", "B"},
                                  {"album_artist", "C"},
                                  {"ALBUMARTIST", "D"},
                                  {"TITLE", "T"},
                                  {"date", "2001"},
                                  {"GENRE", "G"},
                                  {"comment", "c"}});
    EXPECT_EQ(t.meta, (TagList{{"artist", "A"},
                               {"album", "B"},
                               {"album artist", "C"},
                               {"album artist", "D"},
                               {"title", "T"},
                               {"date", "2001"},
                               {"genre", "G"},
                               {"comment", "c"}}));
}

TEST(TagNormalizer, SplitsTrackAndDiscNumbersFromTheirTotals) {
    TrackTags t = normalize_tags({{"track", "3/12"}, {"disc", "1/2"}, {"TRACKTOTAL", "12"}});
    EXPECT_EQ(t.meta, (TagList{{"tracknumber", "3"},
                               {"totaltracks", "12"},
                               {"discnumber", "1"},
                               {"totaldiscs", "2"}}));
    EXPECT_EQ(normalize_tags({{"TRACKNUMBER", "7"}}).meta, (TagList{{"tracknumber", "7"}}));
    EXPECT_EQ(normalize_tags({{"track", "/9"}}).meta, (TagList{{"totaltracks", "9"}}));
}

TEST(TagNormalizer, KeepsRepeatedFieldsInOrder) {
    TrackTags t = normalize_tags({{"ARTIST", "Ann"}, {"TITLE", "x"}, {"ARTIST", "Bob;Carl"}});
    EXPECT_EQ(t.meta, (TagList{{"artist", "Ann"}, {"title", "x"}, {"artist", "Bob;Carl"}}));
}

TEST(TagNormalizer, LeavesOutContainerInternalsAndEmptyValues) {
    TrackTags t = normalize_tags({{"encoder", "Lavf59"},
                                  {"major_brand", "M4A"},
                                  {"handler_name", "SoundHandler"},
                                  {"language", "und"},
                                  {"language", "eng"},
                                  {"title", ""},
                                  {"METADATA_BLOCK_PICTURE", "AAAA"},
                                  {"composer", "Ünïcødé 名"}});
    EXPECT_EQ(t.meta, (TagList{{"language", "eng"}, {"composer", "Ünïcødé 名"}}));
}

TEST(TagNormalizer, ReplayGainGoesToTechnicalInformation) {
    TrackTags t = normalize_tags({{"REPLAYGAIN_TRACK_GAIN", "-6.50 dB"}, {"artist", "A"}});
    EXPECT_EQ(t.meta, (TagList{{"artist", "A"}}));
    EXPECT_EQ(t.info, (TagList{{"replaygain_track_gain", "-6.50 dB"}}));
}

TEST(TagNormalizer, SplitsValuesFfmpegJoined) {
    EXPECT_EQ(split_joined_values({{"artist", "A;B"}, {"title", "T"}, {"x", ";"}}),
              (TagList{{"artist", "A"}, {"artist", "B"}, {"title", "T"}, {"x", ""}, {"x", ""}}));
}

TEST(TagNormalizer, AYearBesideADateIsNotHandedOver) {
    EXPECT_EQ(drop_restated_fields({{"YEAR", "1999"},
                                    {"artist", "Ann"},
                                    {"Date", "1999-05-01"},
                                    {"artist", "Bøb"},
                                    {"year", "1999"}}),
              (TagList{{"artist", "Ann"}, {"Date", "1999-05-01"}, {"artist", "Bøb"}}));
    EXPECT_EQ(drop_restated_fields({{"year", "1999"}, {"years", "x"}}),
              (TagList{{"year", "1999"}, {"years", "x"}}))
        << "a year alone stays";
    EXPECT_EQ(drop_restated_fields({}), TagList{});
}

TEST(TagNormalizer, CommonSpellingsBecomeThePlayersNames) {
    TrackTags t = normalize_tags({{"ALBUMARTISTSORT", "A"},
                                  {"album-sort", "B"},
                                  {"TBPM", "120"},
                                  {"TSRC", "XX0000000000"},
                                  {"ENCODED-BY", "me"}});
    EXPECT_EQ(t.meta, (TagList{{"album artist sort", "A"},
                               {"album sort", "B"},
                               {"bpm", "120"},
                               {"isrc", "XX0000000000"},
                               {"encoded by", "me"}}));
}

TEST(TagOverrides, ReplaceTheFieldIgnoringCaseAndMayAddSeveralValues) {
    TagList meta{{"artist", "Old"}, {"title", "T"}, {"ARTIST", "Older"}, {"comment", "c"}};
    apply_tag_overrides(
        meta, {{"Artist", "New 1"}, {"artist", "New 2"}, {"comment", ""}, {"mood", "calm"}});
    EXPECT_EQ(
        meta,
        (TagList{{"title", "T"}, {"Artist", "New 1"}, {"artist", "New 2"}, {"mood", "calm"}}));
}

TEST(ReplayGain, SideDataBecomesTheUsualTextFields) {
    AVReplayGain gain{};
    gain.track_gain = -650000; // microbels
    gain.track_peak = 98855;   // 1/100000 of full scale
    gain.album_gain = 123456;
    gain.album_peak = 100000;
    EXPECT_EQ(replay_gain_fields(gain), (TagList{{"replaygain_track_gain", "-6.50 dB"},
                                                 {"replaygain_track_peak", "0.988550"},
                                                 {"replaygain_album_gain", "+1.23 dB"},
                                                 {"replaygain_album_peak", "1.000000"}}));
    gain.album_gain = INT32_MIN; // unknown
    gain.album_peak = 0;
    gain.track_gain = 0; // a known gain of zero
    EXPECT_EQ(replay_gain_fields(gain), (TagList{{"replaygain_track_gain", "+0.00 dB"},
                                                 {"replaygain_track_peak", "0.988550"}}));
}

TEST(ReplayGain, TagsWinOverSideData) {
    TagList fields{{"replaygain_track_gain", "-6.5 dB"}};
    add_missing_fields(
        fields, {{"replaygain_track_gain", "-6.50 dB"}, {"replaygain_track_peak", "0.900000"}});
    EXPECT_EQ(fields, (TagList{{"replaygain_track_gain", "-6.5 dB"},
                               {"replaygain_track_peak", "0.900000"}}));
}

TEST(CoverPicture, PictureTypesByFfmpegsNames) {
    EXPECT_EQ(picture_type_of("Cover (front)"), 3);
    EXPECT_EQ(picture_type_of("Cover (back)"), 4);
    EXPECT_EQ(picture_type_of("Publisher/Studio logotype"), 20);
    EXPECT_EQ(picture_type_of("Other"), 0);
    EXPECT_EQ(picture_type_of(""), 3) << "MP4 cover art has no type";
    EXPECT_EQ(picture_type_of("cover (front)"), 0) << "unknown names are Other";
}

TEST(CoverPicture, TheWmPictureLayout) {
    AttachedPicture picture{4, "image/png", "Bäck", {0x89, 'P', 'N', 'G', 0}};
    std::vector<std::uint8_t> expected{4, 5, 0, 0, 0}; // the type, the data's length
    for (char16_t unit : std::u16string_view(u"image/png\0Bäck\0", 15)) {
        expected.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        expected.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    expected.insert(expected.end(), {0x89, 'P', 'N', 'G', 0});
    EXPECT_EQ(wm_picture_value(picture), expected);
}

std::string be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

std::string box(const std::string& type, const std::string& body) {
    return be32(static_cast<std::uint32_t>(8 + body.size())) + type + body;
}

std::string text_data(const std::string& text) {
    return box("data", be32(1) + be32(0) + text); // UTF-8, no locale
}

Mp4TextItems parse_items(const std::string& list) {
    return parse_mp4_item_list(reinterpret_cast<const std::uint8_t*>(list.data()), list.size());
}

TEST(Mp4Items, EveryValueOfAnItemWithFfmpegsKey) {
    const std::string list =
        box("\xA9"
            "ART",
            text_data("Ann") + text_data("Bøb")) +
        box("----", box("mean", be32(0) + "com.apple.iTunes") +
                        box("name", be32(0) + "replaygain_track_gain") + text_data("-1.00 dB")) +
        box("trkn", box("data", be32(0) + be32(0) + std::string("\0\0\0\3\0\x0C\0\0", 8))) +
        box("xyzw", text_data("unknown"));
    EXPECT_EQ(parse_items(list),
              (Mp4TextItems{{"artist", {"Ann", "Bøb"}}, {"replaygain_track_gain", {"-1.00 dB"}}}));
    // A box longer than what is left ends the list; what came before stays.
    EXPECT_EQ(parse_items(list.substr(0, list.size() - 3)),
              (Mp4TextItems{{"artist", {"Ann", "Bøb"}}, {"replaygain_track_gain", {"-1.00 dB"}}}));
    EXPECT_EQ(parse_items(list.substr(0, 20)), Mp4TextItems{});
}

std::string le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

std::string comment_block(const std::vector<std::string>& entries) {
    std::string block = le32(6) + "vendor" + le32(static_cast<std::uint32_t>(entries.size()));
    for (const std::string& e : entries)
        block += le32(static_cast<std::uint32_t>(e.size())) + e;
    return block;
}

std::optional<TagList> parse(const std::string& block) {
    return parse_vorbis_comment_block(reinterpret_cast<const std::uint8_t*>(block.data()),
                                      block.size());
}

TEST(VorbisComments, KeepsEachValueApartEvenWithSemicolons) {
    auto tags = parse(comment_block({"ARTIST=Ann;X", "ARTIST=Bob", "TITLE=Tïtle=2", "junk"}));
    ASSERT_TRUE(tags);
    EXPECT_EQ(*tags, (TagList{{"ARTIST", "Ann;X"}, {"ARTIST", "Bob"}, {"TITLE", "Tïtle=2"}}));
}

TEST(VorbisComments, ADamagedBlockGivesNothing) {
    std::string good = comment_block({"ARTIST=Ann", "TITLE=T"});
    EXPECT_FALSE(parse(good.substr(0, good.size() - 1)));
    EXPECT_FALSE(parse(le32(100) + "short"));
    EXPECT_FALSE(parse(le32(0) + le32(5) + le32(0xFFFFFFF0u) + "x"));
    EXPECT_TRUE(parse(le32(0) + le32(0)));
}

} // namespace
} // namespace vantrel
