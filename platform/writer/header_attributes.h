// The typed header attributes of a file being written: set by name, the last
// value set for a name wins and keeps the name's first position.
#pragma once

#include "platform/wmsdk.h"

#include <mutex>
#include <string>
#include <vector>

namespace writer {

struct HeaderAttribute {
    std::u16string name;
    WMT_ATTR_DATATYPE type = WMT_TYPE_STRING;
    // Strings are stored as UTF-16 little-endian with their terminator; BOOL as
    // a 32-bit 0 or 1.
    std::vector<BYTE> value;
};

class HeaderAttributes {
public:
    // Stream 0 (the whole file) only. E_INVALIDARG for a name, type or length
    // that does not fit the type (DWORD and BOOL 4 bytes, QWORD 8, WORD 2,
    // strings an even number of bytes); E_POINTER for missing data.
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
    bool sealed_ = false;
};

} // namespace writer
