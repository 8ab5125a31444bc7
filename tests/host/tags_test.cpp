#include <cctype>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>

#include "convert/cover_picture.h"
#include "decode/attached_picture.h"
#include "decode/id3v2_text_frames.h"
#include "decode/mp4_items.h"
#include "decode/picture_blocks.h"
#include "decode/replay_gain.h"
#include "decode/tag_fields.h"
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

TEST(TagNormalizer, AYearBesideADateIsLeftOut) {
    EXPECT_EQ(normalize_tags({{"YEAR", "1999"},
                              {"artist", "Ann"},
                              {"Date", "1999-05-01"},
                              {"artist", "Bøb"},
                              {"year", "1999"}})
                  .meta,
              (TagList{{"artist", "Ann"}, {"date", "1999-05-01"}, {"artist", "Bøb"}}));
    EXPECT_EQ(normalize_tags({{"year", "1999"}, {"years", "x"}}).meta,
              (TagList{{"date", "1999"}, {"years", "x"}}))
        << "a year alone is the date";
    EXPECT_EQ(normalize_tags({{"ORIGINALYEAR", "1970"}, {"ORIGINALDATE", "1970-02-03"}}).meta,
              (TagList{{"original date", "1970-02-03"}}));
}

TEST(TagNormalizer, CommonSpellingsBecomeThePlayersNames) {
    TrackTags t = normalize_tags({{"ALBUMARTISTSORT", "A"},
                                  {"album-sort", "B"},
                                  {"TBPM", "120"},
                                  {"TSRC", "XX0000000000"},
                                  {"ENCODED-BY", "me"},
                                  {"sort_album_artist", "C"},
                                  {"lyrics-eng", "la la"},
                                  {"LABEL", "L"},
                                  {"publisher", "P"},
                                  {"CATALOGNUMBER", "CAT-1"},
                                  {"BARCODE", "0123"},
                                  {"COMPILATION", "1"},
                                  {"MusicBrainz Album Id", "m-1"},
                                  {"MUSICBRAINZ_TRACKID", "m-2"},
                                  {"Acoustid Id", "a-1"},
                                  {"WM/Year", "2001"}});
    EXPECT_EQ(t.meta, (TagList{{"album artist sort", "A"},
                               {"album sort", "B"},
                               {"bpm", "120"},
                               {"isrc", "XX0000000000"},
                               {"encoded by", "me"},
                               {"album artist sort", "C"},
                               {"lyrics", "la la"},
                               {"label", "L"},
                               {"label", "P"},
                               {"catalog number", "CAT-1"},
                               {"barcode", "0123"},
                               {"compilation", "1"},
                               {"musicbrainz_albumid", "m-1"},
                               {"musicbrainz_trackid", "m-2"},
                               {"acoustid_id", "a-1"},
                               {"date", "2001"}}));
}

TEST(TagNormalizer, OpusLoudnessBecomesReplayGainUnlessThereIsSome) {
    // Q7.8 dB to -23 LUFS; ReplayGain is 5 dB more, to -18 LUFS.
    TrackTags t = normalize_tags({{"R128_TRACK_GAIN", "-1664"}, {"R128_ALBUM_GAIN", "256"}});
    EXPECT_EQ(t.info, (TagList{{"replaygain_track_gain", "-1.50 dB"},
                               {"replaygain_album_gain", "+6.00 dB"}}));
    EXPECT_EQ(t.meta, TagList{});
    t = normalize_tags({{"R128_TRACK_GAIN", "-1664"}, {"REPLAYGAIN_TRACK_GAIN", "-2.00 dB"}});
    EXPECT_EQ(t.info, (TagList{{"replaygain_track_gain", "-2.00 dB"}}));
    t = normalize_tags({{"R128_TRACK_GAIN", "-1.5 dB"}, {"R128_ALBUM_GAIN", "40000"}});
    EXPECT_EQ(t.info, TagList{});
    EXPECT_EQ(t.meta, (TagList{{"r128_track_gain", "-1.5 dB"}, {"r128_album_gain", "40000"}}))
        << "values that are no Q7.8 gain stay as they are";
}

TEST(TagFields, EverySpellingFindsItsFieldAndTheListingNamesEach) {
    const std::string listing = tag_field_listing();
    for (const TagField& field : tag_fields()) {
        EXPECT_EQ(field_name_of(field.name), field.name);
        const std::string attribute(field.attribute.substr(0, field.attribute.find(" (")));
        EXPECT_NE(find_tag_field(attribute), nullptr) << attribute;
        std::string upper(field.name);
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(field_name_of(upper), field.name);
        EXPECT_NE(listing.find("  " + std::string(field.name) + " "), std::string::npos)
            << field.name;
        EXPECT_NE(listing.find(std::string(field.attribute)), std::string::npos) << field.name;
    }
    EXPECT_EQ(field_name_of("WM/TrackNumber"), "tracknumber");
    EXPECT_EQ(field_name_of("Album_Artist"), "album artist");
    EXPECT_EQ(field_name_of("My Own"), "my own");
    EXPECT_EQ(find_tag_field("albumartists"), nullptr);
    EXPECT_TRUE(restating_spelling("YEAR"));
    EXPECT_FALSE(restating_spelling("date"));
    EXPECT_FALSE(restating_spelling("track"));
}

