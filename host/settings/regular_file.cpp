#include "settings/regular_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel {
namespace {

// Closes the descriptor on every way out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

std::string read_regular_file(const std::string& path, std::size_t limit, const std::string& what) {
    const std::string named = what + " " + path;
    // Not blocking on open: a pipe without a writer would wait for ever.
    Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0)
        throw RegularFileError("cannot read " + named + ": " + std::strerror(errno));
    struct stat info {};
    if (::fstat(file.fd, &info) != 0)
        throw RegularFileError("cannot read " + named + ": " + std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        throw RegularFileError(named + " is not a regular file");
    if (static_cast<std::uint64_t>(info.st_size) > limit)
        throw RegularFileError(named + " is too large (" + std::to_string(info.st_size) +
                               " bytes, at most " + std::to_string(limit) + ")");
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw RegularFileError("cannot read " + named + ": " + std::strerror(errno));
        if (got == 0)
            return bytes;
        if (bytes.size() + static_cast<std::size_t>(got) > limit)
            throw RegularFileError(named + " is too large (at most " + std::to_string(limit) +
                                   " bytes)");
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

} // namespace vantrel
