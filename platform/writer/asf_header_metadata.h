// The file's typed attributes as file-format objects: the content description
// object (Title, Author, Copyright, Description, Rating as strings) and the
// extended content description object (every other attribute, with its type),
// spliced into a header object that the muxer wrote without them.
#pragma once

#include "header_attributes.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace writer {

// Both description objects, back to back (empty when there are no attributes),
// and how many objects that is.
struct MetadataObjects {
    std::vector<BYTE> bytes;
    std::uint32_t count = 0;
};
MetadataObjects BuildMetadataObjects(const std::vector<HeaderAttribute>& attributes);

// The size of the header object at the start of `data`, once its size field is
// set; nullopt while it is unknown or out of bounds.
std::optional<std::uint64_t> HeaderObjectSize(const BYTE* data, std::size_t size);

// A copy of the header object with any description objects replaced by
// `metadata`, and the file size of the file properties object moved by the
// growth of the header. nullopt when the bytes are not a whole header object.
std::optional<std::vector<BYTE>> SpliceMetadata(const BYTE* header, std::size_t size,
                                                const MetadataObjects& metadata);

} // namespace writer
