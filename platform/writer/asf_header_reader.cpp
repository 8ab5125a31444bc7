#include "asf_header_reader.h"

#include "asf_header_metadata.h"
#include "asf_objects.h"

#include <array>
#include <string_view>

namespace writer {
namespace {

using namespace asf;

// Reads an object's fields in order; every read past the end fails the cursor.
class Cursor {
public:
    Cursor(const BYTE* data, std::size_t size) : data_(data), size_(size) {}

    bool Ok() const { return ok_; }
    std::size_t Left() const { return size_ - at_; }

    std::uint64_t Number(int bytes) {
        if (!Take(static_cast<std::size_t>(bytes))) {
            return 0;
        }
        return GetLe(data_ + at_ - static_cast<std::size_t>(bytes), bytes);
    }
    const BYTE* Bytes(std::size_t count) { return Take(count) ? data_ + at_ - count : nullptr; }

private:
    bool Take(std::size_t count) {
        ok_ = ok_ && count <= size_ - at_;
        if (ok_) {
            at_ += count;
        }
        return ok_;
    }

    const BYTE* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

// UTF-16 little-endian name bytes, without the terminator.
std::u16string NameFrom(const BYTE* bytes, std::size_t length) {
    std::u16string name;
    for (std::size_t i = 0; i + 1 < length; i += 2) {
        name.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
    }
    while (!name.empty() && name.back() == 0) {
        name.pop_back();
    }
    return name;
}

std::optional<WMT_ATTR_DATATYPE> TypeFrom(std::uint64_t fileType) {
    switch (fileType) {
    case kStringType:
        return WMT_TYPE_STRING;
    case kBinaryType:
        return WMT_TYPE_BINARY;
    case kBoolType:
        return WMT_TYPE_BOOL;
    case kDwordType:
        return WMT_TYPE_DWORD;
    case kQwordType:
        return WMT_TYPE_QWORD;
    case kWordType:
        return WMT_TYPE_WORD;
    default:
        return std::nullopt;
    }
}

void Add(HeaderContents& contents, const std::u16string& name, std::uint64_t fileType,
         const BYTE* value, std::size_t length) {
    const auto type = TypeFrom(fileType);
    if (!type || length > kMaxAttributeBytes) {
        return;
    }
    // A BOOL of the metadata library is 16 bits.
    BYTE widened[4] = {};
    if (*type == WMT_TYPE_BOOL && length == 2) {
        widened[0] = value[0] | value[1];
        value = widened;
        length = 4;
    }
    HeaderAttribute attribute;
    if (SUCCEEDED(
            MakeAttribute(0, name.c_str(), *type, value, static_cast<DWORD>(length), &attribute))) {
        contents.attributes.push_back(std::move(attribute));
    }
}

bool ReadContentDescription(const BYTE* object, std::size_t size, HeaderContents& contents) {
    Cursor cursor(object + kObjectHeaderSize, size - kObjectHeaderSize);
    std::array<std::uint64_t, 5> lengths{};
    for (auto& length : lengths) {
        length = cursor.Number(2);
    }
    for (std::size_t i = 0; i < lengths.size() && cursor.Ok(); ++i) {
        const BYTE* text = cursor.Bytes(lengths[i]);
        if (text != nullptr && lengths[i] > 0) {
            Add(contents, std::u16string(kContentDescriptionNames[i]), kStringType, text,
                lengths[i] & ~1ULL);
        }
    }
    return cursor.Ok();
}

bool ReadExtendedContentDescription(const BYTE* object, std::size_t size,
                                    HeaderContents& contents) {
    Cursor cursor(object + kObjectHeaderSize, size - kObjectHeaderSize);
    const std::uint64_t count = cursor.Number(2);
    for (std::uint64_t i = 0; i < count && cursor.Ok(); ++i) {
        const std::uint64_t nameLength = cursor.Number(2);
        const BYTE* name = cursor.Bytes(nameLength);
        const std::uint64_t type = cursor.Number(2);
        const std::uint64_t valueLength = cursor.Number(2);
        const BYTE* value = cursor.Bytes(valueLength);
        if (cursor.Ok()) {
            Add(contents, NameFrom(name, nameLength), type, value, valueLength);
        }
    }
    return cursor.Ok();
}

bool ReadMetadataLibrary(const BYTE* object, std::size_t size, HeaderContents& contents) {
    Cursor cursor(object + kObjectHeaderSize, size - kObjectHeaderSize);
    const std::uint64_t count = cursor.Number(2);
    for (std::uint64_t i = 0; i < count && cursor.Ok(); ++i) {
        const BYTE* record = object + size - cursor.Left();
        const std::uint64_t language = cursor.Number(2);
        const std::uint64_t stream = cursor.Number(2);
        const std::uint64_t nameLength = cursor.Number(2);
        const std::uint64_t type = cursor.Number(2);
        const std::uint64_t valueLength = cursor.Number(4);
        const BYTE* name = cursor.Bytes(nameLength);
        const BYTE* value = cursor.Bytes(valueLength);
        if (!cursor.Ok()) {
            break;
        }
        if (language == 0 && stream == 0) {
            Add(contents, NameFrom(name, nameLength), type, value, valueLength);
        } else {
            const BYTE* end = object + size - cursor.Left();
            contents.otherLibraryRecords.insert(contents.otherLibraryRecords.end(), record, end);
            ++contents.otherLibraryCount;
        }
    }
    return cursor.Ok();
}

bool ReadHeaderExtension(const BYTE* object, std::size_t size, HeaderContents& contents) {
    if (size < kHeaderExtensionFixed ||
        GetLe(object + kHeaderExtensionFixed - 4, 4) != size - kHeaderExtensionFixed) {
        return false;
    }
    bool ok = true;
    const bool whole = ForEachObject(
        object, kHeaderExtensionFixed, size, [&](const BYTE* child, std::size_t childSize) {
            if (IsObject(child, kMetadataLibraryObject)) {
                ok = ReadMetadataLibrary(child, childSize, contents) && ok;
            }
        });
    return whole && ok;
}

} // namespace

std::optional<HeaderContents> ReadHeaderContents(const BYTE* header, std::size_t size) {
    const auto headerSize = HeaderObjectSize(header, size);
    if (!headerSize || *headerSize > size) {
        return std::nullopt;
    }
    try {
        // Readers collect the objects' values in this order, wherever the
        // objects stand.
        HeaderContents contents;
        HeaderContents extended;
        HeaderContents library;
        bool ok = true;
        const bool whole = ForEachObject(
            header, kHeaderObjectFixed, static_cast<std::size_t>(*headerSize),
            [&](const BYTE* object, std::size_t objectSize) {
                if (IsObject(object, kContentDescriptionObject)) {
                    ok = ReadContentDescription(object, objectSize, contents) && ok;
                } else if (IsObject(object, kExtendedContentDescriptionObject)) {
                    ok = ReadExtendedContentDescription(object, objectSize, extended) && ok;
                } else if (IsObject(object, kHeaderExtensionObject)) {
                    ok = ReadHeaderExtension(object, objectSize, library) && ok;
                }
            });
        if (!whole || !ok) {
            return std::nullopt;
        }
        for (HeaderContents* part : {&extended, &library}) {
            contents.attributes.insert(contents.attributes.end(), part->attributes.begin(),
                                       part->attributes.end());
        }
        contents.otherLibraryRecords = std::move(library.otherLibraryRecords);
        contents.otherLibraryCount = library.otherLibraryCount;
        return contents;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace writer