TEST(TagOverrides, ReplaceTheFieldUnderAnyOfItsNamesAndMayAddSeveralValues) {
    TagList meta{{"artist", "Old"}, {"title", "T"}, {"ARTIST", "Older"}, {"comment", "c"}};
    apply_tag_overrides(
        meta, {{"Artist", "New 1"}, {"artist", "New 2"}, {"comment", ""}, {"mood", "calm"}});
    EXPECT_EQ(
        meta,
        (TagList{{"title", "T"}, {"artist", "New 1"}, {"artist", "New 2"}, {"mood", "calm"}}));

    meta = {{"date", "2019-03-14"}, {"album artist", "Aurora Quartet"}, {"description", "d"}};
    apply_tag_overrides(meta, {{"year", "1999"}, {"albumartist", "VA"}, {"COMMENT", "c"}});
    EXPECT_EQ(meta, (TagList{{"date", "1999"}, {"album artist", "VA"}, {"comment", "c"}}));
}

TEST(TagOverrides, TrackAndDiscNumbersCarryTheirTotals) {
    const TagList source{
        {"tracknumber", "3"}, {"totaltracks", "12"}, {"discnumber", "1"}, {"totaldiscs", "2"}};
    TagList meta = source;
    apply_tag_overrides(meta, {{"track", "5"}});
    EXPECT_EQ(
        meta,
        (TagList{
            {"totaltracks", "12"}, {"discnumber", "1"}, {"totaldiscs", "2"}, {"tracknumber", "5"}}))
        << "the total stays";
    meta = source;
    apply_tag_overrides(meta, {{"tracknumber", "5/10"}, {"disc", ""}});
    EXPECT_EQ(meta, (TagList{{"tracknumber", "5"}, {"totaltracks", "10"}}))
        << "a number with its total sets both; removing the number removes its total";
}

TEST(TagValues, NulCharactersAreReplacedAndNamed) {
    TagList meta{
        {"title", std::string("a\0b\0", 4)}, {"artist", "x"}, {"title", std::string(1, '\0')}};
    EXPECT_EQ(replace_nul_characters(meta), std::vector<std::string>{"title"});
    EXPECT_EQ(meta, (TagList{{"title", "a\xEF\xBF\xBD"
                                       "b\xEF\xBF\xBD"},
                             {"artist", "x"},
                             {"title", "\xEF\xBF\xBD"}}));
}

TEST(TagValues, FieldsWithAValueTooLongForAnAttributeAreTakenWhole) {
    EXPECT_EQ(utf16_units("a\xC3\xA9\xE5\x90\x8D\xF0\x9D\x84\x9E"), 5u);
    const std::string longest(kMaxAttributeUnits, 'a');
    const std::string too_long = std::string(kMaxAttributeUnits - 1, 'a') + "\xF0\x9D\x84\x9E";
    TagList meta{{"lyrics", "short"}, {"title", longest}, {"artist", "A"}, {"lyrics", too_long}};
    const TagList taken = take_long_fields(meta);
    EXPECT_EQ(taken, (TagList{{"lyrics", "short"}, {"lyrics", too_long}})) << "in order";
    EXPECT_EQ(meta, (TagList{{"title", longest}, {"artist", "A"}}));
}

