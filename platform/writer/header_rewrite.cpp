#include "header_rewrite.h"

#include "part_file_names.h"
#include "platform/wmsdk.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace writer {
namespace {

constexpr std::size_t kCopyBlock = 1 << 20;

bool WriteAll(int fd, const BYTE* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Copies everything of `source` from `offset` to its end.
bool CopyRest(int source, std::uint64_t offset, int target) {
    std::vector<BYTE> block(kCopyBlock);
    for (;;) {
        const ssize_t got = pread(source, block.data(), block.size(), static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (!WriteAll(target, block.data(), static_cast<std::size_t>(got))) {
            return false;
        }
        offset += static_cast<std::uint64_t>(got);
    }
}

} // namespace

HRESULT RewriteWithHeader(int source, std::uint64_t oldHeaderSize,
                          const std::vector<BYTE>& newHeader, const std::string& target,
                          mode_t mode) {
    std::string temporary;
    int fd = -1;
    try {
        // A name of the writer's temporary pattern, so that a later run clears it when this
        // process dies before the rename.
        fd = CreatePartFileBeside(target, &temporary);
        if (fd < 0) {
            return NS_E_FILE_WRITE;
        }
        const bool written = fchmod(fd, mode & 07777) == 0 &&
                             WriteAll(fd, newHeader.data(), newHeader.size()) &&
                             CopyRest(source, oldHeaderSize, fd) && fsync(fd) == 0;
        const bool closed = close(fd) == 0;
        fd = -1;
        if (written && closed && rename(temporary.c_str(), target.c_str()) == 0) {
            return S_OK;
        }
        unlink(temporary.c_str());
        return NS_E_FILE_WRITE;
    } catch (const std::bad_alloc&) {
        if (fd >= 0) {
            close(fd);
            unlink(temporary.c_str());
        }
        return E_OUTOFMEMORY;
    }
}

} // namespace writer
