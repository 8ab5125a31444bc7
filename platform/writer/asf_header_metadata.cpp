#include "asf_header_metadata.h"

#include "asf_objects.h"
#include "attribute_names.h"

#include <array>
#include <limits>
#include <set>
#include <string_view>

namespace writer {
namespace {

using namespace asf;

constexpr std::size_t kMaxRecords = kMaxObjectValues;

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

WORD ValueType(WMT_ATTR_DATATYPE type) {
    switch (type) {
    case WMT_TYPE_STRING:
        return kStringType;
    case WMT_TYPE_BOOL:
        return kBoolType;
    case WMT_TYPE_DWORD:
        return kDwordType;
    case WMT_TYPE_QWORD:
        return kQwordType;
    case WMT_TYPE_WORD:
        return kWordType;
    default:
        return kBinaryType;
    }
}

int ContentDescriptionField(const std::u16string& name) {
    for (std::size_t i = 0; i < kContentDescriptionNames.size(); ++i) {
        if (name == kContentDescriptionNames[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void PutLibraryRecord(std::vector<BYTE>& out, const HeaderAttribute& attribute) {
    PutLe(out, 0, 2); // no language
    PutLe(out, 0, 2); // the whole file
    PutLe(out, 2 * attribute.name.size() + 2, 2);
    PutLe(out, ValueType(attribute.type), 2);
    // A BOOL is 16 bits in the metadata library, 32 in the other objects.
    const std::size_t length = attribute.type == WMT_TYPE_BOOL ? 2 : attribute.value.size();
    PutLe(out, length, 4);
    for (const char16_t unit : attribute.name) {
        PutLe(out, unit, 2);
    }
    PutLe(out, 0, 2);
    out.insert(out.end(), attribute.value.begin(),
               attribute.value.begin() + static_cast<std::ptrdiff_t>(length));
}

// Splits the attributes over the three objects (see the header).
struct Placement {
    std::array<const HeaderAttribute*, 5> fields{};
    std::vector<const HeaderAttribute*> extended;
    std::vector<const HeaderAttribute*> library;
};

Placement Place(const std::vector<HeaderAttribute>& attributes) {
    Placement placement;
    std::set<std::u16string_view> seen;
    for (const auto& attribute : attributes) {
        const bool first = seen.insert(attribute.name).second;
        switch (SlotOf(attribute, first, placement.extended.size())) {
        case HeaderSlot::contentDescription:
            placement.fields[static_cast<std::size_t>(ContentDescriptionField(attribute.name))] =
                &attribute;
            break;
        case HeaderSlot::extended:
            placement.extended.push_back(&attribute);
            break;
        case HeaderSlot::library:
            placement.library.push_back(&attribute);
            break;
        }
    }
    return placement;
}

} // namespace

HRESULT BuildMetadataObjects(const std::vector<HeaderAttribute>& attributes,
                             MetadataObjects* objects) {
    *objects = MetadataObjects{};
    try {
        const std::vector<HeaderAttribute> combined = CombineNumbersWithTotals(attributes);
        const Placement placement = Place(combined);
        if (placement.extended.size() > kMaxRecords || placement.library.size() > kMaxRecords) {
            return NS_E_TOO_MUCH_DATA;
        }
        bool anyField = false;
        for (const auto* field : placement.fields) {
            anyField = anyField || field != nullptr;
        }
        if (anyField) {
            auto object = BeginObject(kContentDescriptionObject);
            for (const auto* field : placement.fields) {
                PutLe(object, field != nullptr ? field->value.size() : 0, 2);
            }
            for (const auto* field : placement.fields) {
                if (field != nullptr) {
                    object.insert(object.end(), field->value.begin(), field->value.end());
                }
            }
            EndObject(object);
            objects->contentDescription = std::move(object);
            ++objects->descriptionCount;
        }
        if (!placement.extended.empty()) {
            auto object = BeginObject(kExtendedContentDescriptionObject);
            PutLe(object, placement.extended.size(), 2);
            for (const auto* attribute : placement.extended) {
                PutName(object, attribute->name);
                PutLe(object, ValueType(attribute->type), 2);
                PutLe(object, attribute->value.size(), 2);
                object.insert(object.end(), attribute->value.begin(), attribute->value.end());
            }
            EndObject(object);
            objects->extendedDescription = std::move(object);
            ++objects->descriptionCount;
        }
        for (const auto* attribute : placement.library) {
            PutLibraryRecord(objects->libraryRecords, *attribute);
        }
        objects->libraryCount = static_cast<std::uint32_t>(placement.library.size());
        return S_OK;
    } catch (const std::bad_alloc&) {
        *objects = MetadataObjects{};
        return E_OUTOFMEMORY;
    }
}

std::optional<std::uint64_t> HeaderObjectSize(const BYTE* data, std::size_t size) {
    if (size < kHeaderObjectFixed || !IsObject(data, kHeaderObject)) {
        return std::nullopt;
    }
    const std::uint64_t headerSize = GetLe(data + 16, 8);
    if (headerSize < kHeaderObjectFixed || headerSize > (1ULL << 32)) {
        return std::nullopt; // not patched yet, or nonsense
    }
    return headerSize;
}

namespace {

std::vector<BYTE> LibraryObject(const MetadataObjects& metadata) {
    auto object = BeginObject(kMetadataLibraryObject);
    PutLe(object, metadata.libraryCount, 2);
    object.insert(object.end(), metadata.libraryRecords.begin(), metadata.libraryRecords.end());
    EndObject(object);
    return object;
}

// The header extension object with its metadata library object replaced.
std::optional<std::vector<BYTE>> RebuildExtension(const BYTE* extension, std::size_t size,
                                                  const MetadataObjects& metadata) {
    if (size < kHeaderExtensionFixed ||
        GetLe(extension + kHeaderExtensionFixed - 4, 4) != size - kHeaderExtensionFixed) {
        return std::nullopt;
    }
    std::vector<BYTE> out(extension, extension + kHeaderExtensionFixed);
    const bool whole = ForEachObject(extension, kHeaderExtensionFixed, size,
                                     [&](const BYTE* object, std::size_t objectSize) {
                                         if (!IsObject(object, kMetadataLibraryObject)) {
                                             out.insert(out.end(), object, object + objectSize);
                                         }
                                     });
    if (!whole) {
        return std::nullopt;
    }
    if (metadata.libraryCount > 0) {
        const auto library = LibraryObject(metadata);
        out.insert(out.end(), library.begin(), library.end());
    }
    const std::uint64_t dataSize = out.size() - kHeaderExtensionFixed;
    if (dataSize > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    SetLe(out.data() + 16, out.size(), 8);
    SetLe(out.data() + kHeaderExtensionFixed - 4, dataSize, 4);
    return out;
}

std::vector<BYTE> NewExtension(const MetadataObjects& metadata) {
    auto object = BeginObject(kHeaderExtensionObject);
    object.insert(object.end(), kHeaderExtensionReserved.begin(), kHeaderExtensionReserved.end());
    PutLe(object, 6, 2);
    PutLe(object, 0, 4);
    return *RebuildExtension(object.data(), object.size(), metadata);
}

} // namespace

std::optional<std::vector<BYTE>> SpliceMetadata(const BYTE* header, std::size_t size,
                                                const MetadataObjects& metadata) {
    const auto headerSize = HeaderObjectSize(header, size);
    if (!headerSize || *headerSize > size) {
        return std::nullopt;
    }
    try {
        std::vector<BYTE> out(header, header + kHeaderObjectFixed);
        std::uint32_t count = 0;
        std::size_t filePropertiesAt = 0;
        // See the header for where the description objects go.
        std::optional<std::size_t> extendedAt;
        bool extended = false;
        bool wellFormed = true;
        const bool whole =
            ForEachObject(header, kHeaderObjectFixed, static_cast<std::size_t>(*headerSize),
                          [&](const BYTE* object, std::size_t objectSize) {
                              if (IsObject(object, kContentDescriptionObject) ||
                                  IsObject(object, kExtendedContentDescriptionObject)) {
                                  return;
                              }
                              ++count;
                              if (IsObject(object, kHeaderExtensionObject) && !extended) {
                                  extendedAt = out.size();
                                  const auto rebuilt =
                                      RebuildExtension(object, objectSize, metadata);
                                  wellFormed = wellFormed && rebuilt.has_value();
                                  if (rebuilt) {
                                      out.insert(out.end(), rebuilt->begin(), rebuilt->end());
                                  }
                                  extended = true;
                                  return;
                              }
                              if (IsObject(object, kFilePropertiesObject) &&
                                  objectSize >= kCreationDateOffset + 8) {
                                  filePropertiesAt = out.size();
                              }
                              out.insert(out.end(), object, object + objectSize);
                          });
        if (!whole || !wellFormed) {
            return std::nullopt;
        }
        if (!extendedAt) {
            extendedAt = out.size();
        }
        if (!extended && metadata.libraryCount > 0) {
            const auto extension = NewExtension(metadata);
            out.insert(out.end(), extension.begin(), extension.end());
            ++count;
        }
        out.insert(out.end(), metadata.contentDescription.begin(),
                   metadata.contentDescription.end());
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(*extendedAt),
                   metadata.extendedDescription.begin(), metadata.extendedDescription.end());
        if (filePropertiesAt > *extendedAt) {
            filePropertiesAt += metadata.extendedDescription.size();
        }
        count += metadata.descriptionCount;
        SetLe(out.data() + 16, out.size(), 8);
        SetLe(out.data() + 24, count, 4);
        if (filePropertiesAt != 0) {
            BYTE* properties = out.data() + filePropertiesAt;
            const std::uint64_t written = GetLe(properties + kFileSizeOffset, 8);
            if (written != 0) { // zero: not known yet
                SetLe(properties + kFileSizeOffset, written + out.size() - *headerSize, 8);
            }
            if (metadata.creationTime) {
                SetLe(properties + kCreationDateOffset, *metadata.creationTime, 8);
            }
        }
        return out;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace writer
