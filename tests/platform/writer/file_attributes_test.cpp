// Header attributes in written files, read back by independent readers: every
// value under its standard name and type, first value first; repeated and long
// values in the metadata library; the creation date of the file.
#include "asf_header_metadata.h"
#include "creation_time.h"
#include "encoding_session.h"
#include "scoped_environment.h"
#include "tagged_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

using namespace writer;
using namespace writer_test;
using test_support::ScopedEnvironment;

template <class T>
HRESULT SetValue(HeaderAttributes& store, const char16_t* name, WMT_ATTR_DATATYPE type, T value) {
    BYTE bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    return store.Set(0, name, type, bytes, sizeof(T));
}

constexpr std::uint64_t kFileTime1970 = 116444736000000000ULL;

// The description of the thread's error object.
std::u16string ErrorDescription() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr) {
        return u"(no error object)";
    }
    BSTR text = nullptr;
    std::u16string description = info->GetDescription(&text) == S_OK ? text : u"";
    SysFreeString(text);
    info->Release();
    return description;
}

// The creation date in the file properties object of a written file.
std::optional<std::uint64_t> CreationDateOf(const std::string& path) {
    static const char kFileProperties[] = "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C"
                                          "\x20\x53\x65";
    const std::string bytes = ReadFile(path);
    const auto at = bytes.find(std::string(kFileProperties, 16));
    if (at == std::string::npos || at + 56 > bytes.size()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value =
            value << 8 | static_cast<unsigned char>(bytes[at + 48 + static_cast<std::size_t>(i)]);
    }
    return value;
}

// Thousands of tags: every value fits (the extended content description
// holds 65535, the metadata library the rest), duplicates cost nothing, and
// past what a header holds the store says so instead of dropping values.
TEST(HeaderAttributeStore, EveryValueFitsUntilTheHeaderIsFullAndThenSaysSo) {
    constexpr std::size_t kMaxHeaderValues = 2 * kMaxObjectValues;
    HeaderAttributes store;
    for (std::size_t i = 0; i < kMaxHeaderValues; ++i) {
        const std::u16string name = u"field" + std::u16string(1, u'a' + i % 26) +
                                    std::u16string(1, static_cast<char16_t>(0x4E00 + i / 26));
        ASSERT_EQ(SetString(store, name.c_str(), u"v"), S_OK) << i;
    }
    ASSERT_EQ(SetString(store, u"fielda\u4E00", u"v"), S_OK) << "identical: kept once, accepted";
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(SetString(store, u"one more", u"v"), NS_E_TOO_MUCH_DATA);
    EXPECT_EQ(ErrorDescription(), u"a file's header has no room left for another value of one "
                                  u"more (it holds at most 65536 values of one name, 131070 in "
                                  u"all)");

    const auto all = store.Snapshot();
    ASSERT_EQ(all.size(), kMaxHeaderValues);
    MetadataObjects objects;
    ASSERT_EQ(BuildMetadataObjects(all, &objects), S_OK);
    EXPECT_EQ(objects.libraryCount, kMaxHeaderValues - 65535)
        << "what the extended object cannot hold";
}

// One name holds its first value and as many more as the metadata library
// counts: the value after them is refused with the reason, before the header
// is built, so the file is still written.
TEST(HeaderAttributeStore, OneNameHoldsAsManyValuesAsTheLibraryCountsBesideItsFirst) {
    HeaderAttributes store;
    ASSERT_EQ(SetString(store, u"title", u"T"), S_OK);
    for (std::size_t i = 0; i <= kMaxObjectValues; ++i) {
        const std::u16string value = u"g" + std::u16string(1, static_cast<char16_t>(0x4E00 + i));
        ASSERT_EQ(SetString(store, u"genre", value.c_str()), S_OK) << i;
    }
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(SetString(store, u"WM/Genre", u"one too many"), NS_E_TOO_MUCH_DATA);
    EXPECT_EQ(ErrorDescription(), u"a file's header has no room left for another value of "
                                  u"WM/Genre (it holds at most 65536 values of one name, 131070 "
                                  u"in all)");
    EXPECT_EQ(SetString(store, u"mood", u"calm"), S_OK) << "the first value of another name fits";
    MetadataObjects objects;
    ASSERT_EQ(BuildMetadataObjects(store.Snapshot(), &objects), S_OK);
    EXPECT_EQ(objects.libraryCount, kMaxObjectValues);
}

