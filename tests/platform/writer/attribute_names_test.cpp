// The names attributes are stored under, and the store's rules for several
// values: every value in the order set, an identical one once.
#include "attribute_names.h"
#include "header_attributes.h"
#include "tagged_files.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace writer;
using namespace writer_test;

template <class T>
HRESULT SetValue(HeaderAttributes& store, const char16_t* name, WMT_ATTR_DATATYPE type, T value) {
    BYTE bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    return store.Set(0, name, type, bytes, sizeof(T));
}

// name=text pairs of the string attributes, in order.
std::vector<std::pair<std::u16string, std::u16string>>
Texts(const std::vector<HeaderAttribute>& attributes) {
    std::vector<std::pair<std::u16string, std::u16string>> texts;
    for (const auto& attribute : attributes) {
        texts.emplace_back(attribute.name, TextOf(attribute));
    }
    return texts;
}

TEST(AttributeNames, ContentDescriptionNamesWhateverTheirCase) {
    for (const char16_t* name : {u"title", u"TITLE", u"Title", u"tItLe"}) {
        EXPECT_EQ(StandardAttributeName(name), u"Title");
    }
    EXPECT_EQ(StandardAttributeName(u"AUTHOR"), u"Author");
    EXPECT_EQ(StandardAttributeName(u"artist"), u"Author");
    EXPECT_EQ(StandardAttributeName(u"copyright"), u"Copyright");
    EXPECT_EQ(StandardAttributeName(u"comment"), u"Description");
    EXPECT_EQ(StandardAttributeName(u"DESCRIPTION"), u"Description");
    EXPECT_EQ(StandardAttributeName(u"rating"), u"Rating");
}

TEST(AttributeNames, UsualFieldNamesBecomeTheirWindowsMediaAttribute) {
    EXPECT_EQ(StandardAttributeName(u"album artist"), u"WM/AlbumArtist");
    EXPECT_EQ(StandardAttributeName(u"ALBUMARTIST"), u"WM/AlbumArtist");
    EXPECT_EQ(StandardAttributeName(u"composer"), u"WM/Composer");
    EXPECT_EQ(StandardAttributeName(u"conductor"), u"WM/Conductor");
    EXPECT_EQ(StandardAttributeName(u"publisher"), u"WM/Publisher");
    EXPECT_EQ(StandardAttributeName(u"label"), u"WM/Publisher");
    EXPECT_EQ(StandardAttributeName(u"isrc"), u"WM/ISRC");
    EXPECT_EQ(StandardAttributeName(u"bpm"), u"WM/BeatsPerMinute");
    EXPECT_EQ(StandardAttributeName(u"mood"), u"WM/Mood");
    EXPECT_EQ(StandardAttributeName(u"encoded by"), u"WM/EncodedBy");
    EXPECT_EQ(StandardAttributeName(u"discnumber"), u"WM/PartOfSet");
    EXPECT_EQ(StandardAttributeName(u"musicbrainz_albumid"), u"MusicBrainz/Album Id");
    // Attribute names stand for themselves in their proper case.
    EXPECT_EQ(StandardAttributeName(u"wm/genre"), u"WM/Genre");
    EXPECT_EQ(StandardAttributeName(u"WM/Year"), u"WM/Year");
    // ReplayGain keeps the lower-case names that readers of .wma files know.
    EXPECT_EQ(StandardAttributeName(u"REPLAYGAIN_TRACK_GAIN"), u"replaygain_track_gain");
    EXPECT_EQ(StandardAttributeName(u"replaygain_album_peak"), u"replaygain_album_peak");
}

TEST(AttributeNames, OtherNamesStayAsGiven) {
    EXPECT_EQ(StandardAttributeName(u"artist "), u"artist ") << "a trailing blank";
    EXPECT_EQ(StandardAttributeName(u"albumartists"), u"albumartists");
    EXPECT_EQ(StandardAttributeName(u"Totaltrack"), u"Totaltrack");
    EXPECT_EQ(StandardAttributeName(u"Названия"), u"Названия");
    // Only ASCII letters fold: a dotted capital I is not an i.
    EXPECT_EQ(StandardAttributeName(u"T\u0130TLE"), u"T\u0130TLE");
    EXPECT_EQ(StandardAttributeName(u"MÖÖD"), u"MÖÖD");
}

