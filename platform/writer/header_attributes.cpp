#include "header_attributes.h"

#include "utf16_text.h"

#include <algorithm>
#include <limits>

namespace writer {
namespace {

// Names are written with their terminator into a 16-bit byte count.
constexpr std::size_t kMaxNameCharacters = 0x7FFE;

bool LengthFits(WMT_ATTR_DATATYPE type, WORD length) {
    switch (type) {
    case WMT_TYPE_DWORD:
    case WMT_TYPE_BOOL:
        return length == 4;
    case WMT_TYPE_QWORD:
        return length == 8;
    case WMT_TYPE_WORD:
        return length == 2;
    case WMT_TYPE_STRING:
        return length % 2 == 0;
    case WMT_TYPE_BINARY:
        return true;
    default:
        return false; // GUIDs have no place in the file-wide attribute list
    }
}

} // namespace

HRESULT HeaderAttributes::Set(WORD streamNumber, const WCHAR* name, WMT_ATTR_DATATYPE type,
                              const BYTE* value, WORD length) {
    if (name == nullptr || (value == nullptr && length > 0)) {
        return E_POINTER;
    }
    const std::size_t nameLength = Utf16Length(name);
    if (streamNumber != 0 || nameLength == 0 || nameLength > kMaxNameCharacters ||
        !LengthFits(type, length)) {
        return E_INVALIDARG;
    }
    try {
        HeaderAttribute attribute;
        attribute.name.assign(name, nameLength);
        attribute.type = type;
        if (length > 0) {
            attribute.value.assign(value, value + length);
        }
        if (type == WMT_TYPE_BOOL) {
            const bool set = std::any_of(attribute.value.begin(), attribute.value.end(),
                                         [](BYTE b) { return b != 0; });
            attribute.value = {static_cast<BYTE>(set ? 1 : 0), 0, 0, 0};
        }
        if (type == WMT_TYPE_STRING) {
            // Keep the text up to its first terminator, then terminate it.
            std::size_t units = attribute.value.size() / 2;
            for (std::size_t i = 0; i < units; ++i) {
                if (attribute.value[2 * i] == 0 && attribute.value[2 * i + 1] == 0) {
                    units = i;
                    break;
                }
            }
            if (2 * units + 2 > std::numeric_limits<WORD>::max()) {
                return E_INVALIDARG;
            }
            attribute.value.resize(2 * units);
            attribute.value.push_back(0);
            attribute.value.push_back(0);
        }
        std::lock_guard guard(lock_);
        if (sealed_) {
            return NS_E_INVALID_REQUEST;
        }
        const auto existing =
            std::find_if(attributes_.begin(), attributes_.end(),
                         [&](const HeaderAttribute& a) { return a.name == attribute.name; });
        if (existing != attributes_.end()) {
            *existing = std::move(attribute);
        } else {
            attributes_.push_back(std::move(attribute));
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

std::vector<HeaderAttribute> HeaderAttributes::Snapshot() const {
    std::lock_guard guard(lock_);
    return attributes_;
}

std::vector<HeaderAttribute> HeaderAttributes::SnapshotAndSeal() {
    std::lock_guard guard(lock_);
    sealed_ = true;
    return attributes_;
}

void HeaderAttributes::Unseal() {
    std::lock_guard guard(lock_);
    sealed_ = false;
}

} // namespace writer