class FileAttributes : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MutagenAvailable()) {
            GTEST_SKIP() << "mutagen is not installed";
        }
    }
    TemporaryFolder folder_;
};

TEST_F(FileAttributes, EveryValueReadsBackUnderItsStandardNameWithItsType) {
    HeaderAttributes store;
    ASSERT_EQ(SetString(store, u"title", u"First title"), S_OK);
    ASSERT_EQ(SetString(store, u"Author", u"Ærøskøbing Ensemble ☃ 𝄞"), S_OK);
    ASSERT_EQ(SetString(store, u"COPYRIGHT", u"(c) nobody"), S_OK);
    ASSERT_EQ(SetString(store, u"comment", u"a comment"), S_OK);
    ASSERT_EQ(SetString(store, u"Rating", u"5"), S_OK);
    ASSERT_EQ(SetString(store, u"WM/AlbumTitle", u"Album"), S_OK);
    ASSERT_EQ(SetString(store, u"album artist", u"Various"), S_OK);
    ASSERT_EQ(SetString(store, u"artist", u"Second author"), S_OK);
    ASSERT_EQ(SetString(store, u"WM/Year", u"1999"), S_OK);
    ASSERT_EQ(SetString(store, u"WM/Year", u"2001"), S_OK);
    ASSERT_EQ(SetString(store, u"Названия", u"значение"), S_OK);
    ASSERT_EQ(SetString(store, u"Empty", u""), S_OK);
    ASSERT_EQ(SetString(store, u"Title", u"Second title"), S_OK);
    ASSERT_EQ(SetString(store, u"Title", u"First title"), S_OK); // identical: once
    ASSERT_EQ(SetString(store, u"discnumber", u"1"), S_OK);
    ASSERT_EQ(SetString(store, u"totaldiscs", u"2"), S_OK);
    ASSERT_EQ(SetString(store, u"replaygain_track_gain", u"-6.50 dB"), S_OK);
    ASSERT_EQ(SetValue<DWORD>(store, u"Count", WMT_TYPE_DWORD, 123456), S_OK);
    ASSERT_EQ(SetValue<QWORD>(store, u"Big", WMT_TYPE_QWORD, 1ULL << 40), S_OK);
    ASSERT_EQ(SetValue<WORD>(store, u"Small", WMT_TYPE_WORD, 513), S_OK);
    ASSERT_EQ(SetValue<BOOL>(store, u"Flag", WMT_TYPE_BOOL, TRUE), S_OK);
    ASSERT_EQ(SetValue<BOOL>(store, u"Flag", WMT_TYPE_BOOL, FALSE), S_OK);
    const BYTE blob[] = {0xDE, 0xAD, 0x00, 0xBE, 0xEF};
    ASSERT_EQ(store.Set(0, u"Blob", WMT_TYPE_BINARY, blob, sizeof(blob)), S_OK);
    const auto path = folder_.File("tags.wma");
    WriteTaggedFile(path, store.Snapshot());

    std::string info;
    const auto tags = MutagenTags(path, &info);
    EXPECT_EQ(info, "Windows Media Audio V8\t44100\t2\t0.500");
    const std::multimap<std::string, std::string> expected = {
        {"Title", "ASFUnicodeAttribute\tFirst title"},
        {"Title", "ASFUnicodeAttribute\tSecond title"},
        {"Author", "ASFUnicodeAttribute\tÆrøskøbing Ensemble ☃ 𝄞"},
        {"Author", "ASFUnicodeAttribute\tSecond author"},
        {"Copyright", "ASFUnicodeAttribute\t(c) nobody"},
        {"Description", "ASFUnicodeAttribute\ta comment"},
        {"Rating", "ASFUnicodeAttribute\t5"},
        {"WM/AlbumTitle", "ASFUnicodeAttribute\tAlbum"},
        {"WM/AlbumArtist", "ASFUnicodeAttribute\tVarious"},
        {"WM/Year", "ASFUnicodeAttribute\t1999"},
        {"WM/Year", "ASFUnicodeAttribute\t2001"},
        {"Названия", "ASFUnicodeAttribute\tзначение"},
        {"Empty", "ASFUnicodeAttribute\t"},
        {"WM/PartOfSet", "ASFUnicodeAttribute\t1/2"},
        {"replaygain_track_gain", "ASFUnicodeAttribute\t-6.50 dB"},
        {"Count", "ASFDWordAttribute\t123456"},
        {"Big", "ASFQWordAttribute\t1099511627776"},
        {"Small", "ASFWordAttribute\t513"},
        {"Flag", "ASFBoolAttribute\ttrue"},
        {"Flag", "ASFBoolAttribute\tfalse"}, // a 16-bit BOOL in the metadata library
        {"Blob", "ASFByteArrayAttribute\tdead00beef"},
    };
    EXPECT_EQ(tags, expected);
}