TEST(AttributeNames, TrackNumberAndTotalBecomeOneTrackNumber) {
    HeaderAttributes store;
    ASSERT_EQ(SetString(store, u"TrackTotal", u"12"), S_OK);
    ASSERT_EQ(SetString(store, u"tracknumber", u"3"), S_OK);
    ASSERT_EQ(SetString(store, u"discnumber", u"1"), S_OK);
    ASSERT_EQ(SetString(store, u"totaldiscs", u"2"), S_OK);
    EXPECT_EQ(Texts(CombineNumbersWithTotals(store.Snapshot())),
              (std::vector<std::pair<std::u16string, std::u16string>>{{u"WM/TrackNumber", u"3/12"},
                                                                      {u"WM/PartOfSet", u"1/2"}}));
}

TEST(AttributeNames, ACompilationFlagIsABool) {
    HeaderAttributes store;
    ASSERT_EQ(SetString(store, u"compilation", u"1"), S_OK);
    ASSERT_EQ(SetString(store, u"WM/IsCompilation", u"No"), S_OK);
    ASSERT_EQ(SetString(store, u"Compilation", u"maybe"), S_OK);
    const auto all = store.Snapshot();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].name, u"WM/IsCompilation");
    EXPECT_EQ(all[0].type, WMT_TYPE_BOOL);
    EXPECT_EQ(all[0].value, (std::vector<BYTE>{1, 0, 0, 0}));
    EXPECT_EQ(all[1].type, WMT_TYPE_BOOL);
    EXPECT_EQ(all[1].value, (std::vector<BYTE>{0, 0, 0, 0}));
    EXPECT_EQ(all[2].type, WMT_TYPE_STRING) << "other text stays text";
}

TEST(AttributeNames, DiscNumberAndTotalBecomeOnePartOfSet) {
    HeaderAttributes store;
    ASSERT_EQ(SetString(store, u"TOTALDISCS", u"2"), S_OK); // before the number
    ASSERT_EQ(SetString(store, u"discnumber", u"1"), S_OK);
    ASSERT_EQ(SetString(store, u"title", u"T"), S_OK);
    EXPECT_EQ(Texts(CombineNumbersWithTotals(store.Snapshot())),
              (std::vector<std::pair<std::u16string, std::u16string>>{{u"WM/PartOfSet", u"1/2"},
                                                                      {u"Title", u"T"}}));

    HeaderAttributes given; // a number that has its total already keeps it
    ASSERT_EQ(SetString(given, u"discnumber", u"1/3"), S_OK);
    ASSERT_EQ(SetString(given, u"totaldiscs", u"2"), S_OK);
    EXPECT_EQ(Texts(CombineNumbersWithTotals(given.Snapshot())),
              (std::vector<std::pair<std::u16string, std::u16string>>{{u"WM/PartOfSet", u"1/3"},
                                                                      {u"totaldiscs", u"2"}}));

    HeaderAttributes alone; // nothing to combine with
    ASSERT_EQ(SetString(alone, u"DiscTotal", u"2"), S_OK);
    EXPECT_EQ(Texts(CombineNumbersWithTotals(alone.Snapshot())),
              (std::vector<std::pair<std::u16string, std::u16string>>{{u"totaldiscs", u"2"}}));
}

TEST(HeaderAttributes, LengthsAndTypesAreChecked) {
    HeaderAttributes store;
    const BYTE bytes[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(store.Set(0, u"d", WMT_TYPE_DWORD, bytes, 4), S_OK);
    EXPECT_EQ(store.Set(0, u"d", WMT_TYPE_DWORD, bytes, 2), E_INVALIDARG);
    EXPECT_EQ(store.Set(0, u"q", WMT_TYPE_QWORD, bytes, 8), S_OK);
    EXPECT_EQ(store.Set(0, u"q", WMT_TYPE_QWORD, bytes, 4), E_INVALIDARG);
    EXPECT_EQ(store.Set(0, u"w", WMT_TYPE_WORD, bytes, 2), S_OK);
    EXPECT_EQ(store.Set(0, u"w", WMT_TYPE_WORD, bytes, 4), E_INVALIDARG);
    EXPECT_EQ(store.Set(0, u"b", WMT_TYPE_BOOL, bytes, 4), S_OK);
    EXPECT_EQ(store.Set(0, u"b", WMT_TYPE_BOOL, bytes, 1), E_INVALIDARG);
    EXPECT_EQ(store.Set(0, u"s", WMT_TYPE_STRING, bytes, 3), E_INVALIDARG);
    EXPECT_EQ(store.Set(0, u"g", WMT_TYPE_GUID, bytes, 16), E_INVALIDARG);
    EXPECT_EQ(store.Set(0, u"x", static_cast<WMT_ATTR_DATATYPE>(9), bytes, 4), E_INVALIDARG);
    EXPECT_EQ(store.Set(0, u"bin", WMT_TYPE_BINARY, bytes, 9), S_OK);
    EXPECT_EQ(store.Set(0, u"", WMT_TYPE_DWORD, bytes, 4), E_INVALIDARG);
    EXPECT_EQ(store.Set(1, u"d", WMT_TYPE_DWORD, bytes, 4), E_INVALIDARG);
    EXPECT_EQ(store.Set(0, nullptr, WMT_TYPE_DWORD, bytes, 4), E_POINTER);
    EXPECT_EQ(store.Set(0, u"d", WMT_TYPE_DWORD, nullptr, 4), E_POINTER);

    const auto all = store.Snapshot();
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[0].name, u"d");
    EXPECT_EQ(all[3].value, (std::vector<BYTE>{1, 0, 0, 0})); // BOOL kept as 0 or 1
    EXPECT_EQ(all[4].value.size(), 9u);
}

