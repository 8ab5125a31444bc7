// The pieces of an ASF header that the writer and the metadata editor read and
// write themselves: object identifiers as stored in the file, and little-endian
// numbers.
#pragma once

#include "platform/win32_types.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace writer::asf {

using ObjectId = std::array<BYTE, 16>;

inline constexpr ObjectId kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                           0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
inline constexpr ObjectId kFilePropertiesObject = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                   0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
inline constexpr ObjectId kContentDescriptionObject = {
    0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
inline constexpr ObjectId kExtendedContentDescriptionObject = {
    0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11, 0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
inline constexpr ObjectId kHeaderExtensionObject = {0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11,
                                                    0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
// The fixed identifier in the header extension object's first field.
inline constexpr ObjectId kHeaderExtensionReserved = {
    0x11, 0xD2, 0xD3, 0xAB, 0xBA, 0xA9, 0xCF, 0x11, 0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
inline constexpr ObjectId kMetadataLibraryObject = {0x94, 0x1C, 0x23, 0x44, 0x98, 0x94, 0xD1, 0x49,
                                                    0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54};

inline constexpr std::size_t kObjectHeaderSize = 24;  // identifier and 64-bit size
inline constexpr std::size_t kHeaderObjectFixed = 30; // plus object count and two reserved bytes
// Identifier, size, reserved identifier, reserved word and the 32-bit data size.
inline constexpr std::size_t kHeaderExtensionFixed = 46;
inline constexpr std::size_t kFileSizeOffset = 40;     // in the file properties object
inline constexpr std::size_t kCreationDateOffset = 48; // in the file properties object

// The five fields of the content description object, in their order.
inline constexpr std::array<std::u16string_view, 5> kContentDescriptionNames = {
    u"Title", u"Author", u"Copyright", u"Description", u"Rating"};

// The value types as the description objects number them.
inline constexpr WORD kStringType = 0;
inline constexpr WORD kBinaryType = 1;
inline constexpr WORD kBoolType = 2;
inline constexpr WORD kDwordType = 3;
inline constexpr WORD kQwordType = 4;
inline constexpr WORD kWordType = 5;

inline bool IsObject(const BYTE* at, const ObjectId& id) {
    return std::memcmp(at, id.data(), id.size()) == 0;
}

inline void PutLe(std::vector<BYTE>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<BYTE>(value >> (8 * i)));
    }
}

inline std::uint64_t GetLe(const BYTE* data, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | data[i];
    }
    return value;
}

inline void SetLe(BYTE* data, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        data[i] = static_cast<BYTE>(value >> (8 * i));
    }
}

// Calls visit(object, size) for each object from `begin` to `end` of `data` (the
// objects inside a header object or a header extension object); false when one
// does not fit.
template <class Visit>
bool ForEachObject(const BYTE* data, std::size_t begin, std::size_t end, Visit&& visit) {
    std::size_t at = begin;
    while (at < end) {
        if (end - at < kObjectHeaderSize) {
            return false;
        }
        const std::uint64_t objectSize = GetLe(data + at + 16, 8);
        if (objectSize < kObjectHeaderSize || objectSize > end - at) {
            return false;
        }
        visit(data + at, static_cast<std::size_t>(objectSize));
        at += static_cast<std::size_t>(objectSize);
    }
    return true;
}

} // namespace writer::asf
