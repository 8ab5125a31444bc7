#include "sdk/archive_location.h"
#include "sdk/string8.h"

#include <gtest/gtest.h>

namespace {

TEST(ArchiveLocation, BuildAndSplitRoundTrip) {
    string8 location;
    ASSERT_TRUE(make_archive_location(location, "zip", "/music/a|b.zip", "disc 1/track.flac"));
    EXPECT_STREQ(location.text(), "unpack://zip|14|/music/a|b.zip|disc 1/track.flac");
    EXPECT_TRUE(is_archive_location_of(location.text(), "zip"));
    EXPECT_FALSE(is_archive_location_of(location.text(), "rar"));
    EXPECT_FALSE(is_archive_location_of(location.text(), "zi"));
    EXPECT_FALSE(is_archive_location_of("/plain/file.zip", "zip"));
    string8 archive;
    string8 inner;
    ASSERT_TRUE(split_archive_location(location.text(), archive, inner));
    EXPECT_STREQ(archive.text(), "/music/a|b.zip");
    EXPECT_STREQ(inner.text(), "disc 1/track.flac");
}

TEST(ArchiveLocation, TypeNamesWithABarAreRefused) {
    string8 location;
    EXPECT_FALSE(make_archive_location(location, "z|p", "/a.zip", "x"));
}

TEST(ArchiveLocation, MalformedTextsDoNotSplit) {
    string8 archive("before");
    string8 inner;
    EXPECT_FALSE(split_archive_location("unpack://zip", archive, inner));
    EXPECT_FALSE(split_archive_location("unpack://zip|0|/a|x", archive, inner));
    EXPECT_FALSE(split_archive_location("unpack://zip|-3|/a|x", archive, inner));
    EXPECT_FALSE(split_archive_location("unpack://zip|9|/a|x", archive, inner));
    EXPECT_FALSE(split_archive_location("unpack://zip|2|/ab|x", archive, inner));
    EXPECT_FALSE(split_archive_location("unpack://zip|99999999999|/a|x", archive, inner));
    EXPECT_FALSE(split_archive_location(nullptr, archive, inner));
    EXPECT_STREQ(archive.text(), "before");
}

} // namespace