TEST(HeaderAttributes, EveryValueIsKeptInOrderAndAnIdenticalOneOnce) {
    HeaderAttributes store;
    EXPECT_EQ(SetString(store, u"Author", u"Ann"), S_OK);
    EXPECT_EQ(SetString(store, u"WM/Genre", u"Jazz"), S_OK);
    EXPECT_EQ(SetString(store, u"artist", u"Bøb"), S_OK); // the same attribute
    EXPECT_EQ(SetString(store, u"ARTIST", u"Ann"), S_OK); // identical: kept once
    EXPECT_EQ(SetString(store, u"Author", u"ann"), S_OK); // values are case-sensitive
    EXPECT_EQ(SetString(store, u"Genre ", u"x"), S_OK);
    EXPECT_EQ(Texts(store.Snapshot()),
              (std::vector<std::pair<std::u16string, std::u16string>>{{u"Author", u"Ann"},
                                                                      {u"WM/Genre", u"Jazz"},
                                                                      {u"Author", u"Bøb"},
                                                                      {u"Author", u"ann"},
                                                                      {u"Genre ", u"x"}}));
    // The same bytes as another type are another value.
    EXPECT_EQ(SetValue<DWORD>(store, u"n", WMT_TYPE_DWORD, 0x410042), S_OK);
    EXPECT_EQ(SetValue<DWORD>(store, u"n", WMT_TYPE_BINARY, 0x410042), S_OK);
    EXPECT_EQ(SetValue<DWORD>(store, u"n", WMT_TYPE_DWORD, 0x410042), S_OK);
    EXPECT_EQ(store.Snapshot().size(), 7u);
}

TEST(HeaderAttributes, StringsAreKeptTerminated) {
    HeaderAttributes store;
    const BYTE unterminated[] = {'h', 0, 'i', 0};
    EXPECT_EQ(store.Set(0, u"s", WMT_TYPE_STRING, unterminated, 4), S_OK);
    const BYTE empty[] = {0, 0};
    EXPECT_EQ(store.Set(0, u"e", WMT_TYPE_STRING, empty, 2), S_OK);
    const BYTE early[] = {'a', 0, 0, 0, 'b', 0};
    EXPECT_EQ(store.Set(0, u"t", WMT_TYPE_STRING, early, 6), S_OK);
    const auto all = store.Snapshot();
    EXPECT_EQ(all[0].value, (std::vector<BYTE>{'h', 0, 'i', 0, 0, 0}));
    EXPECT_EQ(all[1].value, (std::vector<BYTE>{0, 0}));
    EXPECT_EQ(all[2].value, (std::vector<BYTE>{'a', 0, 0, 0})) << "up to the first terminator";
}

TEST(HeaderAttributes, ASealedStoreRefusesChangesUntilUnsealed) {
    HeaderAttributes store;
    EXPECT_EQ(SetString(store, u"A", u"x"), S_OK);
    EXPECT_EQ(store.SnapshotAndSeal().size(), 1u);
    EXPECT_EQ(SetString(store, u"A", u"y"), NS_E_INVALID_REQUEST);
    store.Unseal();
    EXPECT_EQ(SetString(store, u"A", u"y"), S_OK);
}

} // namespace
