// Adding a track's pictures, and tag values too long for the encoder's header
// attributes, to its finished .wma file, as players' tag writers do after a
// conversion: through the platform's metadata editor, which puts long values
// into the header's metadata library (32-bit lengths). The editor writes the
// file again beside it and moves it into place, so a failure leaves the
// converted file as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decode/attached_picture.h"
#include "decode/tag.h"

namespace vantrel {

// The WM/Picture value: the picture type (one byte), the data's length (32-bit
// little-endian), the MIME type and the description (UTF-16 little-endian,
// each with a terminator), then the data.
std::vector<std::uint8_t> wm_picture_value(const AttachedPicture& picture);

// Adds each picture as a WM/Picture attribute, then each field as a string
// attribute (the field's name is mapped as the encoder maps it), in order, to
// the file at `path`. Answers why it could not, or "".
std::string add_to_finished_file(const std::string& path,
                                 const std::vector<AttachedPicture>& pictures,
                                 const TagList& fields);

} // namespace vantrel