TEST_F(FileAttributes, RepeatedAndLongValuesGoToTheMetadataLibrary) {
    HeaderAttributes store;
    ASSERT_EQ(SetString(store, u"Author", u"Ann"), S_OK);
    ASSERT_EQ(SetString(store, u"Author", u"Bøb"), S_OK);
    ASSERT_EQ(SetString(store, u"WM/Genre", u"Jazz"), S_OK);
    ASSERT_EQ(SetString(store, u"WM/Genre", u"Folk"), S_OK);
    std::vector<BYTE> large(70000);
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<BYTE>(i * 7 + 1);
    }
    HeaderAttribute picture;
    ASSERT_EQ(MakeAttribute(0, u"WM/Picture", WMT_TYPE_BINARY, large.data(),
                            static_cast<DWORD>(large.size()), &picture),
              S_OK);
    auto attributes = store.Snapshot();
    attributes.push_back(picture);

    MetadataObjects objects;
    ASSERT_EQ(BuildMetadataObjects(attributes, &objects), S_OK);
    EXPECT_EQ(objects.descriptionCount, 2u); // content and extended content description
    EXPECT_EQ(objects.libraryCount, 3u);     // the second author and genre, the picture

    const auto path = folder_.File("library.wma");
    WriteTaggedFile(path, attributes);
    const auto tags = MutagenTags(path);
    const std::multimap<std::string, std::string> expected = {
        {"Author", "ASFUnicodeAttribute\tAnn"},
        {"Author", "ASFUnicodeAttribute\tBøb"},
        {"WM/Genre", "ASFUnicodeAttribute\tJazz"},
        {"WM/Genre", "ASFUnicodeAttribute\tFolk"},
        {"WM/Picture", "ASFByteArrayAttribute\t" +
                           [&] {
                               std::string hex;
                               char digits[3];
                               for (const BYTE b : large) {
                                   std::snprintf(digits, sizeof digits, "%02x", b);
                                   hex += digits;
                               }
                               return hex;
                           }()},
    };
    EXPECT_EQ(tags, expected);

    // FFmpeg shows the first artist (see FfprobeReading).
    const auto [status, output, errors] = RunCommand(
        "/usr/bin/ffprobe -v error -show_entries format_tags -of default=noprint_wrappers=1 " +
        ShellQuote(path));
    EXPECT_EQ(status, 0) << errors;
    EXPECT_NE(output.find("TAG:artist=Ann\n"), std::string::npos) << output;
    const auto decoded =
        RunCommand("/usr/bin/ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -f null -");
    EXPECT_EQ(decoded.status, 0);
    EXPECT_EQ(decoded.err, "") << "the file stays valid";
    // TagLib lists the values in the order of the header's objects: the
    // description objects come before the metadata library.
    if (!TaglibAvailable()) {
        GTEST_SKIP() << "python3-taglib is not installed (scripts/setup.sh installs it)";
    }
    const auto read = TaglibTags(path);
    const auto genres = read.equal_range("GENRE");
    std::vector<std::string> values;
    for (auto it = genres.first; it != genres.second; ++it) {
        values.push_back(it->second);
    }
    EXPECT_EQ(values, (std::vector<std::string>{"Jazz", "Folk"}));
    const auto artists = read.equal_range("ARTIST");
    ASSERT_NE(artists.first, artists.second);
    EXPECT_EQ(artists.first->second, "Ann");
}

