// CopyOutputFile: a finished file copied into place through the writer's own
// staging, so a copy is published with the same care as an encoded output.
#include "core/error_description.h"
#include "output_file.h"

#include "platform/output_files.h"
#include "platform/wmsdk.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace writer {
namespace {

constexpr std::size_t kCopyBlock = 1 << 20;

HRESULT Refused(const std::string& what, int error) {
    platform_core::SetErrorDescription(what + ": " + std::strerror(error));
    return NS_E_FILE_OPEN_FAILED;
}

// Closes a descriptor when it goes out of scope.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) {
            close(fd);
        }
    }
};

HRESULT Copy(const char* source, const char* target, bool replaceExisting) {
    Descriptor in;
    // Not blocking: a pipe without a writer is refused below instead of waited for.
    in.fd = open(source, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (in.fd < 0) {
        return Refused(std::string("cannot open ") + source, errno);
    }
    struct stat info {};
    if (fstat(in.fd, &info) != 0) {
        return Refused(std::string("cannot open ") + source, errno);
    }
    if (!S_ISREG(info.st_mode)) {
        platform_core::SetErrorDescription(std::string("cannot copy ") + source +
                                           ": not a regular file");
        return NS_E_FILE_OPEN_FAILED;
    }
    std::unique_ptr<OutputFile> out;
    HRESULT hr = OutputFile::Open(target, replaceExisting, &out);
    if (FAILED(hr)) {
        return hr;
    }
    std::vector<char> block(kCopyBlock);
    std::int64_t offset = 0;
    for (;;) {
        const ssize_t got = read(in.fd, block.data(), block.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            out->Abandon();
            platform_core::SetErrorDescription(std::string("cannot read ") + source + ": " +
                                               std::strerror(error));
            return NS_E_FILE_WRITE;
        }
        if (got == 0) {
            break;
        }
        hr = out->Write(offset, block.data(), static_cast<std::size_t>(got));
        if (FAILED(hr)) {
            out->Abandon();
            return hr;
        }
        offset += got;
    }
    return out->Commit();
}

} // namespace
} // namespace writer

extern "C" HRESULT CopyOutputFile(const char* source, const char* target, BOOL replaceExisting) {
    if (source == nullptr || target == nullptr) {
        return E_POINTER;
    }
    try {
        return writer::Copy(source, target, replaceExisting != FALSE);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
