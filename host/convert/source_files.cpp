#include "convert/source_files.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <utility>

namespace vantrel {
namespace {

// Extensions of the audio formats FFmpeg's demuxers read, lower case.
constexpr std::array<std::string_view, 36> kAudioExtensions{
    "aac", "ac3",  "aif",  "aifc", "aiff", "alac", "amr", "ape", "au",  "caf",  "dff", "dsf",
    "dts", "eac3", "flac", "m4a",  "m4b",  "mka",  "mp2", "mp3", "mpc", "oga",  "ogg", "opus",
    "ra",  "rf64", "shn",  "snd",  "spx",  "tak",  "tta", "w64", "wav", "weba", "wma", "wv"};

std::string lower_extension(std::string_view name) {
    const auto slash = name.rfind('/');
    if (slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    std::string ext(name.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

// Path order component by component: "A/x" before "A b/y", as a walk that
// sorts each folder's names gives them.
bool path_before(const SourceFile& a, const SourceFile& b) {
    auto rank = [](char c) { return c == '/' ? 0 : static_cast<unsigned char>(c) + 1; };
    return std::lexicographical_compare(a.path.begin(), a.path.end(), b.path.begin(), b.path.end(),
                                        [&](char x, char y) { return rank(x) < rank(y); });
}

std::string joined(const std::string& folder, const std::string& name) {
    return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

FileFacts facts_of(const struct stat& st) {
    return {st.st_dev, st.st_ino, static_cast<mode_t>(st.st_mode & S_IFMT), st.st_mtim};
}

SourceFile problem(std::string path, std::string subfolder, const std::string& reason) {
    SourceFile file;
    file.path = std::move(path);
    file.subfolder = std::move(subfolder);
    file.problem = reason;
    return file;
}

SourceFile passed_over(std::string path, SkipReason reason) {
    SourceFile file;
    file.path = std::move(path);
    file.passed_over = reason;
    return file;
}

std::string open_problem(int error) {
    return std::string("cannot open: ") + std::strerror(error);
}

// Why an input named on the command line is not there, naming what is missing:
// the file itself, a folder on its way, or a file standing where a folder
// should be.
std::string missing_input(const std::string& input, int error) {
    if (error != ENOENT && error != ENOTDIR)
        return open_problem(error);
    std::string missing;
    for (std::filesystem::path folder = std::filesystem::path(input).parent_path();
         !folder.empty() && folder != folder.parent_path(); folder = folder.parent_path()) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return "input not found: " + folder.string() + " is a file, not a folder";
            break;
        }
        missing = folder.string();
    }
    if (!missing.empty())
        return "input not found: folder " + missing + " does not exist";
    return "input not found";
}

// Why a found link cannot be read: where it leads, when that is missing.
std::string link_problem(const std::string& link, int error) {
    char target[PATH_MAX];
    const ssize_t size = error == ENOENT ? ::readlink(link.c_str(), target, sizeof target) : -1;
    if (size <= 0 || static_cast<std::size_t>(size) >= sizeof target)
        return open_problem(error);
    return "a link to " + std::string(target, static_cast<std::size_t>(size)) +
           ", which does not exist";
}

// One input folder: each folder below it is read once, by name (paths stay
// below PATH_MAX, so no descriptor is held per level and depth costs none).
class FolderWalk {
public:
    FolderWalk(std::vector<SourceFile>& found, const WalkRequest& request)
        : found_(found), request_(request) {}

    void run(const std::string& root) {
        const std::size_t first = found_.size();
        search(root, {});
        for (std::size_t i = 0; i < deferred_.size(); ++i) {
            auto [path, relative] = deferred_[i];
            struct stat st {};
            if (::stat(path.c_str(), &st) != 0)
                found_.push_back(problem(path, relative, open_problem(errno)));
            else if (visited_.count({st.st_dev, st.st_ino}))
                found_.push_back(passed_over(path, SkipReason::folder_searched));
            else
                search(path, relative);
        }
        std::stable_sort(found_.begin() + static_cast<std::ptrdiff_t>(first), found_.end(),
                         path_before);
    }

private:
    struct Entry {
        std::string name;
        unsigned char type;
    };

    // The entries of `folder` in name order; false when it cannot be read.
    bool read_folder(const std::string& folder, const std::string& relative,
                     std::vector<Entry>& entries) {
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) {
            found_.push_back(problem(
                folder, relative, std::string("cannot read the folder: ") + std::strerror(errno)));
            return false;
        }
        struct stat st {};
        if (::fstat(::dirfd(dir), &st) != 0 || !visited_.insert({st.st_dev, st.st_ino}).second) {
            // A folder mounted again below itself.
            ::closedir(dir);
            found_.push_back(passed_over(folder, SkipReason::folder_searched));
            return false;
        }
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir);
            if (!entry)
                break;
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                entries.push_back({entry->d_name, entry->d_type});
        }
        const int error = errno;
        ::closedir(dir);
        if (error != 0)
            found_.push_back(
                problem(folder, relative,
                        std::string("cannot read all of the folder: ") + std::strerror(error)));
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return a.name < b.name; });
        return true;
    }

    void search(const std::string& folder, const std::string& relative) {
        std::vector<Entry> entries;
        if (!read_folder(folder, relative, entries))
            return;
        for (const Entry& entry : entries) {
            std::string path = joined(folder, entry.name);
            std::string below = relative.empty() ? entry.name : relative + "/" + entry.name;
            if (entry.name.front() == '.') {
                found_.push_back(passed_over(std::move(path), SkipReason::hidden));
                continue;
            }
            if (path.size() >= PATH_MAX) {
                found_.push_back(problem(std::move(path), relative,
                                         "its path is longer than " + std::to_string(PATH_MAX - 1) +
                                             " bytes, the most the system takes"));
                continue;
            }
            unsigned char type = entry.type;
            struct stat st {};
            bool looked = false;
            if (type == DT_UNKNOWN) {
                if (::lstat(path.c_str(), &st) == 0)
                    type = S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
                looked = type != DT_LNK && type != DT_UNKNOWN;
            }
            if (type == DT_DIR) {
                search(path, below);
                continue;
            }
            const bool wanted = has_audio_extension(entry.name) ||
                                has_extension(entry.name, request_.output_extension);
            if (type == DT_LNK) {
                if (::stat(path.c_str(), &st) != 0) {
                    const int error = errno;
                    found_.push_back(wanted ? problem(path, relative, link_problem(path, error))
                                            : passed_over(std::move(path), SkipReason::not_audio));
                    continue;
                }
                looked = true;
                if (S_ISDIR(st.st_mode)) {
                    deferred_.emplace_back(std::move(path), std::move(below));
                    continue;
                }
            }
            if (!wanted) {
                found_.push_back(passed_over(std::move(path), SkipReason::not_audio));
                continue;
            }
            if (!looked && ::stat(path.c_str(), &st) != 0) {
                found_.push_back(problem(std::move(path), relative, open_problem(errno)));
                continue;
            }
            SourceFile source;
            source.path = std::move(path);
            source.subfolder = relative;
            source.facts = facts_of(st);
            found_.push_back(std::move(source));
        }
    }

    std::vector<SourceFile>& found_;
    const WalkRequest& request_;
    std::unordered_set<FileIdentity, FileIdentityHash> visited_;
    std::vector<std::pair<std::string, std::string>> deferred_; // links to folders
};

} // namespace

