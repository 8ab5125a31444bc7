#include "output_file.h"
#include "core/error_description.h"
#include "part_file_names.h"

#include "platform/output_files.h"
#include "platform/unfinished_files.h"
#include "platform/wmsdk.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace writer {
namespace {

constexpr int kMaxLinkHops = 40;

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
        path = target.front() == '/' ? target : FolderOf(path) + "/" + target;
    }
    return {};
}

// Temporary files being written, for RemoveUnfinishedOutputFiles. A signal
// handler may read the table at any time, so slots hold plain C strings that
// are swapped in and out atomically; a full table only loses that guarantee.
std::array<std::atomic<char*>, 1024> unfinished{};

std::atomic<char*>* Register(const std::string& path) {
    char* copy = strdup(path.c_str());
    if (copy == nullptr) {
        return nullptr;
    }
    for (auto& slot : unfinished) {
        char* empty = nullptr;
        if (slot.compare_exchange_strong(empty, copy)) {
            return &slot;
        }
    }
    free(copy);
    return nullptr;
}

void Unregister(std::atomic<char*>* slot) {
    if (slot != nullptr) {
        free(slot->exchange(nullptr));
    }
}

// The host's say in replacing files (SetOutputReplaceCheck). The context is
// stored first and the check last, so a check seen is seen with its context.
std::atomic<void*> replaceContext{nullptr};
std::atomic<OutputReplaceCheck> replaceCheck{nullptr};

bool HostAllowsReplacing(const std::string& path) {
    const OutputReplaceCheck check = replaceCheck.load(std::memory_order_acquire);
    return check == nullptr || check(path.c_str(), replaceContext.load()) != FALSE;
}

// The host's word of files about to be published (SetOutputPublishNotice),
// stored the same way.
std::atomic<void*> publishContext{nullptr};
std::atomic<OutputPublishNotice> publishNotice{nullptr};

void TellPublishing(const std::string& path) {
    if (const OutputPublishNotice notice = publishNotice.load(std::memory_order_acquire)) {
        notice(path.c_str(), publishContext.load());
    }
}

// Moves `from` onto `to` unless something stands at `to`. Answers 0 or errno.
int MoveWithoutReplacing(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        return errno;
    }
    // A file system without that kind of move: the name is claimed with an
    // empty file of our own first, which the finished file then replaces.
    const int claim = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (claim < 0) {
        return errno;
    }
    close(claim);
    if (rename(from.c_str(), to.c_str()) == 0) {
        return 0;
    }
    const int error = errno;
    unlink(to.c_str());
    return error;
}

HRESULT Failed(HRESULT code, const std::string& what, const std::string& path, int error) {
    platform_core::SetErrorDescription(what + " " + path + ": " + std::strerror(error));
    return code;
}

} // namespace

HRESULT OutputFile::Open(const std::string& path, bool replaceExisting,
                         std::unique_ptr<OutputFile>* file) {
    file->reset();
    if (path.empty()) {
        return NS_E_FILE_OPEN_FAILED;
    }
    std::unique_ptr<OutputFile> output(new OutputFile());
    output->path_ = path;
    output->target_ = FollowLinks(path);
    if (output->target_.empty()) {
        return Failed(NS_E_FILE_OPEN_FAILED, "cannot create", path, ELOOP);
    }
    struct stat info {};
    const bool exists = stat(output->target_.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        return Failed(NS_E_FILE_OPEN_FAILED, "cannot create", path, EISDIR);
    }
    if (exists && !S_ISREG(info.st_mode)) {
        // A pipe without a reader must not block the writer forever.
        const int fd = open(output->target_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return Failed(NS_E_FILE_OPEN_FAILED, "cannot open", output->target_, errno);
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
    if (replaceExisting && !HostAllowsReplacing(path)) {
        replaceExisting = false;
    }
    if (exists && !replaceExisting) {
        return Failed(NS_E_FILE_OPEN_FAILED, "will not replace", output->target_, EEXIST);
    }
    output->replaceExisting_ = replaceExisting;
    output->fd_ = CreatePartFileBeside(output->target_, &output->temporaryPath_);
    if (output->fd_ < 0) {
        return Failed(NS_E_FILE_OPEN_FAILED, "cannot create a file beside", output->target_, errno);
    }
    output->temporary_ = true;
    output->registration_ = Register(output->temporaryPath_);
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
            return Failed(NS_E_FILE_WRITE, "cannot write", target_, written < 0 ? errno : EIO);
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
        TellPublishing(path_);
        if (fsync(fd_) != 0 || !Close()) {
            const int error = errno;
            Abandon();
            return Failed(NS_E_FILE_WRITE, "cannot write", target_, error);
        }
        const int error = replaceExisting_
                              ? (rename(temporaryPath_.c_str(), target_.c_str()) == 0 ? 0 : errno)
                              : MoveWithoutReplacing(temporaryPath_, target_);
        if (error != 0) {
            unlink(temporaryPath_.c_str());
        }
        Unregister(std::exchange(registration_, nullptr));
        if (error == EEXIST) {
            finished_ = true;
            platform_core::SetErrorDescription("will not replace " + target_ +
                                               ", which appeared while it was being written");
            return NS_E_FILE_OPEN_FAILED;
        }
        if (error != 0) {
            finished_ = true;
            return Failed(NS_E_FILE_WRITE, "cannot put the finished file at", target_, error);
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
        Unregister(std::exchange(registration_, nullptr));
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

extern "C" void SetOutputReplaceCheck(OutputReplaceCheck check, void* context) {
    writer::replaceCheck.store(nullptr, std::memory_order_release);
    writer::replaceContext.store(context);
    writer::replaceCheck.store(check, std::memory_order_release);
}

extern "C" void SetOutputPublishNotice(OutputPublishNotice notice, void* context) {
    writer::publishNotice.store(nullptr, std::memory_order_release);
    writer::publishContext.store(context);
    writer::publishNotice.store(notice, std::memory_order_release);
}

extern "C" void RemoveUnfinishedOutputFiles() {
    for (auto& slot : writer::unfinished) {
        if (const char* path = slot.load()) {
            unlink(path);
        }
    }
}
