// The metadata editor on finished files: attributes added, replaced and read
// back; the file written again only whole (a failure leaves it as it was and
// nothing behind); big pictures in the metadata library; links kept.
#include "core/com_ptr.h"
#include "tagged_files.h"

#include "platform/wmsdk.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>

namespace {

using namespace writer;
using namespace writer_test;
namespace fs = std::filesystem;

std::vector<BYTE> Pattern(std::size_t size, unsigned seed) {
    std::vector<BYTE> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<BYTE>((i * 131 + seed) ^ (i >> 9));
    }
    return bytes;
}

// A WM/Picture value: a front cover with these bytes, as PNG.
std::vector<BYTE> PictureValue(const std::vector<BYTE>& data) {
    std::vector<BYTE> value{3};
    for (int i = 0; i < 4; ++i) {
        value.push_back(static_cast<BYTE>(data.size() >> (8 * i)));
    }
    const auto mime = StringValue(u"image/png");
    const auto description = StringValue(u"cover");
    value.insert(value.end(), mime.begin(), mime.end());
    value.insert(value.end(), description.begin(), description.end());
    value.insert(value.end(), data.begin(), data.end());
    return value;
}

std::string Hex(const std::vector<BYTE>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const BYTE b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

// A file size limit for this process, as a full disk would impose, lifted again
// when the object goes. Writing past it fails instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

class MetadataEditor : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MutagenAvailable()) {
            GTEST_SKIP() << "mutagen is not installed";
        }
        HeaderAttributes store;
        ASSERT_EQ(SetString(store, u"title", u"Tïtle"), S_OK);
        ASSERT_EQ(SetString(store, u"artist", u"Ann"), S_OK);
        ASSERT_EQ(SetString(store, u"artist", u"Bøb"), S_OK);
        path_ = folder_.File("song.wma");
        WriteTaggedFile(path_, store.Snapshot());
        original_ = ReadFile(path_);
    }

    com::Ptr<IWMMetadataEditor> Opened(const std::string& path) {
        com::Ptr<IWMMetadataEditor> editor;
        EXPECT_EQ(WMCreateEditor(editor.Put()), S_OK);
        const auto name = std::u16string(path.begin(), path.end()); // ASCII paths
        EXPECT_EQ(editor->Open(name.c_str()), S_OK);
        return editor;
    }

    static com::Ptr<IWMHeaderInfo3> HeaderOf(const com::Ptr<IWMMetadataEditor>& editor) {
        com::Ptr<IWMHeaderInfo3> header;
        EXPECT_EQ(editor->QueryInterface(IID_IWMHeaderInfo3, header.PutVoid()), S_OK);
        return header;
    }

    static HRESULT AddPicture(IWMHeaderInfo3* header, const std::vector<BYTE>& value) {
        WORD index = 0;
        return header->AddAttribute(0, u"WM/Picture", &index, WMT_TYPE_BINARY, 0, value.data(),
                                    static_cast<DWORD>(value.size()));
    }

    TemporaryFolder folder_;
    std::string path_;
    std::string original_;
};

TEST_F(MetadataEditor, AddedValuesReachTheFileAndTheAudioStaysAsItWas) {
    const auto png = folder_.File("cover.png");
    ASSERT_EQ(RunCommand("/usr/bin/ffmpeg -nostdin -v error -f lavfi -i testsrc=s=40x30 "
                         "-frames:v 1 " +
                         ShellQuote(png))
                  .status,
              0);
    const std::string image = ReadFile(png);
    std::filesystem::remove(png);
    const auto picture = PictureValue(std::vector<BYTE>(image.begin(), image.end()));
    {
        auto editor = Opened(path_);
        auto header = HeaderOf(editor);
        WORD index = 0;
        const auto genre = StringValue(u"Jazz");
        ASSERT_EQ(header->AddAttribute(0, u"genre", &index, WMT_TYPE_STRING, 0, genre.data(),
                                       static_cast<DWORD>(genre.size())),
                  S_OK);
        EXPECT_EQ(index, 3);
        ASSERT_EQ(AddPicture(header.Get(), picture), S_OK);
        EXPECT_EQ(editor->Flush(), S_OK);
        EXPECT_EQ(editor->Flush(), NS_E_INVALID_REQUEST) << "Flush closes the file";
    }
    const std::multimap<std::string, std::string> expected = {
        {"Title", "ASFUnicodeAttribute\tTïtle"},
        {"Author", "ASFUnicodeAttribute\tAnn"},
        {"Author", "ASFUnicodeAttribute\tBøb"},
        {"WM/Genre", "ASFUnicodeAttribute\tJazz"},
        {"WM/Picture", "ASFByteArrayAttribute\t" + Hex(picture)},
    };
    EXPECT_EQ(MutagenTags(path_), expected);
    EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"song.wma"}) << "nothing left behind";

    // Everything after the header object is the same bytes.
    std::size_t headerSize = 0;
    for (int i = 7; i >= 0; --i) {
        headerSize = headerSize << 8 | static_cast<unsigned char>(original_[16 + i]);
    }
    ASSERT_LT(headerSize, original_.size());
    const std::string rewritten = ReadFile(path_);
    const std::string tail = original_.substr(headerSize);
    ASSERT_GT(rewritten.size(), tail.size());
    EXPECT_TRUE(rewritten.compare(rewritten.size() - tail.size(), tail.size(), tail) == 0);
    const auto decoded =
        RunCommand("/usr/bin/ffmpeg -nostdin -v error -i " + ShellQuote(path_) + " -f null -");
    EXPECT_EQ(decoded.status, 0);
    EXPECT_EQ(decoded.err, "");
}

