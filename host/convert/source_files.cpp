#include "convert/source_files.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <utility>

namespace fs = std::filesystem;

namespace vantrel {
namespace {

// Extensions of the audio formats FFmpeg's demuxers read, lower case.
constexpr std::array<std::string_view, 36> kAudioExtensions{
    "aac", "ac3",  "aif",  "aifc", "aiff", "alac", "amr", "ape", "au",  "caf",  "dff", "dsf",
    "dts", "eac3", "flac", "m4a",  "m4b",  "mka",  "mp2", "mp3", "mpc", "oga",  "ogg", "opus",
    "ra",  "rf64", "shn",  "snd",  "spx",  "tak",  "tta", "w64", "wav", "weba", "wma", "wv"};

std::string lower_extension(const fs::path& path) {
    std::string ext = path.extension().string();
    if (!ext.empty())
        ext.erase(0, 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

using FolderIdentity = std::pair<dev_t, ino_t>;

bool identity_of(const fs::path& folder, FolderIdentity& identity) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0)
        return false;
    identity = {st.st_dev, st.st_ino};
    return true;
}

class FolderSearch {
public:
    FolderSearch(std::string skip_extension, std::vector<SourceFile>& found,
                 std::vector<std::string>& problems)
        : skip_(std::move(skip_extension)), found_(found), problems_(problems) {}

    // `ancestors` holds the folders on the way down, so a link back up to one of
    // them is not followed into a loop.
    void search(const fs::path& folder, const fs::path& relative) {
        FolderIdentity identity;
        if (!identity_of(folder, identity) || !ancestors_.insert(identity).second)
            return;
        std::error_code ec;
        std::vector<fs::directory_entry> entries;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            entries.push_back(*it);
        if (ec)
            problems_.push_back("cannot read folder " + folder.string() + ": " + ec.message());
        std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
            return a.path().filename() < b.path().filename();
        });
        for (const fs::directory_entry& entry : entries) {
            const fs::path name = entry.path().filename();
            if (name.string().front() == '.')
                continue;
            if (entry.is_directory(ec)) {
                search(entry.path(), relative / name);
            } else if (entry.is_regular_file(ec) && has_audio_extension(name.string()) &&
                       lower_extension(name) != skip_) {
                found_.push_back({entry.path().string(), relative.string()});
            }
        }
        ancestors_.erase(identity);
    }

private:
    std::string skip_;
    std::vector<SourceFile>& found_;
    std::vector<std::string>& problems_;
    std::set<FolderIdentity> ancestors_;
};

} // namespace

bool has_audio_extension(const std::string& name) {
    const std::string ext = lower_extension(fs::path(name));
    return std::find(kAudioExtensions.begin(), kAudioExtensions.end(), ext) !=
           kAudioExtensions.end();
}

std::vector<SourceFile> expand_inputs(const std::vector<std::string>& inputs,
                                      const std::string& skip_extension,
                                      std::vector<std::string>& problems) {
    std::vector<SourceFile> sources;
    for (const std::string& input : inputs) {
        std::error_code ec;
        if (!fs::is_directory(input, ec)) {
            sources.push_back({input, {}});
            continue;
        }
        FolderSearch(skip_extension, sources, problems).search(input, {});
    }
    return sources;
}

} // namespace vantrel