bool has_audio_extension(const std::string& name) {
    const std::string ext = lower_extension(name);
    return std::find(kAudioExtensions.begin(), kAudioExtensions.end(), ext) !=
           kAudioExtensions.end();
}

bool has_extension(const std::string& name, const std::string& extension) {
    const std::string ext = lower_extension(name);
    return !ext.empty() && ext.size() == extension.size() &&
           std::equal(ext.begin(), ext.end(), extension.begin(), [](char a, char b) {
               return a == std::tolower(static_cast<unsigned char>(b));
           });
}

WalkResult expand_inputs(const std::vector<std::string>& inputs, const WalkRequest& request) {
    WalkResult result;
    std::unordered_set<std::string> given;
    for (const std::string& input : inputs) {
        std::string normal = std::filesystem::path(input).lexically_normal().string();
        while (normal.size() > 1 && normal.ends_with('/'))
            normal.pop_back();
        if (!given.insert(std::move(normal)).second) {
            result.warnings.push_back(input + " is given more than once; it is taken once");
            continue;
        }
        struct stat st {};
        if (::stat(input.c_str(), &st) != 0) {
            SourceFile missing = problem(input, {}, missing_input(input, errno));
            missing.named = true;
            result.found.push_back(std::move(missing));
        } else if (S_ISDIR(st.st_mode)) {
            FolderWalk(result.found, request).run(input);
        } else {
            SourceFile source;
            source.path = input;
            source.named = true;
            source.facts = facts_of(st);
            result.found.push_back(std::move(source));
        }
    }
    return result;
}

} // namespace vantrel