TEST(CreationDate, IsTheTimeOfWritingOrSourceDateEpoch) {
    const auto now = std::chrono::system_clock::time_point(std::chrono::seconds(1700000000)) +
                     std::chrono::microseconds(250);
    const std::uint64_t nowFileTime = kFileTime1970 + 1700000000ULL * 10000000ULL + 2500;
    EXPECT_EQ(CreationFileTime(nullptr, now), nowFileTime);
    EXPECT_EQ(CreationFileTime("0", now), kFileTime1970);
    EXPECT_EQ(CreationFileTime("86400", now), kFileTime1970 + 86400ULL * 10000000ULL);
    // Text that is no count of seconds is ignored.
    for (const char* text : {"", "-5", "12x", " 1", "1.5", "99999999999999999999"}) {
        EXPECT_EQ(CreationFileTime(text, now), nowFileTime) << text;
    }
}

TEST(CreationDate, WrittenFilesCarryIt) {
    TemporaryFolder folder;
    {
        ScopedEnvironment unset("SOURCE_DATE_EPOCH", nullptr);
        const auto before = CreationFileTime(nullptr, std::chrono::system_clock::now());
        WriteTaggedFile(folder.File("now.wma"), {});
        const auto after = CreationFileTime(nullptr, std::chrono::system_clock::now());
        const auto written = CreationDateOf(folder.File("now.wma"));
        ASSERT_TRUE(written);
        EXPECT_GE(*written, before);
        EXPECT_LE(*written, after);
    }
    // With SOURCE_DATE_EPOCH the same input makes the same bytes.
    ScopedEnvironment fixed("SOURCE_DATE_EPOCH", "1234567890");
    HeaderAttributes store;
    ASSERT_EQ(SetString(store, u"title", u"Same"), S_OK);
    WriteTaggedFile(folder.File("a.wma"), store.Snapshot());
    WriteTaggedFile(folder.File("b.wma"), store.Snapshot());
    EXPECT_EQ(CreationDateOf(folder.File("a.wma")), kFileTime1970 + 1234567890ULL * 10000000ULL);
    const std::string a = ReadFile(folder.File("a.wma"));
    EXPECT_FALSE(a.empty());
    EXPECT_TRUE(a == ReadFile(folder.File("b.wma"))) << "bit-exact";
}

// FFmpeg keeps the last value it meets: the content description comes last,
// so it shows the first title and artist; of another name it shows the last.
TEST(FfprobeReading, ShowsTheFirstTitleAndArtist) {
    if (!std::filesystem::exists("/usr/bin/ffprobe")) {
        GTEST_SKIP() << "ffprobe is not installed";
    }
    HeaderAttributes store;
    ASSERT_EQ(SetString(store, u"title", u"Tïtle"), S_OK);
    ASSERT_EQ(SetString(store, u"title", u"Other"), S_OK);
    ASSERT_EQ(SetString(store, u"artist", u"Ann"), S_OK);
    ASSERT_EQ(SetString(store, u"artist", u"Bøb"), S_OK);
    ASSERT_EQ(SetString(store, u"WM/Year", u"1999"), S_OK);
    ASSERT_EQ(SetString(store, u"WM/Year", u"2001"), S_OK);
    ASSERT_EQ(SetString(store, u"mood", u"calm"), S_OK);
    TemporaryFolder folder;
    const auto path = folder.File("tags.wma");
    std::unique_ptr<EncodingSession> session;
    const EncoderTarget target{WAVE_FORMAT_WMAUDIO2, 44100, 2, 64000, 2973, {}};
    ASSERT_EQ(EncodingSession::Start(path, {{target, {44100, 2}}}, store.Snapshot(), &session),
              S_OK);
    ASSERT_EQ(session->Finish(), S_OK);
    const auto [status, output, errors] =
        RunCommand("/usr/bin/ffprobe -v error -show_entries format_tags:format=duration "
                   "-of default=noprint_wrappers=1 " +
                   ShellQuote(path));
    EXPECT_EQ(status, 0) << errors;
    EXPECT_NE(output.find("TAG:title=Tïtle\n"), std::string::npos) << output;
    EXPECT_NE(output.find("TAG:artist=Ann\n"), std::string::npos) << output;
    EXPECT_NE(output.find("TAG:WM/Year=2001\n"), std::string::npos) << output;
    EXPECT_NE(output.find("TAG:WM/Mood=calm\n"), std::string::npos) << output;
    // No audio was pushed: the file says so (a length of nothing is no length at all).
    EXPECT_NE(output.find("duration=N/A\n"), std::string::npos) << output;
}

} // namespace
