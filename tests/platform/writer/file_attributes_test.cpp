// Header attributes: stored with their types, the last value set for a name
// wins, and every one reads back under its own name in independent readers.
#include "encoding_session.h"
#include "header_attributes.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>

namespace {

using namespace writer;
using namespace writer_test;

std::vector<BYTE> Utf16Bytes(std::u16string_view text) {
    std::vector<BYTE> bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<BYTE>(unit & 0xFF));
        bytes.push_back(static_cast<BYTE>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

HRESULT SetString(HeaderAttributes& store, const char16_t* name, std::u16string_view value) {
    const auto bytes = Utf16Bytes(value);
    return store.Set(0, name, WMT_TYPE_STRING, bytes.data(), static_cast<WORD>(bytes.size()));
}

template <class T>
HRESULT SetValue(HeaderAttributes& store, const char16_t* name, WMT_ATTR_DATATYPE type, T value) {
    BYTE bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    return store.Set(0, name, type, bytes, sizeof(T));
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

TEST(HeaderAttributes, TheLastValueForANameWinsInItsFirstPlace) {
    HeaderAttributes store;
    EXPECT_EQ(SetString(store, u"A", u"one"), S_OK);
    EXPECT_EQ(SetString(store, u"B", u"two"), S_OK);
    EXPECT_EQ(SetValue<DWORD>(store, u"A", WMT_TYPE_DWORD, 7), S_OK);
    EXPECT_EQ(SetString(store, u"a", u"other case"), S_OK); // names are case-sensitive
    const auto all = store.Snapshot();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].name, u"A");
    EXPECT_EQ(all[0].type, WMT_TYPE_DWORD);
    EXPECT_EQ(all[1].name, u"B");
    EXPECT_EQ(all[2].name, u"a");
}

TEST(HeaderAttributes, StringsAreKeptTerminated) {
    HeaderAttributes store;
    const BYTE unterminated[] = {'h', 0, 'i', 0};
    EXPECT_EQ(store.Set(0, u"s", WMT_TYPE_STRING, unterminated, 4), S_OK);
    const BYTE empty[] = {0, 0};
    EXPECT_EQ(store.Set(0, u"e", WMT_TYPE_STRING, empty, 2), S_OK);
    const auto all = store.Snapshot();
    EXPECT_EQ(all[0].value, (std::vector<BYTE>{'h', 0, 'i', 0, 0, 0}));
    EXPECT_EQ(all[1].value, (std::vector<BYTE>{0, 0}));
}

TEST(HeaderAttributes, ASealedStoreRefusesChangesUntilUnsealed) {
    HeaderAttributes store;
    EXPECT_EQ(SetString(store, u"A", u"x"), S_OK);
    EXPECT_EQ(store.SnapshotAndSeal().size(), 1u);
    EXPECT_EQ(SetString(store, u"A", u"y"), NS_E_INVALID_REQUEST);
    store.Unseal();
    EXPECT_EQ(SetString(store, u"A", u"y"), S_OK);
}

// name -> "type\tvalue" lines, as mutagen reads the file.
std::multimap<std::string, std::string> MutagenTags(const std::string& path, std::string* info) {
    const auto [status, output, errors] =
        RunCommand("/usr/bin/python3 " WRITER_TEST_SCRIPTS "/read_asf_tags.py " + ShellQuote(path));
    EXPECT_EQ(status, 0) << errors;
    std::multimap<std::string, std::string> tags;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto tab = line.find('\t');
        if (line.rfind("#info\t", 0) == 0) {
            *info = line.substr(6);
        } else if (tab != std::string::npos) {
            tags.emplace(line.substr(0, tab), line.substr(tab + 1));
        }
    }
    return tags;
}

