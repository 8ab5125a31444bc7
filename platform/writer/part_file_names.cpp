#include "part_file_names.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace writer {
namespace {

constexpr char kPrefix[] = ".wmwriter-";
constexpr char kSuffix[] = ".part";

// Digits from `text` up to `end`; false when there are none or they overflow.
bool ReadNumber(const char*& text, char end, unsigned long long* value) {
    const char* start = text;
    *value = 0;
    while (*text >= '0' && *text <= '9') {
        if (*value > 0xFFFFFFFFull) {
            return false;
        }
        *value = *value * 10 + static_cast<unsigned>(*text++ - '0');
    }
    return text != start && *text == end;
}

bool Running(pid_t process) {
    return kill(process, 0) == 0 || errno == EPERM;
}

// Seconds since the epoch at which the machine started; 0 when unknown.
long long BootTime() {
    static const long long boot = [] {
        long long seconds = 0;
        if (std::FILE* stat = std::fopen("/proc/stat", "re")) {
            char line[256];
            while (std::fgets(line, sizeof line, stat)) {
                if (std::sscanf(line, "btime %lld", &seconds) == 1) {
                    break;
                }
            }
            std::fclose(stat);
        }
        return seconds;
    }();
    return boot;
}

// A file whose process still runs is stale only when it predates the boot:
// its number then belongs to another process.
bool Stale(int folder, const char* name, pid_t process) {
    if (!Running(process)) {
        return true;
    }
    struct stat info {};
    return BootTime() > 0 && fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(info.st_mode) && info.st_mtim.tv_sec < BootTime();
}

} // namespace

std::string PartFileName(const std::string& folder, pid_t process, unsigned number) {
    return folder + "/" + kPrefix + std::to_string(process) + "-" + std::to_string(number) +
           kSuffix;
}

pid_t PartFileProcess(const char* name) {
    if (std::strncmp(name, kPrefix, sizeof kPrefix - 1) != 0) {
        return 0;
    }
    const char* text = name + sizeof kPrefix - 1;
    unsigned long long process = 0, number = 0;
    if (!ReadNumber(text, '-', &process) || !ReadNumber(++text, '.', &number) ||
        std::strcmp(text, kSuffix) != 0 || process == 0 || process > 0x7FFFFFFF) {
        return 0;
    }
    return static_cast<pid_t>(process);
}

void RemovePartFilesOfDeadRuns(const std::string& folder) {
    static std::mutex lock;
    static std::unordered_set<std::string> cleaned;
    {
        std::lock_guard guard(lock);
        if (!cleaned.insert(folder).second) {
            return;
        }
    }
    DIR* entries = opendir(folder.c_str());
    if (entries == nullptr) {
        return;
    }
    const int fd = dirfd(entries);
    const pid_t self = getpid();
    while (const dirent* entry = readdir(entries)) {
        const pid_t process = PartFileProcess(entry->d_name);
        if (process != 0 && process != self && Stale(fd, entry->d_name, process)) {
            unlinkat(fd, entry->d_name, 0);
        }
    }
    closedir(entries);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

int CreatePartFileBeside(const std::string& target, std::string* name) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(target);
    RemovePartFilesOfDeadRuns(folder);
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = PartFileName(folder, getpid(), counter++);
        const int fd = open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

} // namespace writer
