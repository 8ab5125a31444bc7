// The typed attributes of a file's header (stream 0: the whole file), in the
// order they were set. A name may hold several values; an identical value is
// kept once. Names are stored under their standard names (attribute_names.h).
#pragma once

#include "platform/wmsdk.h"

#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace writer {

struct HeaderAttribute {
    std::u16string name;
    WMT_ATTR_DATATYPE type = WMT_TYPE_STRING;
    // Strings are stored as UTF-16 little-endian with their terminator; BOOL as
    // a 32-bit 0 or 1.
    std::vector<BYTE> value;
    bool operator==(const HeaderAttribute&) const = default;
};

// The bytes of a string attribute's value: the text's UTF-16 little-endian
// units and a terminator.
std::vector<BYTE> StringValue(std::u16string_view text);
// The text of a string attribute, up to its terminator.
std::u16string TextOf(const HeaderAttribute& attribute);

// Far above any cover picture, and small enough that a header stays loadable.
inline constexpr DWORD kMaxAttributeBytes = 1u << 28;

// A checked attribute of stream 0 under its standard name. E_INVALIDARG for a
// stream other than 0, an empty or overlong name, a type that has no place in
// the file-wide list (GUID) or a length that does not fit the type (DWORD and
// BOOL 4 bytes, QWORD 8, WORD 2, strings an even number); E_POINTER for
// missing data.
HRESULT MakeAttribute(WORD streamNumber, const WCHAR* name, WMT_ATTR_DATATYPE type,
                      const BYTE* value, DWORD length, HeaderAttribute* attribute);

// Adds a value at the end unless its name holds the identical value already.
// Answers the index of the value in the list.
std::size_t AddValue(std::vector<HeaderAttribute>& list, HeaderAttribute attribute);

// Positions of the values of `name` (stored under its standard name).
std::vector<std::size_t> ValuesOf(const std::vector<HeaderAttribute>& list,
                                  std::u16string_view name);

// Where a value goes in a file's header (see asf_header_metadata.h): the first
// value of a name into the content description (Title, Author, Copyright,
// Description, Rating as text) or the extended content description, while
// that has room and the value's length fits 16 bits; every other value into the
// metadata library.
enum class HeaderSlot { contentDescription, extended, library };
HeaderSlot SlotOf(const HeaderAttribute& attribute, bool firstOfName, std::size_t extendedUsed);

// The extended content description and the metadata library each count their
// values in 16 bits.
inline constexpr std::size_t kMaxObjectValues = 65535;

// The attribute store of a file being written, shared by the writer's
// IWMHeaderInfo and the encoding thread.
class HeaderAttributes {
public:
    // Adds a value (see MakeAttribute and AddValue) in constant time, so that
    // thousands of tags cost no more than their number. NS_E_TOO_MUCH_DATA,
    // with the reason naming the attribute as the thread's error object, when
    // the value has no slot left (see SlotOf): a name holds at most 65536
    // values, and all names together 65535 beyond their first.
    HRESULT Set(WORD streamNumber, const WCHAR* name, WMT_ATTR_DATATYPE type, const BYTE* value,
                WORD length);
    std::vector<HeaderAttribute> Snapshot() const;

    // Once a file's header is written, its attributes can no longer change:
    // Set answers NS_E_INVALID_REQUEST until Unseal.
    std::vector<HeaderAttribute> SnapshotAndSeal();
    void Unseal();

private:
    mutable std::mutex lock_;
    std::vector<HeaderAttribute> attributes_;
    // Positions of the values by a hash of name, type and value, to find an
    // identical value without looking at every other.
    std::unordered_multimap<std::size_t, std::size_t> byContent_;
    std::unordered_set<std::u16string> names_;
    std::size_t extendedUsed_ = 0;
    std::size_t libraryUsed_ = 0;
    bool sealed_ = false;
};

} // namespace writer
