// Reading the attributes back out of a header object, for the metadata
// editor: the content description, extended content description and metadata
// library objects, in the order readers collect them.
#pragma once

#include "header_attributes.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace writer {

struct HeaderContents {
    // Stream 0 and no language, under their standard names.
    std::vector<HeaderAttribute> attributes;
    // Metadata library records of a single stream or language, which the
    // editor does not change: kept byte for byte.
    std::vector<BYTE> otherLibraryRecords;
    std::uint32_t otherLibraryCount = 0;
};

// nullopt when the bytes are not a whole, well-formed header object. Single
// attributes that no reader could take (an empty name, a number of the wrong
// length) are left out.
std::optional<HeaderContents> ReadHeaderContents(const BYTE* header, std::size_t size);

} // namespace writer