TEST(FileAttributes, EveryAttributeReadsBackUnderItsOwnNameWithItsType) {
    if (!std::filesystem::exists("/usr/bin/python3") ||
        std::system("/usr/bin/python3 -c 'import mutagen' 2>/dev/null") != 0) {
        GTEST_SKIP() << "mutagen is not installed";
    }
    HeaderAttributes store;
    ASSERT_EQ(SetString(store, u"Title", u"First title"), S_OK);
    ASSERT_EQ(SetString(store, u"Author", u"Ærøskøbing Ensemble ☃ 𝄞"), S_OK);
    ASSERT_EQ(SetString(store, u"Copyright", u"(c) nobody"), S_OK);
    ASSERT_EQ(SetString(store, u"Description", u"a comment"), S_OK);
    ASSERT_EQ(SetString(store, u"Rating", u"5"), S_OK);
    ASSERT_EQ(SetString(store, u"WM/AlbumTitle", u"Album"), S_OK);
    ASSERT_EQ(SetString(store, u"title", u"lower-case name"), S_OK);
    ASSERT_EQ(SetString(store, u"comment", u"stays comment"), S_OK);
    ASSERT_EQ(SetString(store, u"artist", u"stays artist"), S_OK);
    ASSERT_EQ(SetString(store, u"WM/Year", u"1999"), S_OK);
    ASSERT_EQ(SetString(store, u"WM/Year", u"2001"), S_OK); // set twice: the last wins
    ASSERT_EQ(SetString(store, u"Названия", u"значение"), S_OK);
    ASSERT_EQ(SetString(store, u"Empty", u""), S_OK);
    ASSERT_EQ(SetString(store, u"Title", u"Second title"), S_OK);
    ASSERT_EQ(SetValue<DWORD>(store, u"Count", WMT_TYPE_DWORD, 123456), S_OK);
    ASSERT_EQ(SetValue<QWORD>(store, u"Big", WMT_TYPE_QWORD, 1ULL << 40), S_OK);
    ASSERT_EQ(SetValue<WORD>(store, u"Small", WMT_TYPE_WORD, 513), S_OK);
    ASSERT_EQ(SetValue<BOOL>(store, u"Flag", WMT_TYPE_BOOL, TRUE), S_OK);
    const BYTE blob[] = {0xDE, 0xAD, 0x00, 0xBE, 0xEF};
    ASSERT_EQ(store.Set(0, u"Blob", WMT_TYPE_BINARY, blob, sizeof(blob)), S_OK);

    TemporaryFolder folder;
    const auto path = folder.File("tags.wma");
    std::unique_ptr<EncodingSession> session;
    const EncoderTarget target{WAVE_FORMAT_WMAUDIO2, 44100, 2, 128000, 5945, {}};
    ASSERT_EQ(EncodingSession::Start(path, {{target, {44100, 2}}}, store.Snapshot(), &session),
              S_OK);
    const auto pcm = Tone(44100, 2, 2.0);
    ASSERT_EQ(session->Write(0, reinterpret_cast<const BYTE*>(pcm.data()), 88200), S_OK);
    ASSERT_EQ(session->Finish(), S_OK);

    std::string info;
    const auto tags = MutagenTags(path, &info);
    EXPECT_EQ(info, "Windows Media Audio V8\t44100\t2\t2.000");
    const std::multimap<std::string, std::string> expected = {
        {"Title", "ASFUnicodeAttribute\tSecond title"},
        {"Author", "ASFUnicodeAttribute\tÆrøskøbing Ensemble ☃ 𝄞"},
        {"Copyright", "ASFUnicodeAttribute\t(c) nobody"},
        {"Description", "ASFUnicodeAttribute\ta comment"},
        {"Rating", "ASFUnicodeAttribute\t5"},
        {"WM/AlbumTitle", "ASFUnicodeAttribute\tAlbum"},
        {"title", "ASFUnicodeAttribute\tlower-case name"},
        {"comment", "ASFUnicodeAttribute\tstays comment"},
        {"artist", "ASFUnicodeAttribute\tstays artist"},
        {"WM/Year", "ASFUnicodeAttribute\t2001"},
        {"Названия", "ASFUnicodeAttribute\tзначение"},
        {"Empty", "ASFUnicodeAttribute\t"},
        {"Count", "ASFDWordAttribute\t123456"},
        {"Big", "ASFQWordAttribute\t1099511627776"},
        {"Small", "ASFWordAttribute\t513"},
        {"Flag", "ASFBoolAttribute\ttrue"},
        {"Blob", "ASFByteArrayAttribute\tdead00beef"},
    };
    EXPECT_EQ(tags, expected);
}

TEST(FileAttributes, FfprobeReadsTheAttributes) {
    if (!std::filesystem::exists("/usr/bin/ffprobe")) {
        GTEST_SKIP() << "ffprobe is not installed";
    }
    HeaderAttributes store;
    ASSERT_EQ(SetString(store, u"Title", u"Tïtle"), S_OK);
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
    EXPECT_NE(output.find("TAG:WM/Year=2001\n"), std::string::npos) << output;
    EXPECT_EQ(output.find("1999"), std::string::npos) << output;
    EXPECT_NE(output.find("TAG:mood=calm\n"), std::string::npos) << output;
    // No audio was pushed: at most the one codec frame the file holds.
    const auto at = output.find("duration=");
    ASSERT_NE(at, std::string::npos);
    EXPECT_LE(std::stod(output.substr(at + 9)), 2048.0 / 44100.0 + 0.001);
}

} // namespace