TEST_F(MetadataEditor, APictureTooLongForExtendedContentGoesToTheMetadataLibrary) {
    const auto picture = PictureValue(Pattern(200000, 2));
    {
        auto editor = Opened(path_);
        ASSERT_EQ(AddPicture(HeaderOf(editor).Get(), picture), S_OK);
        ASSERT_EQ(editor->Flush(), S_OK);
    }
    const std::string bytes = ReadFile(path_);
    const std::string library("\x94\x1C\x23\x44\x98\x94\xD1\x49\xA1\x41\x1D\x13\x4E\x45\x70\x54",
                              16);
    const auto libraryAt = bytes.find(library);
    const auto nameAt = bytes.find(std::string("W\0M\0/\0P\0i\0c\0t\0u\0r\0e\0", 20));
    ASSERT_NE(libraryAt, std::string::npos);
    EXPECT_GT(nameAt, libraryAt);
    EXPECT_EQ(MutagenTags(path_).count("WM/Picture"), 1u);
    EXPECT_EQ(MutagenTags(path_).find("WM/Picture")->second,
              "ASFByteArrayAttribute\t" + Hex(picture));

    // Opened again, the editor reads every value back, the picture included.
    auto editor = Opened(path_);
    auto header = HeaderOf(editor);
    WORD count = 0;
    ASSERT_EQ(header->GetAttributeCountEx(0, &count), S_OK);
    ASSERT_EQ(count, 4);
    WCHAR name[16];
    WORD nameLength = 16;
    WMT_ATTR_DATATYPE type{};
    WORD language = 9;
    DWORD length = 0;
    ASSERT_EQ(
        header->GetAttributeByIndexEx(0, 3, name, &nameLength, &type, &language, nullptr, &length),
        S_OK);
    EXPECT_EQ(std::u16string(name), u"WM/Picture");
    EXPECT_EQ(type, WMT_TYPE_BINARY);
    EXPECT_EQ(language, 0);
    ASSERT_EQ(length, picture.size());
    std::vector<BYTE> read(length);
    ASSERT_EQ(header->GetAttributeByIndexEx(0, 3, name, &nameLength, &type, &language, read.data(),
                                            &length),
              S_OK);
    EXPECT_TRUE(read == picture);
    WORD shortLength = 0;
    WORD stream = 0;
    EXPECT_EQ(
        header->GetAttributeByIndex(3, &stream, nullptr, &nameLength, &type, nullptr, &shortLength),
        NS_E_TOO_MUCH_DATA)
        << "a 16-bit length cannot hold it";
    EXPECT_EQ(editor->Close(), S_OK);
}

TEST_F(MetadataEditor, AFailedFlushLeavesTheFileAsItWasAndNothingBehind) {
    auto editor = Opened(path_);
    ASSERT_EQ(AddPicture(HeaderOf(editor).Get(), Pattern(100000, 3)), S_OK);
    {
        FileSizeLimit limit(original_.size() / 2);
        EXPECT_EQ(editor->Flush(), NS_E_FILE_WRITE);
    }
    EXPECT_TRUE(ReadFile(path_) == original_);
    EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"song.wma"});
}

TEST_F(MetadataEditor, WhatADeadRewriteLeftIsClearedByTheNextOne) {
    // In a folder this process has not written to yet (it clears each folder once).
    fs::create_directory(folder_.File("sub"));
    const std::string path = folder_.File("sub/song.wma");
    fs::copy_file(path_, path);
    // A child dies of the file size limit in the middle of writing the file again.
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        com::Ptr<IWMMetadataEditor> editor;
        const auto name = std::u16string(path.begin(), path.end());
        if (WMCreateEditor(editor.Put()) == S_OK && editor->Open(name.c_str()) == S_OK &&
            AddPicture(HeaderOf(editor).Get(), Pattern(100000, 4)) == S_OK) {
            const rlimit limit{original_.size() / 2, original_.size() / 2};
            setrlimit(RLIMIT_FSIZE, &limit);
            editor->Flush();
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    ASSERT_EQ(fs::directory_entry(path).file_size(), original_.size()) << "the file stays whole";
    const auto entries = [&] {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_.File("sub"))) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    };
    ASSERT_EQ(entries().size(), 2u) << "the dead rewrite's file stays until a later run";

    auto editor = Opened(path);
    ASSERT_EQ(AddPicture(HeaderOf(editor).Get(), Pattern(1000, 5)), S_OK);
    EXPECT_EQ(editor->Flush(), S_OK);
    EXPECT_EQ(entries(), std::vector<std::string>{"song.wma"});
}

