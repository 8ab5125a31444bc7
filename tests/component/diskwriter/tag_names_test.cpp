#include "diskwriter/tag_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Mapped(const char* name) {
    return AttributeNameForField(name);
}

TEST(TagNames, CaseOfAsciiLettersDoesNotMatter) {
    EXPECT_EQ(Mapped("ARTIST"), "Author");
    EXPECT_EQ(Mapped("Date"), "WM/Year");
    EXPECT_EQ(Mapped("tracknumber"), "WM/TrackNumber");
    EXPECT_EQ(Mapped("TRACKNO"), "WM/TrackNumber");
    EXPECT_EQ(Mapped("aLbUm"), "WM/AlbumTitle");
}

TEST(TagNames, OtherNamesPassThroughUnchanged) {
    const char* title = "title";
    EXPECT_EQ(AttributeNameForField(title), title);
    EXPECT_EQ(Mapped("Comment"), "Comment");
    EXPECT_EQ(Mapped("artist "), "artist ") << "a trailing blank does not match";
    EXPECT_EQ(Mapped("albumartist"), "albumartist");
    EXPECT_EQ(Mapped(""), "");
}

TEST(TagNames, OnlyAsciiLettersFold) {
    // Capital I with dot above, and the Kelvin sign for k, fold to ASCII
    // letters in some tables; here every byte outside A to Z must match.
    EXPECT_EQ(Mapped("ART\xC4\xB0ST"), "ART\xC4\xB0ST");
    EXPECT_EQ(Mapped("TrackNo\xE2\x84\xAA"), "TrackNo\xE2\x84\xAA");
    EXPECT_EQ(Mapped("\xC3\xA4rtist"), "\xC3\xA4rtist");
    EXPECT_TRUE(EqualsIgnoringAsciiCase("Genre", "gENRE"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("genre", "genres"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("@", "`")) << "0x40 and 0x60 are not letters";
    EXPECT_FALSE(EqualsIgnoringAsciiCase("[", "{"));
}

} // namespace
