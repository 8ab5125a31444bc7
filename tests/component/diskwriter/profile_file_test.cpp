#include "diskwriter/output_path.h"
#include "diskwriter/profile_file.h"

#include "test_host.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace diskwriter_test;

class ProfileFile : public ::testing::Test {
protected:
    HostDouble host;
    InstalledHost installed{host};
    TemporaryFolder folder;
};

TEST(OutputPath, BytesThatAreNotUtf8TravelAsEscapesAndComeBack) {
    const char* name = "/m/album\xE9/caf\xC3\xA9 \xF0\x9F\x8E\xB5 \xFF\xC0\x80.wma";
    const std::u16string wide = WidePathFromBytes(name);
    EXPECT_EQ(wide, u"/m/album\xDCE9/caf\u00E9 \U0001F3B5 \xDCFF\xDCC0\xDC80.wma")
        << "good characters convert, each bad byte is escaped, nothing is cut";
    EXPECT_EQ(BytesFromWidePath(wide.c_str()), name);
}

TEST(ProfileUnits, ByteOrderMarkIsDroppedAndTextStopsAtTheFirstZero) {
    const char16_t units[] = {0xFEFF, u'<', u'p', 0, u'x', 0};
    EXPECT_EQ(Utf8FromProfileUnits(units, 5), "<p");
}

TEST(ProfileUnits, NonAsciiTextIsKeptAsUtf8) {
    const std::u16string text = u"name=\"Caf\u00E9 \u266B \U0001F3B5\"";
    EXPECT_EQ(Utf8FromProfileUnits(text.data(), text.size()),
              "name=\"Caf\xC3\xA9 \xE2\x99\xAB \xF0\x9F\x8E\xB5\"");
}

TEST(ProfileUnits, UnpairedSurrogatesBecomeReplacementCharacters) {
    const char16_t units[] = {u'a', 0xD800, u'b', 0xDC00};
    EXPECT_EQ(Utf8FromProfileUnits(units, 4), "a\xEF\xBF\xBD"
                                              "b\xEF\xBF\xBD");
}

TEST_F(ProfileFile, AnOddLastByteIsNotRead) {
    // 1001 bytes: 500 units of 'A', then one odd byte 'B'.
    std::vector<unsigned char> bytes;
    for (int i = 0; i < 500; ++i) {
        bytes.push_back('A');
        bytes.push_back(0);
    }
    bytes.push_back('B');
    const auto path = folder.Path() / "odd.prx";
    WriteBytes(path, bytes);

    std::string text = "previous";
    ASSERT_TRUE(ReadProfileFile(path.c_str(), text));
    EXPECT_EQ(text, std::string(500, 'A'));
    EXPECT_EQ(host.files.openFiles, 0) << "the file is given back";
}

TEST_F(ProfileFile, ShortReadsAreContinuedUntilTheWholeFileIsIn) {
    const std::u16string profile = u"<profile name=\"Chunked\"/>";
    const auto path = folder.Path() / "chunked.prx";
    WriteBytes(path, Utf16LittleEndian(profile));
    host.files.readLimit = 3;
    std::string text;
    ASSERT_TRUE(ReadProfileFile(path.c_str(), text));
    EXPECT_EQ(text, "<profile name=\"Chunked\"/>");
}

TEST_F(ProfileFile, AFileThatCannotBeOpenedLeavesTheTextAlone) {
    std::string text = "previous";
    EXPECT_FALSE(ReadProfileFile((folder.Path() / "missing.prx").c_str(), text));
    EXPECT_FALSE(ReadProfileFile("relative/path.prx", text)) << "no file system owns it";
    EXPECT_EQ(text, "previous");
    EXPECT_EQ(host.files.openFiles, 0);
}

TEST_F(ProfileFile, EmptyFilesGiveTheEmptyTextAndUtf8IsReadAsIs) {
    const auto empty = folder.Path() / "empty.prx";
    WriteBytes(empty, {});
    std::string text = "previous";
    EXPECT_TRUE(ReadProfileFile(empty.c_str(), text));
    EXPECT_EQ(text, "");

    const auto utf8 = folder.Path() / "utf8.prx";
    WriteBytes(utf8, {0xEF, 0xBB, 0xBF, '<', 'p', ' ', 'n', '=', 0xC3, 0xA9, 0xFF, '>'});
    EXPECT_TRUE(ReadProfileFile(utf8.c_str(), text));
    EXPECT_EQ(text, "<p n=\xC3\xA9\xEF\xBF\xBD>") << "mark dropped, a bad byte replaced";
}

TEST(ProfileBytes, Utf16IsKnownByItsMarkOrItsZeroBytesInEitherOrder) {
    const unsigned char little[] = {'<', 0, 'p', 0, '>', 0};
    EXPECT_EQ(Utf8FromProfileBytes(little, sizeof little), "<p>");
    const unsigned char big[] = {0xFE, 0xFF, 0, '<', 0, 0xE9, 0, '>', 0};
    EXPECT_EQ(Utf8FromProfileBytes(big, sizeof big), "<\xC3\xA9>") << "the odd byte is not read";
    const unsigned char bigWithoutMark[] = {0, '<', 0, '>'};
    EXPECT_EQ(Utf8FromProfileBytes(bigWithoutMark, sizeof bigWithoutMark), "<>");
}

} // namespace