TEST_F(MetadataEditor, SetReplacesEveryValueAndCloseSavesNothing) {
    {
        auto editor = Opened(path_);
        auto header = HeaderOf(editor);
        const auto one = StringValue(u"Only one");
        ASSERT_EQ(header->SetAttribute(0, u"AUTHOR", WMT_TYPE_STRING, one.data(),
                                       static_cast<WORD>(one.size())),
                  S_OK);
        WORD count = 0;
        ASSERT_EQ(header->GetAttributeCount(0, &count), S_OK);
        EXPECT_EQ(count, 2);
        EXPECT_EQ(header->DeleteAttribute(0, 0), S_OK); // the title
        EXPECT_EQ(header->DeleteAttribute(0, 5), E_INVALIDARG);
        ASSERT_EQ(editor->Flush(), S_OK);
    }
    const std::multimap<std::string, std::string> expected = {
        {"Author", "ASFUnicodeAttribute\tOnly one"}};
    EXPECT_EQ(MutagenTags(path_), expected);

    const std::string before = ReadFile(path_);
    auto editor = Opened(path_);
    ASSERT_EQ(AddPicture(HeaderOf(editor).Get(), Pattern(10, 4)), S_OK);
    EXPECT_EQ(editor->Close(), S_OK);
    EXPECT_TRUE(ReadFile(path_) == before);
}

TEST_F(MetadataEditor, ALinkIsFollowedAndStaysALinkAndLongNamesWork) {
    const std::string longName(250, 'n');
    fs::rename(path_, folder_.File(longName));
    fs::create_symlink(longName, folder_.File("link.wma"));
    auto editor = Opened(folder_.File("link.wma"));
    ASSERT_EQ(AddPicture(HeaderOf(editor).Get(), Pattern(500, 5)), S_OK);
    ASSERT_EQ(editor->Flush(), S_OK);
    EXPECT_TRUE(fs::is_symlink(folder_.File("link.wma")));
    EXPECT_EQ(MutagenTags(folder_.File(longName)).count("WM/Picture"), 1u);
    auto entries = folder_.Entries();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"link.wma", longName}));
}

TEST_F(MetadataEditor, RefusesWhatItCannotEdit) {
    com::Ptr<IWMMetadataEditor> editor;
    ASSERT_EQ(WMCreateEditor(editor.Put()), S_OK);
    EXPECT_EQ(editor->Open(nullptr), E_POINTER);
    EXPECT_EQ(editor->Open(folder_.WideFile("missing.wma").c_str()), NS_E_FILE_OPEN_FAILED);
    EXPECT_EQ(editor->Open(folder_.WideFile("").c_str()), NS_E_FILE_OPEN_FAILED) << "a folder";
    WriteWholeFile(folder_.File("words.wma"), std::string(100, 'w'));
    EXPECT_EQ(editor->Open(folder_.WideFile("words.wma").c_str()), NS_E_INVALID_DATA);
    std::string cut = original_.substr(0, 200); // the header object is longer
    WriteWholeFile(folder_.File("cut.wma"), cut);
    EXPECT_EQ(editor->Open(folder_.WideFile("cut.wma").c_str()), NS_E_INVALID_DATA);
    EXPECT_EQ(editor->Flush(), NS_E_INVALID_REQUEST);
    EXPECT_EQ(editor->Close(), NS_E_INVALID_REQUEST);

    auto header = HeaderOf(editor);
    WORD index = 0;
    const BYTE value[2] = {};
    EXPECT_EQ(header->AddAttribute(0, u"x", &index, WMT_TYPE_STRING, 0, value, 2),
              NS_E_INVALID_REQUEST)
        << "nothing is open";
    ASSERT_EQ(editor->Open(folder_.WideFile("song.wma").c_str()), S_OK);
    EXPECT_EQ(editor->Open(folder_.WideFile("song.wma").c_str()), NS_E_INVALID_REQUEST);
    EXPECT_EQ(header->AddAttribute(0, u"x", &index, WMT_TYPE_STRING, 1, value, 2), E_INVALIDARG)
        << "a language";
    EXPECT_EQ(header->AddAttribute(2, u"x", &index, WMT_TYPE_STRING, 0, value, 2), E_INVALIDARG)
        << "a stream";
    EXPECT_EQ(WMCreateEditor(nullptr), E_POINTER);
}

} // namespace
