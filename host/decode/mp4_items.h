// Reading the text items of an MP4 file's item list (moov/udta/meta/ilst).
// FFmpeg keeps only the first value of an item that holds several (several
// "data" boxes), such as two artists; this reader keeps them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "decode/attached_picture.h"

namespace vantrel {

// FFmpeg's metadata key ("artist" for "©ART"; the name of a "----" item) to the
// item's UTF-8 values, in order. Items FFmpeg has no key for are left out.
using Mp4TextItems = std::map<std::string, std::vector<std::string>>;

// Parses the contents of an "ilst" box.
Mp4TextItems parse_mp4_item_list(const std::uint8_t* data, std::size_t size);

// The cover art ("covr": each "data" box a picture) of an "ilst" box's
// contents, in order, as front covers without a MIME type.
std::vector<AttachedPicture> parse_mp4_covers(const std::uint8_t* data, std::size_t size);

// The contents of the movie box's item list (empty when it has none); nothing
// when the file has no movie box or is damaged.
std::optional<std::vector<std::uint8_t>> read_mp4_item_list(const std::string& path);

// The items of the file's movie box; nothing when it has none or is damaged.
std::optional<Mp4TextItems> read_mp4_text_items(const std::string& path);

} // namespace vantrel
