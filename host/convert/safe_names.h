// Names that removable players' file systems (FAT and exFAT) can hold: the
// characters they refuse (\ : * ? " < > |, control characters and bytes that
// are not UTF-8) become "_", as do dots and spaces at a name's end, and a name
// longer than 255 bytes is cut, without splitting a character from its marks.
#pragma once

#include <string>
#include <string_view>

namespace vantrel {

inline constexpr std::size_t kLongestSafeName = 255; // bytes

// One file or folder name. `kept_tail` bytes at its end (a file's ".wma") are
// kept whole when it is cut.
std::string device_safe_name(std::string_view name, std::size_t kept_tail = 0);

// Each name of a relative path ("Artist/Album"), the slashes kept.
std::string device_safe_path(std::string_view relative);

} // namespace vantrel
