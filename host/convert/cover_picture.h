// Adding a track's cover picture to its finished .wma file, as players' tag
// writers do after a conversion: through the platform's metadata editor, as a
// WM/Picture attribute. The editor writes the file again beside it and moves it
// into place, so a failure leaves the converted file as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decode/attached_picture.h"

namespace vantrel {

// The WM/Picture value: the picture type (one byte), the data's length (32-bit
// little-endian), the MIME type and the description (UTF-16 little-endian,
// each with a terminator), then the data.
std::vector<std::uint8_t> wm_picture_value(const AttachedPicture& picture);

// Adds the picture to the file at `path`. Answers why it could not, or "".
std::string add_cover_picture(const std::string& path, const AttachedPicture& picture);

} // namespace vantrel
