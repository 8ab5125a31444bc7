#include "tagged_files.h"

#include "encoding_session.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace writer_test {

HRESULT SetString(writer::HeaderAttributes& store, const char16_t* name,
                  std::u16string_view value) {
    const auto bytes = writer::StringValue(value);
    return store.Set(0, name, WMT_TYPE_STRING, bytes.data(), static_cast<WORD>(bytes.size()));
}

void WriteTaggedFile(const std::string& path,
                     const std::vector<writer::HeaderAttribute>& attributes) {
    std::unique_ptr<writer::EncodingSession> session;
    const writer::EncoderTarget target{WAVE_FORMAT_WMAUDIO2, 44100, 2, 128000, 5945, {}};
    ASSERT_EQ(writer::EncodingSession::Start(path, {{target, {44100, 2}}}, attributes, &session),
              S_OK);
    const auto pcm = Tone(44100, 2, 0.5);
    ASSERT_EQ(session->Write(0, reinterpret_cast<const BYTE*>(pcm.data()), pcm.size() / 2), S_OK);
    ASSERT_EQ(session->Finish(), S_OK);
}

bool MutagenAvailable() {
    return std::filesystem::exists("/usr/bin/python3") &&
           std::system("/usr/bin/python3 -c 'import mutagen' 2>/dev/null") == 0;
}

bool TaglibAvailable() {
    return std::filesystem::exists("/usr/bin/python3") &&
           std::system("/usr/bin/python3 -c 'import taglib' 2>/dev/null") == 0;
}

namespace {

// Runs a reader script on `path`: its lines "name<tab>value" into a map, a
// line "#info<tab>..." into `info`.
std::multimap<std::string, std::string> ReadTagLines(const std::string& script,
                                                     const std::string& path, std::string* info) {
    const auto [status, output, errors] =
        RunCommand("/usr/bin/python3 " WRITER_TEST_SCRIPTS "/" + script + " " + ShellQuote(path));
    EXPECT_EQ(status, 0) << errors;
    std::multimap<std::string, std::string> tags;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto tab = line.find('\t');
        if (line.rfind("#info\t", 0) == 0) {
            if (info != nullptr) {
                *info = line.substr(6);
            }
        } else if (tab != std::string::npos) {
            tags.emplace(line.substr(0, tab), line.substr(tab + 1));
        }
    }
    return tags;
}

} // namespace

std::multimap<std::string, std::string> TaglibTags(const std::string& path) {
    return ReadTagLines("read_asf_taglib.py", path, nullptr);
}

std::multimap<std::string, std::string> MutagenTags(const std::string& path, std::string* info) {
    return ReadTagLines("read_asf_tags.py", path, info);
}

} // namespace writer_test
