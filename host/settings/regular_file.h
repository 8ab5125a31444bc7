// Reading a small file the user named or that vantrel keeps: only a regular
// file is read, never a folder, a pipe (which could block) or a device (which
// could be endless), and only up to a size limit.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace vantrel {

class RegularFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file's bytes. Throws RegularFileError with the reason, naming the file as
// `what` ("profile", "settings") and its path, when it is not a regular file,
// is larger than `limit` bytes or cannot be read.
std::string read_regular_file(const std::string& path, std::size_t limit, const std::string& what);

} // namespace vantrel
