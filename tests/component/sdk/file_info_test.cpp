#include "failing_heap.h"
#include "sdk/file_info_i.h"
#include "sdk/host_hooks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using pairs = std::vector<std::pair<std::string, std::string>>;

pairs meta_of(const file_info& info) {
    pairs out;
    for (std::int32_t i = 0; i < info.meta_count(); ++i) {
        out.emplace_back(info.meta_name_at(i), info.meta_value_at(i));
    }
    return out;
}

pairs info_of(const file_info& info) {
    pairs out;
    for (std::int32_t i = 0; i < info.info_count(); ++i) {
        out.emplace_back(info.info_name_at(i), info.info_value_at(i));
    }
    return out;
}

TEST(FileInfoMeta, RepeatedNamesAreKeptAndFoundIgnoringCase) {
    file_info_i info;
    EXPECT_EQ(info.meta_append("artist", "One"), 0);
    EXPECT_EQ(info.meta_append("title", "Song"), 1);
    EXPECT_EQ(info.meta_append("artist", "Two"), 2);
    EXPECT_EQ(info.meta_find_nth("ARTIST", 1), 2);
    EXPECT_EQ(info.meta_find_nth("Artist", 0), 0);
    EXPECT_EQ(info.meta_find_nth("artist", 2), -1);
    EXPECT_EQ(info.meta_find_nth("album", 0), -1);
    EXPECT_STREQ(info.meta_name_at(2), "artist");
}

TEST(FileInfoMeta, NamesKeepTheirCase) {
    file_info_i info;
    info.meta_append("AlbumArtist", "X");
    EXPECT_STREQ(info.meta_name_at(0), "AlbumArtist");
    EXPECT_EQ(info.meta_find_nth("albumartist", 0), 0);
}

TEST(FileInfoMeta, ReplaceWithEmptyReadsEmpty) {
    file_info_i info;
    info.meta_append("comment", "text");
    const char* stored = info.meta_replace_value_at(0, "");
    ASSERT_NE(stored, nullptr);
    EXPECT_STREQ(stored, "");
    EXPECT_STREQ(info.meta_value_at(0), "");
    EXPECT_STREQ(info.meta_replace_value_at(0, "new"), "new");
}

