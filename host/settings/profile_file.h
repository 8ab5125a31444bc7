// Reading a custom Windows Media profile (".prx") for the configuration block,
// which carries profile text as UTF-8.
#pragma once

#include <stdexcept>
#include <string>

namespace vantrel {

class ProfileFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Profile files are UTF-16 (little- or big-endian, with or without a byte-order
// mark) or UTF-8. Answers the text as UTF-8 without a byte-order mark. Throws
// ProfileFileError when the bytes are not text in one of those forms.
std::string profile_text_to_utf8(const std::string& bytes);

// Reads and converts a profile file; throws ProfileFileError naming the file and
// the problem (missing, unreadable, empty, not text, no <profile> element).
std::string read_profile_file(const std::string& path);

} // namespace vantrel
