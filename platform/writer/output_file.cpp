#include "output_file.h"

#include "platform/wmsdk.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace writer {
namespace {

constexpr int kMaxLinkHops = 40;

std::string Folder(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Leaf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path that symbolic links at `path` lead to; the path itself when it is
// no link or does not exist. Empty for a loop.
std::string FollowLinks(std::string path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return path;
        }
        std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1,
                           '\0');
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
            return {};
        }
        target.resize(static_cast<std::size_t>(length));
        path = target.front() == '/' ? target : Folder(path) + "/" + target;
    }
    return {};
}

int OpenTemporaryBeside(const std::string& target, std::string* name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = Folder(target) + "/." + Leaf(target) + "." + std::to_string(getpid()) + "." +
                std::to_string(counter++) + ".part";
        const int fd = open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

} // namespace

HRESULT OutputFile::Open(const std::string& path, bool replaceExisting,
                         std::unique_ptr<OutputFile>* file) {
    file->reset();
    if (path.empty()) {
        return NS_E_FILE_OPEN_FAILED;
    }
    std::unique_ptr<OutputFile> output(new OutputFile());
    output->target_ = FollowLinks(path);
    if (output->target_.empty()) {
        return NS_E_FILE_OPEN_FAILED;
    }
    struct stat info {};
    const bool exists = stat(output->target_.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        return NS_E_FILE_OPEN_FAILED;
    }
    if (exists && !S_ISREG(info.st_mode)) {
        // A pipe without a reader must not block the writer forever.
        const int fd = open(output->target_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return NS_E_FILE_OPEN_FAILED;
        }
        const int flags = fcntl(fd, F_GETFL);
        if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            close(fd);
            return NS_E_FILE_OPEN_FAILED;
        }
        output->fd_ = fd;
        *file = std::move(output);
        return S_OK;
    }
    if (exists && !replaceExisting) {
        return NS_E_FILE_OPEN_FAILED;
    }
    output->replaceExisting_ = replaceExisting;
    output->fd_ = OpenTemporaryBeside(output->target_, &output->temporaryPath_);
    if (output->fd_ < 0) {
        return NS_E_FILE_OPEN_FAILED;
    }
    output->temporary_ = true;
    // A replaced file keeps its permissions.
    if (exists) {
        fchmod(output->fd_, info.st_mode & 07777);
    }
    *file = std::move(output);
    return S_OK;
}

OutputFile::~OutputFile() {
    Abandon();
}

HRESULT OutputFile::Write(std::int64_t offset, const void* data, std::size_t size) {
    if (fd_ < 0 || finished_) {
        return NS_E_FILE_WRITE;
    }
    if (!temporary_ && offset != streamPosition_) {
        return NS_E_FILE_WRITE; // a stream cannot go back
    }
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written =
            temporary_ ? pwrite(fd_, bytes, size, offset) : write(fd_, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return NS_E_FILE_WRITE;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
        offset += written;
    }
    if (!temporary_) {
        streamPosition_ = offset;
    }
    return S_OK;
}

HRESULT OutputFile::Commit() {
    if (fd_ < 0 || finished_) {
        return NS_E_FILE_WRITE;
    }
    if (temporary_) {
        if (fsync(fd_) != 0 || !Close()) {
            Abandon();
            return NS_E_FILE_WRITE;
        }
        // Without replacement, a link fails where a file appeared meanwhile.
        const bool moved = replaceExisting_ ? rename(temporaryPath_.c_str(), target_.c_str()) == 0
                                            : link(temporaryPath_.c_str(), target_.c_str()) == 0;
        if (!moved || !replaceExisting_) {
            unlink(temporaryPath_.c_str());
        }
        if (!moved) {
            finished_ = true;
            return replaceExisting_ ? NS_E_FILE_WRITE : NS_E_FILE_OPEN_FAILED;
        }
    } else {
        Close();
    }
    finished_ = true;
    return S_OK;
}

void OutputFile::Abandon() {
    if (finished_) {
        return;
    }
    Close();
    if (temporary_) {
        unlink(temporaryPath_.c_str());
    }
    finished_ = true;
}

bool OutputFile::Close() {
    if (fd_ < 0) {
        return true;
    }
    const bool closed = close(fd_) == 0;
    fd_ = -1;
    return closed;
}

} // namespace writer