TEST(TagValues, AFieldKeepsAsManyValuesAsAHeaderHolds) {
    TagList meta;
    for (std::size_t i = 0; i < kMaxFieldValues + 3; ++i)
        meta.push_back({"genre", std::to_string(i)});
    meta.push_back({"title", "T"});
    const auto left_out = limit_field_values(meta);
    ASSERT_EQ(left_out.size(), 1u);
    EXPECT_EQ(left_out[0].name, "genre");
    EXPECT_EQ(left_out[0].given, kMaxFieldValues + 3);
    EXPECT_EQ(left_out[0].left_out, 3u);
    ASSERT_EQ(meta.size(), kMaxFieldValues + 1);
    EXPECT_EQ(meta[kMaxFieldValues - 1].value, std::to_string(kMaxFieldValues - 1));
    EXPECT_EQ(meta.back(), (Tag{"title", "T"}));
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

std::vector<std::uint8_t> bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(PictureBlocks, TheKindOfAnImageComesFromItsBytes) {
    EXPECT_EQ(image_mime_of(bytes("\x89PNG\r\n\x1A\nrest")), "image/png");
    EXPECT_EQ(image_mime_of(bytes("\xFF\xD8\xFF\xDBrest")), "image/jpeg");
    EXPECT_EQ(image_mime_of(bytes("GIF89arest")), "image/gif");
    EXPECT_EQ(image_mime_of(bytes("BM" + std::string(20, '\0'))), "image/bmp");
    EXPECT_EQ(image_mime_of(bytes(std::string("RIFF\x10\0\0\0WEBPVP8 ", 16))), "image/webp");
    EXPECT_EQ(image_mime_of(bytes(std::string("II*\0rest", 8))), "image/tiff");
    EXPECT_EQ(image_mime_of(bytes(std::string("RIFF\x10\0\0\0WAVEfmt ", 16))), "");
    EXPECT_EQ(image_mime_of(bytes("\x89PN")), "") << "cut short";
    EXPECT_EQ(image_mime_of({}), "");
}

TEST(PictureBlocks, Base64WithOrWithoutPadding) {
    EXPECT_EQ(decode_base64("aGVsbG8="), bytes("hello"));
    EXPECT_EQ(decode_base64("aGVsbG8"), bytes("hello"));
    EXPECT_EQ(decode_base64(""), bytes(""));
    EXPECT_FALSE(decode_base64("aGV sbG8="));
    EXPECT_FALSE(decode_base64("aGVsb"));
}

TEST(PictureBlocks, AFlacPictureBlockAndItsDamage) {
    const std::string data = "\x89PNG\r\n\x1A\nxy";
    const std::string block = be32(4) + be32(9) + "image/png" + be32(5) +
                              "B\xC3\xA4"
                              "ck" +
                              be32(1) + be32(2) + be32(24) + be32(0) +
                              be32(static_cast<std::uint32_t>(data.size())) + data;
    const auto* raw = reinterpret_cast<const std::uint8_t*>(block.data());
    const auto picture = parse_flac_picture(raw, block.size());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->type, 4);
    EXPECT_EQ(picture->mime, "image/png");
    EXPECT_EQ(picture->description, "B\xC3\xA4"
                                    "ck");
    EXPECT_EQ(picture->data, bytes(data));
    EXPECT_FALSE(parse_flac_picture(raw, block.size() - 1));
    EXPECT_FALSE(parse_flac_picture(raw, 10));
}

TEST(PictureBlocks, CommentsCarryPicturesAsBase64) {
    int unreadable = 0;
    const auto pictures = pictures_of_comments({{"COVERARTMIME", "image/jpeg"},
                                                {"COVERART", "/9j/4A=="}, // FF D8 FF E0
                                                {"METADATA_BLOCK_PICTURE", "not base64!"},
                                                {"title", "T"}},
                                               unreadable);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].type, kFrontCover);
    EXPECT_EQ(pictures[0].mime, "image/jpeg");
    EXPECT_EQ(pictures[0].data, bytes("\xFF\xD8\xFF\xE0"));
    EXPECT_EQ(unreadable, 1);
}

TEST(PictureBlocks, Id3PicturesOfEveryVersion) {
    // ID3v2.2 PIC: three-letter format; a damaged frame is counted, not read.
    const std::string pic = std::string("\0PNG\x03", 5) + "d" + std::string(1, '\0') + "\x89PNG";
    const std::string broken = std::string("\0", 1) + "image/png"; // no terminator
    auto frame = [](const std::string& id, const std::string& body) {
        const auto size = static_cast<std::uint32_t>(body.size());
        return id +
               std::string{static_cast<char>(size >> 16), static_cast<char>(size >> 8),
                           static_cast<char>(size)} +
               body;
    };
    const std::string body = frame("PIC", pic) + frame("PIC", broken);
    const auto size = static_cast<std::uint32_t>(body.size());
    const std::string tag =
        std::string("ID3\x02\0\0", 6) +
        std::string{static_cast<char>(size >> 21 & 0x7F), static_cast<char>(size >> 14 & 0x7F),
                    static_cast<char>(size >> 7 & 0x7F), static_cast<char>(size & 0x7F)} +
        body;
    int unreadable = 0;
    const auto pictures = parse_id3v2_pictures(reinterpret_cast<const std::uint8_t*>(tag.data()),
                                               tag.size(), unreadable);
    ASSERT_TRUE(pictures);
    ASSERT_EQ(pictures->size(), 1u);
    EXPECT_EQ((*pictures)[0].type, kFrontCover);
    EXPECT_EQ((*pictures)[0].description, "d");
    EXPECT_EQ((*pictures)[0].data, bytes("\x89PNG"));
    EXPECT_EQ(unreadable, 1);
    EXPECT_FALSE(parse_id3v2_pictures(reinterpret_cast<const std::uint8_t*>(tag.data()),
                                      tag.size() - 1, unreadable));
}

TEST(Mp4Items, CoverArtIsEveryDataBoxOfCovr) {
    const std::string list = box("covr", box("data", be32(13) + be32(0) + "\xFF\xD8\xFF") +
                                             box("data", be32(14) + be32(0) + "\x89PNG")) +
                             box("\xA9"
                                 "nam",
                                 text_data("T"));
    const auto covers =
        parse_mp4_covers(reinterpret_cast<const std::uint8_t*>(list.data()), list.size());
    ASSERT_EQ(covers.size(), 2u);
    EXPECT_EQ(covers[0].data, bytes("\xFF\xD8\xFF"));
    EXPECT_EQ(covers[1].data, bytes("\x89PNG"));
    EXPECT_EQ(covers[1].type, kFrontCover);
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
