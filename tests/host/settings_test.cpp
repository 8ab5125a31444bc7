#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "settings/profile_file.h"
#include "settings/settings_store.h"
#include "settings/writer_settings.h"
#include "test_support.h"

namespace vantrel {
namespace {

using testing::TemporaryFolder;
namespace fs = std::filesystem;

TEST(SettingsFolder, PrefersAnAbsoluteXdgConfigHome) {
    EXPECT_EQ(settings_folder("/cfg", "/home/u"), "/cfg/vantrel");
    EXPECT_EQ(settings_folder("relative/cfg", "/home/u"), "/home/u/.config/vantrel");
    EXPECT_EQ(settings_folder("", "/home/u"), "/home/u/.config/vantrel");
    EXPECT_EQ(settings_folder(nullptr, "/home/u"), "/home/u/.config/vantrel");
    EXPECT_THROW(settings_folder(nullptr, nullptr), SettingsError);
    EXPECT_THROW(settings_folder("rel", ""), SettingsError);
}

TEST(SettingsFolder, OneFilePerDiskWriterIdentifier) {
    EXPECT_EQ(settings_file("/cfg/vantrel", "{0741CABB-F7FA-4B3B-8E7C-B8E72A264D32}"),
              "/cfg/vantrel/diskwriter-0741cabb-f7fa-4b3b-8e7c-b8e72a264d32.cfg");
}

TEST(SettingsStore, SavesAndLoadsABlockCreatingTheFolder) {
    TemporaryFolder dir;
    std::string file = dir.File("deep/er/vantrel/w.cfg");
    EXPECT_EQ(load_settings(file), std::nullopt);
    std::vector<std::uint8_t> block{9, 0, 0, 0, 2, 0, 0, 0, 'h', 'i'};
    save_settings(file, block);
    EXPECT_EQ(load_settings(file), block);
    save_settings(file, {2, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(load_settings(file), (std::vector<std::uint8_t>{2, 0, 0, 0, 0, 0, 0, 0}));
    // Nothing is left beside the file.
    int entries = 0;
    for ([[maybe_unused]] auto& entry :
         std::filesystem::directory_iterator(dir.File("deep/er/vantrel")))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(SettingsStore, AFolderInTheWayIsAnError) {
    TemporaryFolder dir;
    std::ofstream(dir.File("blocker")) << "x";
    EXPECT_THROW(save_settings(dir.File("blocker/w.cfg"), {1, 2}), SettingsError);
}

TEST(StoredBlock, UsedWhenCompleteElseTheDefaultWithAReason) {
    TemporaryFolder dir;
    const std::string file = dir.File("w.cfg");
    const std::vector<std::uint8_t> fallback{2, 0, 0, 0, 0, 0, 0, 0};
    std::string warning;
    EXPECT_EQ(stored_or_default_block(file, warning), fallback);
    EXPECT_EQ(warning, "") << "nothing saved yet is no problem";

    const std::vector<std::uint8_t> custom{9, 0, 0, 0, 2, 0, 0, 0, 'h', 'i'};
    save_settings(file, custom);
    EXPECT_EQ(stored_or_default_block(file, warning), custom);
    EXPECT_EQ(warning, "");

    save_settings(file, {10, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(stored_or_default_block(file, warning), fallback);
    EXPECT_NE(warning.find("name no preset"), std::string::npos) << warning;

    warning.clear();
    save_settings(file, {5, 0, 0, 0, 3, 0, 0, 0, 'a'});
    EXPECT_EQ(stored_or_default_block(file, warning), fallback);
    EXPECT_NE(warning.find("damaged"), std::string::npos) << warning;
}

TEST(StoredBlock, OnlyARegularFileOfModestSizeIsRead) {
    TemporaryFolder dir;
    const std::vector<std::uint8_t> fallback{2, 0, 0, 0, 0, 0, 0, 0};
    fs::create_directory(dir.Path() / "folder.cfg");
    ASSERT_EQ(::mkfifo(dir.File("fifo.cfg").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir.Path() / "zero.cfg");
    std::ofstream(dir.File("huge.cfg")) << std::string(2 << 20, 'x');
    for (const char* name : {"folder.cfg", "fifo.cfg", "zero.cfg", "huge.cfg"}) {
        std::string warning;
        EXPECT_EQ(stored_or_default_block(dir.File(name), warning), fallback) << name;
        EXPECT_NE(warning.find(dir.File(name)), std::string::npos) << warning;
        EXPECT_NE(warning.find("using the default"), std::string::npos) << warning;
    }
}

std::string utf16le(const std::u16string& text, bool bom) {
    std::string bytes = bom ? std::string("\xFF\xFE") : std::string();
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

TEST(ProfileFile, ReadsUtf16WithOrWithoutByteOrderMark) {
    std::u16string text = u"<profile name=\"Mé\u00e9 \U0001F3B5\"/>";
    std::string expected = "<profile name=\"Mé\u00e9 \U0001F3B5\"/>";
    EXPECT_EQ(profile_text_to_utf8(utf16le(text, true)), expected);
    EXPECT_EQ(profile_text_to_utf8(utf16le(text, false)), expected);
    std::string big = "\xFE\xFF";
    for (char16_t c : std::u16string(u"<profile/>")) {
        big += static_cast<char>(c >> 8);
        big += static_cast<char>(c & 0xFF);
    }
    EXPECT_EQ(profile_text_to_utf8(big), "<profile/>");
    EXPECT_EQ(profile_text_to_utf8(utf16le(u"<p/>", true) + std::string(2, '\0')), "<p/>");
}

TEST(ProfileFile, ReadsUtf8AndDropsItsByteOrderMark) {
    EXPECT_EQ(profile_text_to_utf8("\xEF\xBB\xBF<profile/>"), "<profile/>");
    EXPECT_EQ(profile_text_to_utf8("<profile name=\"Ä\"/>"), "<profile name=\"Ä\"/>");
}

TEST(ProfileFile, RefusesBytesThatAreNotText) {
    EXPECT_THROW(profile_text_to_utf8("<pro\xFF\xFE\x80"), ProfileFileError);
    EXPECT_THROW(profile_text_to_utf8(std::string("<a>\0<b>", 7)), ProfileFileError);
    // A high surrogate followed by a letter, and a low surrogate alone.
    EXPECT_THROW(profile_text_to_utf8(utf16le(u"<a", true) + std::string("\x00\xD8"
                                                                         "a\x00",
                                                                         4)),
                 ProfileFileError);
    EXPECT_THROW(profile_text_to_utf8(std::string("\xFF\xFE<\x00\x00\xDC", 6)), ProfileFileError);
    EXPECT_THROW(profile_text_to_utf8(std::string("\xFF\xFE<\x00>", 5)), ProfileFileError);
}

TEST(ProfileFile, NamesTheFileAndTheProblem) {
    TemporaryFolder dir;
    try {
        read_profile_file(dir.File("missing.prx"));
        FAIL();
    } catch (const ProfileFileError& e) {
        EXPECT_NE(std::string(e.what()).find("missing.prx"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("No such file"), std::string::npos);
    }
    std::ofstream(dir.File("notes.prx")) << "just some words";
    try {
        read_profile_file(dir.File("notes.prx"));
        FAIL();
    } catch (const ProfileFileError& e) {
        EXPECT_NE(std::string(e.what()).find("not a Windows Media profile"), std::string::npos);
    }
    std::ofstream(dir.File("good.prx"), std::ios::binary)
        << utf16le(u"<Profile version=\"1\"/>", true);
    EXPECT_EQ(read_profile_file(dir.File("good.prx")), "<Profile version=\"1\"/>");
}

} // namespace
} // namespace vantrel
