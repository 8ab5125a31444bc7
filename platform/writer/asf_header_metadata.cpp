#include "asf_header_metadata.h"

#include <array>
#include <cstring>

namespace writer {
namespace {

using ObjectId = std::array<BYTE, 16>;

// Object identifiers as they are stored in the file.
constexpr ObjectId kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                    0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr ObjectId kFilePropertiesObject = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                            0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr ObjectId kContentDescriptionObject = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr ObjectId kExtendedContentDescriptionObject = {
    0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11, 0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};

constexpr std::size_t kObjectHeaderSize = 24;  // identifier and 64-bit size
constexpr std::size_t kHeaderObjectFixed = 30; // plus object count and two reserved bytes
constexpr std::size_t kFileSizeOffset = 40;    // in the file properties object

// The five fields of the content description object, in their order.
constexpr std::array<std::u16string_view, 5> kContentDescriptionNames = {
    u"Title", u"Author", u"Copyright", u"Description", u"Rating"};

void PutLe(std::vector<BYTE>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<BYTE>(value >> (8 * i)));
    }
}

std::uint64_t GetLe(const BYTE* data, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | data[i];
    }
    return value;
}

void SetLe(BYTE* data, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        data[i] = static_cast<BYTE>(value >> (8 * i));
    }
}

void PutName(std::vector<BYTE>& out, std::u16string_view name) {
    PutLe(out, 2 * name.size() + 2, 2);
    for (const char16_t unit : name) {
        PutLe(out, unit, 2);
    }
    PutLe(out, 0, 2);
}

std::vector<BYTE> BeginObject(const ObjectId& id) {
    std::vector<BYTE> object(id.begin(), id.end());
    PutLe(object, 0, 8);
    return object;
}

void EndObject(std::vector<BYTE>& object) {
    SetLe(object.data() + 16, object.size(), 8);
}

WORD DescriptorType(WMT_ATTR_DATATYPE type) {
    switch (type) {
    case WMT_TYPE_STRING:
        return 0;
    case WMT_TYPE_BINARY:
        return 1;
    case WMT_TYPE_BOOL:
        return 2;
    case WMT_TYPE_DWORD:
        return 3;
    case WMT_TYPE_QWORD:
        return 4;
    case WMT_TYPE_WORD:
        return 5;
    default:
        return 1;
    }
}

int ContentDescriptionField(const HeaderAttribute& attribute) {
    if (attribute.type != WMT_TYPE_STRING) {
        return -1;
    }
    for (std::size_t i = 0; i < kContentDescriptionNames.size(); ++i) {
        if (attribute.name == kContentDescriptionNames[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool IsDescriptionObject(const BYTE* object) {
    return std::memcmp(object, kContentDescriptionObject.data(), 16) == 0 ||
           std::memcmp(object, kExtendedContentDescriptionObject.data(), 16) == 0;
}

} // namespace

MetadataObjects BuildMetadataObjects(const std::vector<HeaderAttribute>& attributes) {
    std::array<const HeaderAttribute*, 5> fields{};
    std::vector<const HeaderAttribute*> extended;
    for (const auto& attribute : attributes) {
        const int field = ContentDescriptionField(attribute);
        if (field >= 0) {
            fields[static_cast<std::size_t>(field)] = &attribute;
        } else {
            extended.push_back(&attribute);
        }
    }

    MetadataObjects result;
    bool anyField = false;
    for (const auto* field : fields) {
        anyField = anyField || field != nullptr;
    }
    if (anyField) {
        auto object = BeginObject(kContentDescriptionObject);
        for (const auto* field : fields) {
            PutLe(object, field != nullptr ? field->value.size() : 0, 2);
        }
        for (const auto* field : fields) {
            if (field != nullptr) {
                object.insert(object.end(), field->value.begin(), field->value.end());
            }
        }
        EndObject(object);
        result.bytes.insert(result.bytes.end(), object.begin(), object.end());
        ++result.count;
    }
    if (!extended.empty()) {
        auto object = BeginObject(kExtendedContentDescriptionObject);
        PutLe(object, extended.size(), 2);
        for (const auto* attribute : extended) {
            PutName(object, attribute->name);
            PutLe(object, DescriptorType(attribute->type), 2);
            PutLe(object, attribute->value.size(), 2);
            object.insert(object.end(), attribute->value.begin(), attribute->value.end());
        }
        EndObject(object);
        result.bytes.insert(result.bytes.end(), object.begin(), object.end());
        ++result.count;
    }
    return result;
}

std::optional<std::uint64_t> HeaderObjectSize(const BYTE* data, std::size_t size) {
    if (size < kHeaderObjectFixed || std::memcmp(data, kHeaderObject.data(), 16) != 0) {
        return std::nullopt;
    }
    const std::uint64_t headerSize = GetLe(data + 16, 8);
    if (headerSize < kHeaderObjectFixed || headerSize > (1ULL << 32)) {
        return std::nullopt; // not patched yet, or nonsense
    }
    return headerSize;
}

std::optional<std::vector<BYTE>> SpliceMetadata(const BYTE* header, std::size_t size,
                                                const MetadataObjects& metadata) {
    const auto headerSize = HeaderObjectSize(header, size);
    if (!headerSize || *headerSize > size) {
        return std::nullopt;
    }
    std::vector<BYTE> out(header, header + kHeaderObjectFixed);
    std::uint32_t count = 0;
    std::size_t filePropertiesAt = 0;
    std::size_t at = kHeaderObjectFixed;
    while (at < *headerSize) {
        if (*headerSize - at < kObjectHeaderSize) {
            return std::nullopt;
        }
        const std::uint64_t objectSize = GetLe(header + at + 16, 8);
        if (objectSize < kObjectHeaderSize || objectSize > *headerSize - at) {
            return std::nullopt;
        }
        if (!IsDescriptionObject(header + at)) {
            if (std::memcmp(header + at, kFilePropertiesObject.data(), 16) == 0 &&
                objectSize >= kFileSizeOffset + 8) {
                filePropertiesAt = out.size();
            }
            out.insert(out.end(), header + at, header + at + objectSize);
            ++count;
        }
        at += objectSize;
    }
    out.insert(out.end(), metadata.bytes.begin(), metadata.bytes.end());
    count += metadata.count;
    SetLe(out.data() + 16, out.size(), 8);
    SetLe(out.data() + 24, count, 4);
    if (filePropertiesAt != 0) {
        BYTE* fileSize = out.data() + filePropertiesAt + kFileSizeOffset;
        const std::uint64_t written = GetLe(fileSize, 8);
        if (written != 0) { // zero: not known yet
            SetLe(fileSize, written + out.size() - *headerSize, 8);
        }
    }
    return out;
}

} // namespace writer