TEST(FileInfoMeta, InsertAndErase) {
    file_info_i info;
    info.meta_append("a", "1");
    info.meta_append("c", "3");
    info.meta_insert_at(1, "b", "2");
    info.meta_insert_at(3, "d", "4");
    EXPECT_EQ(meta_of(info), (pairs{{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}));
    info.meta_erase_at(0);
    EXPECT_EQ(meta_of(info), (pairs{{"b", "2"}, {"c", "3"}, {"d", "4"}}));
    info.meta_erase_all();
    EXPECT_EQ(info.meta_count(), 0);
}

TEST(FileInfoMeta, EmptyTextsAreStored) {
    file_info_i info;
    EXPECT_EQ(info.meta_append("", ""), 0);
    EXPECT_STREQ(info.meta_name_at(0), "");
    EXPECT_STREQ(info.meta_value_at(0), "");
    EXPECT_EQ(info.meta_append(nullptr, nullptr), 1);
    EXPECT_STREQ(info.meta_value_at(1), "");
}

TEST(FileInfoInfo, PutReplacesAndMovesToTheEnd) {
    file_info_i info;
    EXPECT_EQ(info.info_put("samplerate", "44100"), 0);
    EXPECT_EQ(info.info_put("channels", "2"), 1);
    EXPECT_EQ(info.info_put("SampleRate", "48000"), 1);
    EXPECT_EQ(info_of(info), (pairs{{"channels", "2"}, {"SampleRate", "48000"}}));
    EXPECT_EQ(info.info_find("samplerate"), 1);
    EXPECT_EQ(info.info_find("bitrate"), -1);
    info.info_erase_at(0);
    EXPECT_EQ(info.info_find("samplerate"), 0);
    info.info_erase_all();
    EXPECT_EQ(info.info_count(), 0);
}

TEST(FileInfoInfo, PutWithItsOwnNameText) {
    file_info_i info;
    info.info_put("codec", "PCM");
    info.info_put(info.info_name_at(0), "WMA");
    EXPECT_EQ(info_of(info), (pairs{{"codec", "WMA"}}));
}

TEST(FileInfoCopy, ReproducesOrderAndReplacesTheTarget) {
    file_info_i source;
    source.meta_append("a", "1");
    source.meta_append("b", "2");
    source.meta_append("a", "3");
    source.info_put("samplerate", "44100");
    source.assign_length(12.5);
    playable_location_i where("file:///music/x.flac", 3);
    source.assign_location(where);

    file_info_i target;
    target.meta_append("old", "gone");
    target.info_put("stale", "1");
    target.copy_all_from(source);
    EXPECT_EQ(meta_of(target), (pairs{{"a", "1"}, {"b", "2"}, {"a", "3"}}));
    EXPECT_EQ(info_of(target), (pairs{{"samplerate", "44100"}}));
    EXPECT_DOUBLE_EQ(target.length_seconds(), 12.5);
    EXPECT_STREQ(target.location().path(), "file:///music/x.flac");
    EXPECT_EQ(target.location().subsong(), 3);

    target.copy_all_from(target);
    EXPECT_EQ(target.meta_count(), 3);
}

TEST(PlayableLocation, EmptyPathFreesTheCopy) {
    playable_location_i location;
    EXPECT_STREQ(location.path(), "");
    EXPECT_EQ(location.subsong(), 0);
    EXPECT_STREQ(location.assign_path("/a/b"), "/a/b");
    EXPECT_TRUE(location.holds_path_copy());
    EXPECT_STREQ(location.assign_path(""), "");
    EXPECT_FALSE(location.holds_path_copy());
    location.assign_path("/x");
    location.assign_path(location.path());
    EXPECT_STREQ(location.path(), "/x");
    location.assign_subsong(-2);
    EXPECT_EQ(location.subsong(), -2);
}

TEST(FileInfoOutOfMemory, FailedAppendAddsNothing) {
    file_info_i info;
    info.meta_append("kept", "1");
    {
        failing_heap refuse;
        EXPECT_EQ(info.meta_append("new", "2"), -1);
        info.meta_insert_at(0, "new", "2");
    }
    EXPECT_EQ(meta_of(info), (pairs{{"kept", "1"}}));
    // The entry and its name fit, its value does not.
    {
        failing_heap refuse(2);
        EXPECT_EQ(info.meta_append("new", "2"), -1);
    }
    EXPECT_EQ(meta_of(info), (pairs{{"kept", "1"}}));
    // Entry and texts fit, the list cannot grow past its first block.
    {
        failing_heap refuse(3);
        EXPECT_EQ(info.meta_append("new", "2"), -1);
    }
    EXPECT_EQ(meta_of(info), (pairs{{"kept", "1"}}));
}

TEST(FileInfoOutOfMemory, FailedReplaceKeepsTheOldValue) {
    file_info_i info;
    info.meta_append("title", "old");
    failing_heap refuse;
    EXPECT_EQ(info.meta_replace_value_at(0, "new"), nullptr);
    EXPECT_STREQ(info.meta_value_at(0), "old");
}

TEST(FileInfoOutOfMemory, FailedPutKeepsTheOldEntry) {
    file_info_i info;
    info.info_put("bitrate", "128");
    info.info_put("codec", "WMA"); // two items: the block is full
    for (long allowed = 0; allowed < 4; ++allowed) {
        failing_heap refuse(allowed);
        EXPECT_EQ(info.info_put("bitrate", "192"), -1) << allowed;
        EXPECT_EQ(info_of(info), (pairs{{"bitrate", "128"}, {"codec", "WMA"}})) << allowed;
    }
}

TEST(FileInfoOutOfMemory, FailedLocationKeepsTheOldPath) {
    file_info_i info;
    playable_location_i first("/first", 1);
    info.assign_location(first);
    playable_location_i second("/second", 2);
    failing_heap refuse;
    info.assign_location(second);
    EXPECT_STREQ(info.location().path(), "/first");
}

TEST(FileInfoOutOfMemory, NothingLeaksWhenEveryStepFails) {
    // Under ASan this also shows that half-made entries are freed.
    for (long allowed = 0; allowed < 8; ++allowed) {
        file_info_i info;
        failing_heap refuse(allowed);
        info.meta_append("a", "1");
        info.meta_append("b", "2");
        info.info_put("c", "3");
        info.meta_set("a", "4");
        EXPECT_LE(info.meta_count(), 2);
    }
}

TEST(NameComparison, BuiltInFoldsCommonScripts) {
    EXPECT_EQ(sdk_host::compare_utf8_nocase("ArTiSt", "artist"), 0);
    EXPECT_EQ(sdk_host::compare_utf8_nocase("\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9"), 0);
    EXPECT_EQ(sdk_host::compare_utf8_nocase("\xD0\x90\xD0\x91", "\xD0\xB0\xD0\xB1"), 0);
    EXPECT_EQ(sdk_host::compare_utf8_nocase("\xC5\x81", "\xC5\x82"), 0);
    EXPECT_LT(sdk_host::compare_utf8_nocase("abc", "abd"), 0);
    EXPECT_GT(sdk_host::compare_utf8_nocase("abcd", "abc"), 0);
    EXPECT_NE(sdk_host::compare_utf8_nocase("a\xFF", "a\xFE"), 0);
}

TEST(NameComparison, HostComparerIsUsedOnceInstalled) {
    static int calls = 0;
    const auto exact = [](const char* a, const char* b) {
        ++calls;
        return std::string(a).compare(b);
    };
    sdk_host::name_comparer previous = sdk_host::set_name_comparer(exact);
    file_info_i info;
    info.meta_append("Artist", "x");
    EXPECT_EQ(info.meta_find_nth("artist", 0), -1);
    EXPECT_EQ(info.meta_find_nth("Artist", 0), 0);
    EXPECT_GT(calls, 0);
    sdk_host::set_name_comparer(previous);
    EXPECT_EQ(info.meta_find_nth("artist", 0), 0);
}

} // namespace
