// The typed attributes of a file's header (stream 0: the whole file), in the
// order they were set. A name may hold several values; an identical value is
// kept once. Names are stored under their standard names (attribute_names.h).
#pragma once

#include "platform/wmsdk.h"

#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
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

// A header has room for 65535 values in its extended content description and
// as many in its metadata library.
inline constexpr std::size_t kMaxHeaderValues = 2 * 65535;

// The attribute store of a file being written, shared by the writer's
// IWMHeaderInfo and the encoding thread.
class HeaderAttributes {
public:
    // Adds a value (see MakeAttribute and AddValue) in constant time, so that
    // thousands of tags cost no more than their number. NS_E_TOO_MUCH_DATA,
    // with the reason as the thread's error object, past kMaxHeaderValues.
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
    bool sealed_ = false;
};

} // namespace writer
