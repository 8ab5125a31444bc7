#include "console_capture.h"
#include "sdk/file_info_i.h"
#include "sdk/host_hooks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(FileInfoHelpers, ValueAndCountByName) {
    file_info_i info;
    info.meta_append("artist", "One");
    info.meta_append("ARTIST", "Two");
    EXPECT_STREQ(info.meta_value_of("Artist"), "One");
    EXPECT_STREQ(info.meta_value_of("artist", 1), "Two");
    EXPECT_EQ(info.meta_value_of("artist", 2), nullptr);
    EXPECT_EQ(info.meta_count_of("artist"), 2);
    EXPECT_EQ(info.meta_count_of("album"), 0);
}

TEST(FileInfoHelpers, SetReplacesEveryValueOfTheName) {
    file_info_i info;
    info.meta_append("genre", "Rock");
    info.meta_append("title", "T");
    info.meta_append("Genre", "Pop");
    EXPECT_EQ(info.meta_set("genre", "Jazz"), 1);
    EXPECT_EQ(info.meta_count(), 2);
    EXPECT_STREQ(info.meta_name_at(0), "title");
    EXPECT_STREQ(info.meta_value_of("genre"), "Jazz");
    // The name may be the text of an entry that goes away.
    EXPECT_EQ(info.meta_set(info.meta_name_at(1), "Blues"), 1);
    EXPECT_STREQ(info.meta_value_of("genre"), "Blues");
    info.meta_erase_named(info.meta_name_at(1));
    EXPECT_EQ(info.meta_count(), 1);
}

TEST(FileInfoHelpers, AppendLimitedWideAndAnsi) {
    file_info_i info;
    EXPECT_EQ(info.meta_append_bytes("titlebar", 5, "abcdef", 2), 0);
    EXPECT_STREQ(info.meta_name_at(0), "title");
    EXPECT_STREQ(info.meta_value_at(0), "ab");
    EXPECT_EQ(info.meta_append_wide(u"album", u"\u00C9t\u00E9 \U0001F31E"), 1);
    EXPECT_STREQ(info.meta_value_at(1), "\xC3\x89t\xC3\xA9 \xF0\x9F\x8C\x9E");
    EXPECT_EQ(info.meta_set_wide(u"ALBUM", u"New"), 1);
    EXPECT_STREQ(info.meta_value_of("album"), "New");
    EXPECT_EQ(info.meta_append_ansi("comment", "caf\xC3\xA9"), 2);
    EXPECT_STREQ(info.meta_value_at(2), "caf\xC3\xA9");
    EXPECT_EQ(info.meta_set_ansi("comment", "x"), 2);
    EXPECT_EQ(info.meta_count_of("comment"), 1);
}

TEST(FileInfoHelpers, NumbersInTechnicalInfo) {
    file_info_i info;
    info.info_put_int("samples", -1234567890123LL);
    EXPECT_STREQ(info.info_value_of("samples"), "-1234567890123");
    EXPECT_EQ(info.info_int_of("samples"), -1234567890123LL);
    EXPECT_EQ(info.info_int_of("missing"), 0);
    EXPECT_EQ(info.info_value_of("missing"), nullptr);
    info.info_put("big", "99999999999999999999999");
    EXPECT_EQ(info.info_int_of("big"), INT64_MAX);
    info.info_put("gain", " -3,5 dB");
    EXPECT_DOUBLE_EQ(info.info_real_of("gain"), -3.5);
    EXPECT_DOUBLE_EQ(info.info_real_of("missing"), 0.0);
    info.info_erase_named("GAIN");
    EXPECT_EQ(info.info_find("gain"), -1);
}

TEST(FileInfoHelpers, ReplayGainTexts) {
    file_info_i info;
    info.put_track_gain(-6.5);
    info.put_album_gain(0.0);
    info.put_track_peak(0.5);
    info.put_album_peak(1.25);
    EXPECT_STREQ(info.info_value_of("replaygain_track_gain"), "-6.50 dB");
    EXPECT_STREQ(info.info_value_of("replaygain_album_gain"), "+0.00 dB");
    EXPECT_STREQ(info.info_value_of("replaygain_track_peak"), "0.500000");
    EXPECT_STREQ(info.info_value_of("replaygain_album_peak"), "1.250000");
    info.put_track_gain(2.0);
    EXPECT_EQ(info.info_count(), 4);
    EXPECT_STREQ(info.info_value_of("replaygain_track_gain"), "+2.00 dB");
}

TEST(FileInfoHelpers, LengthInSamples) {
    file_info_i info;
    info.assign_length(2.5);
    EXPECT_EQ(info.length_in_samples(), 0);
    info.info_put("samplerate", "44100");
    EXPECT_EQ(info.length_in_samples(), 110250);
    info.assign_length(1.0 / 88200.0); // half a sample rounds up
    EXPECT_EQ(info.length_in_samples(), 1);
    info.assign_length(-1.0);
    EXPECT_EQ(info.length_in_samples(), 0);
    info.info_put("samplerate", "-8000");
    info.assign_length(1.0);
    EXPECT_EQ(info.length_in_samples(), 0);
    info.info_put("samplerate", "44100");
    info.assign_length(1e300);
    EXPECT_EQ(info.length_in_samples(), INT64_MAX);
}

TEST(FileInfoHelpers, BitsPerSampleHint) {
    file_info_i info;
    EXPECT_EQ(info.bits_per_sample_hint(), 0u);
    info.info_put("decoded_bitspersample", "0");
    info.info_put("bitspersample", "24");
    EXPECT_EQ(info.bits_per_sample_hint(), 24u);
    info.info_put("decoded_bitspersample", "32");
    EXPECT_EQ(info.bits_per_sample_hint(), 32u);
    info.info_erase_named("decoded_bitspersample");
    info.info_put("bitspersample", "300");
    EXPECT_EQ(info.bits_per_sample_hint(), 0u);
}

TEST(FileInfoHelpers, ResetInfoKeepsTheLocation) {
    file_info_i info;
    playable_location_i where("/a.wav", 0);
    info.assign_location(where);
    info.meta_append("a", "b");
    info.info_put("c", "d");
    info.assign_length(3.0);
    info.reset_info();
    EXPECT_EQ(info.meta_count(), 0);
    EXPECT_EQ(info.info_count(), 0);
    EXPECT_DOUBLE_EQ(info.length_seconds(), 0.0);
    EXPECT_STREQ(info.location().path(), "/a.wav");
}

TEST(FileInfoHelpers, DumpListsEverySection) {
    file_info_i info;
    playable_location_i where("/music/a \"b\".flac", 2);
    info.assign_location(where);
    info.meta_append("artist", "X");
    info.meta_append("artist", "Y");
    info.info_put("codec", "FLAC");
    console_capture capture;
    info.dump_to_console();
    const std::vector<std::pair<int, std::string>> expected = {
        {1, "location: \"/music/a \"b\".flac\" (2)"},
        {1, "meta:"},
        {1, "artist=X"},
        {1, "artist=Y"},
        {1, ""},
        {1, "info:"},
        {1, "codec=FLAC"},
        {1, ""},
    };
    EXPECT_EQ(console_capture::lines, expected);
}

} // namespace
