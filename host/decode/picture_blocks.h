// Pictures as tag formats store them, read without FFmpeg, which leaves out
// pictures whose MIME type it does not know ("image/x-png") and labels one
// without a MIME type as GIF: the kind of an image is taken from its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "decode/attached_picture.h"
#include "decode/tag.h"

namespace vantrel {

// The MIME type of an image by its signature (PNG, JPEG, GIF, BMP, WebP, TIFF);
// "" for data of another kind.
std::string image_mime_of(const std::vector<std::uint8_t>& data);

// Sets the picture's MIME type from its bytes; false when they are not an
// image of a known kind.
bool settle_picture_kind(AttachedPicture& picture);

// A FLAC picture block (also an Ogg METADATA_BLOCK_PICTURE comment, base64):
// type, MIME type, description, four image figures, data; lengths big-endian.
std::optional<AttachedPicture> parse_flac_picture(const std::uint8_t* data, std::size_t size);

// Base64 (with or without padding); nothing for text that is not base64.
std::optional<std::vector<std::uint8_t>> decode_base64(std::string_view text);

// The pictures of Vorbis comments: METADATA_BLOCK_PICTURE, and the older
// COVERART (a base64 image, its MIME type in COVERARTMIME) as a front cover.
// Values that do not decode are counted in `unreadable`.
std::vector<AttachedPicture> pictures_of_comments(const TagList& comments, int& unreadable);

} // namespace vantrel
