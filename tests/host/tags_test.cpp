#include <cstdint>
#include <gtest/gtest.h>
#include <string>

#include "decode/tag_normalizer.h"
#include "decode/vorbis_comments.h"

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

TEST(TagNormalizer, JoinsTheValuesOfOneFieldInOneEntry) {
    EXPECT_EQ(
        join_repeated_fields({{"artist", "Ann"},
                              {"title", "T"},
                              {"ARTIST", "Bøb"},
                              {"genre", ""},
                              {"Artist", "名"},
                              {"genre", "Jazz"},
                              {"artist ", "x"}}),
        (TagList{{"artist", "Ann; Bøb; 名"}, {"title", "T"}, {"genre", "Jazz"}, {"artist ", "x"}}));
    EXPECT_EQ(join_repeated_fields({}), TagList{});
}

TEST(TagOverrides, ReplaceTheFieldIgnoringCaseAndMayAddSeveralValues) {
    TagList meta{{"artist", "Old"}, {"title", "T"}, {"ARTIST", "Older"}, {"comment", "c"}};
    apply_tag_overrides(
        meta, {{"Artist", "New 1"}, {"artist", "New 2"}, {"comment", ""}, {"mood", "calm"}});
    EXPECT_EQ(
        meta,
        (TagList{{"title", "T"}, {"Artist", "New 1"}, {"artist", "New 2"}, {"mood", "calm"}}));
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
