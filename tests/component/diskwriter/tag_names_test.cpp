#include "diskwriter/tag_names.h"
#include "diskwriter/track_tags.h"
#include "errors/wma_exception.h"
#include "header_info_double.h"
#include "sdk/file_info_i.h"
#include "test_host.h"

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

// Values beyond what the header holds are left out with one warning; the
// track goes on. Any other refusal still fails the track.
TEST(TrackTags, ValuesTheHeaderCannotHoldAreLeftOutWithOneWarning) {
    diskwriter_test::HostDouble host;
    diskwriter_test::InstalledHost installed{host};
    file_info_i track;
    track.meta_append("artist", "A");
    track.meta_append("album", "B");
    RecordingHeaderInfo full;
    full.setResult = NS_E_TOO_MUCH_DATA;
    EXPECT_NO_THROW(WriteTrackTags(&full, track));
    EXPECT_EQ(full.attributes.size(), 2u) << "each value was offered";
    const auto warnings = host.console.Texts(console::severity_warning);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind("2 tag values were left out", 0), 0u) << warnings[0];

    RecordingHeaderInfo broken;
    broken.setResult = E_FAIL;
    EXPECT_THROW(WriteTrackTags(&broken, track), CWMAException);
}

} // namespace
