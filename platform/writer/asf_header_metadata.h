// The file's typed attributes as file-format objects, spliced into a header
// object written without them:
// - the content description object: the first value of Title, Author,
//   Copyright, Description and Rating;
// - the extended content description object: the first value of every other
//   name, with its type;
// - the metadata library object, inside the header extension object: every
//   further value of a name, and values too long for the other two (their
//   lengths are 16-bit), such as large pictures.
// The extended content description comes before the header extension, so
// that readers listing values in the order of the objects (TagLib) meet the
// first value of a name first; the content description comes last, so that
// readers keeping the last value they meet (FFmpeg, exiftool) show the first
// title, artist and comment. Readers of one value of another name in that way
// see its last one.
#pragma once

#include "header_attributes.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace writer {

struct MetadataObjects {
    std::vector<BYTE> contentDescription;  // the whole object; empty when there is none
    std::vector<BYTE> extendedDescription; // the whole object; empty when there is none
    std::uint32_t descriptionCount = 0;
    std::vector<BYTE> libraryRecords; // metadata library records
    std::uint32_t libraryCount = 0;
    // A FILETIME for the file properties object's creation date; unchanged
    // when not set.
    std::optional<std::uint64_t> creationTime;
};

// NS_E_TOO_MUCH_DATA when an object would hold more attributes than its
// 16-bit count allows.
HRESULT BuildMetadataObjects(const std::vector<HeaderAttribute>& attributes,
                             MetadataObjects* objects);

// The size of the header object at the start of `data`, once its size field is
// set; nullopt while it is unknown or out of bounds.
std::optional<std::uint64_t> HeaderObjectSize(const BYTE* data, std::size_t size);

// A copy of the header object with its description objects and metadata
// library object replaced by `metadata` (a header extension object is added
// when there is none), the file size of the file properties object moved by
// the growth of the header, and its creation date set when `metadata` has one.
// nullopt when the bytes are not a whole, well-formed header object.
std::optional<std::vector<BYTE>> SpliceMetadata(const BYTE* header, std::size_t size,
                                                const MetadataObjects& metadata);

} // namespace writer
