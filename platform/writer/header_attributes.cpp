#include "header_attributes.h"
#include "core/error_description.h"

#include "asf_objects.h"
#include "attribute_names.h"
#include "utf16_text.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace writer {
namespace {

// Names are written with their terminator into a 16-bit byte count.
constexpr std::size_t kMaxNameCharacters = 0x7FFE;

bool LengthFits(WMT_ATTR_DATATYPE type, DWORD length) {
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

// "1", "true" or "yes" (in any case) is set, "0", "false" or "no" is not.
std::optional<bool> FlagOf(std::u16string_view text) {
    std::u16string folded(text);
    for (char16_t& c : folded) {
        c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
    }
    if (folded == u"1" || folded == u"true" || folded == u"yes") {
        return true;
    }
    if (folded == u"0" || folded == u"false" || folded == u"no") {
        return false;
    }
    return std::nullopt;
}

} // namespace

std::vector<BYTE> StringValue(std::u16string_view text) {
    std::vector<BYTE> bytes;
    bytes.reserve(2 * text.size() + 2);
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<BYTE>(unit & 0xFF));
        bytes.push_back(static_cast<BYTE>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

std::u16string TextOf(const HeaderAttribute& attribute) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < attribute.value.size(); i += 2) {
        const auto unit = static_cast<char16_t>(attribute.value[i] | attribute.value[i + 1] << 8);
        if (unit == 0) {
            break;
        }
        text.push_back(unit);
    }
    return text;
}

HRESULT MakeAttribute(WORD streamNumber, const WCHAR* name, WMT_ATTR_DATATYPE type,
                      const BYTE* value, DWORD length, HeaderAttribute* attribute) {
    if (name == nullptr || (value == nullptr && length > 0)) {
        return E_POINTER;
    }
    const std::size_t nameLength = Utf16Length(name);
    if (streamNumber != 0 || nameLength == 0 || nameLength > kMaxNameCharacters ||
        length > kMaxAttributeBytes || !LengthFits(type, length)) {
        return E_INVALIDARG;
    }
    try {
        HeaderAttribute made;
        made.name = StandardAttributeName(std::u16string_view(name, nameLength));
        made.type = type;
        if (type == WMT_TYPE_BOOL) {
            const bool set = std::any_of(value, value + length, [](BYTE b) { return b != 0; });
            made.value = {static_cast<BYTE>(set ? 1 : 0), 0, 0, 0};
        } else if (type == WMT_TYPE_STRING) {
            // The text up to its first terminator, then terminated.
            std::u16string text;
            for (DWORD i = 0; i + 1 < length && (value[i] != 0 || value[i + 1] != 0); i += 2) {
                text.push_back(static_cast<char16_t>(value[i] | value[i + 1] << 8));
            }
            made.value = StringValue(text);
            // Readers take a compilation flag as a BOOL.
            if (const auto flag = FlagOf(text); flag && made.name == kCompilationName) {
                made.type = WMT_TYPE_BOOL;
                made.value = {static_cast<BYTE>(*flag ? 1 : 0), 0, 0, 0};
            }
        } else if (length > 0) {
            made.value.assign(value, value + length);
        }
        *attribute = std::move(made);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

namespace {

std::size_t ContentHash(const HeaderAttribute& attribute) {
    const std::string_view bytes(reinterpret_cast<const char*>(attribute.value.data()),
                                 attribute.value.size());
    std::size_t hash = std::hash<std::u16string>{}(attribute.name);
    hash = hash * 31 + std::hash<std::string_view>{}(bytes);
    return hash * 31 + static_cast<std::size_t>(attribute.type);
}

} // namespace

HeaderSlot SlotOf(const HeaderAttribute& attribute, bool firstOfName, std::size_t extendedUsed) {
    const bool descriptionName =
        std::find(asf::kContentDescriptionNames.begin(), asf::kContentDescriptionNames.end(),
                  attribute.name) != asf::kContentDescriptionNames.end();
    if (!firstOfName || attribute.value.size() > std::numeric_limits<WORD>::max()) {
        return HeaderSlot::library;
    }
    if (descriptionName) {
        return attribute.type == WMT_TYPE_STRING ? HeaderSlot::contentDescription
                                                 : HeaderSlot::library;
    }
    return extendedUsed < kMaxObjectValues ? HeaderSlot::extended : HeaderSlot::library;
}

std::size_t AddValue(std::vector<HeaderAttribute>& list, HeaderAttribute attribute) {
    const auto same = std::find(list.begin(), list.end(), attribute);
    if (same != list.end()) {
        return static_cast<std::size_t>(same - list.begin());
    }
    list.push_back(std::move(attribute));
    return list.size() - 1;
}

std::vector<std::size_t> ValuesOf(const std::vector<HeaderAttribute>& list,
                                  std::u16string_view name) {
    const std::u16string standard = StandardAttributeName(name);
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].name == standard) {
            positions.push_back(i);
        }
    }
    return positions;
}

HRESULT HeaderAttributes::Set(WORD streamNumber, const WCHAR* name, WMT_ATTR_DATATYPE type,
                              const BYTE* value, WORD length) {
    HeaderAttribute attribute;
    const HRESULT hr = MakeAttribute(streamNumber, name, type, value, length, &attribute);
    if (FAILED(hr)) {
        return hr;
    }
    try {
        std::lock_guard guard(lock_);
        if (sealed_) {
            return NS_E_INVALID_REQUEST;
        }
        const std::size_t key = ContentHash(attribute);
        const auto [first, last] = byContent_.equal_range(key);
        for (auto it = first; it != last; ++it) {
            if (attributes_[it->second] == attribute) {
                return S_OK; // an identical value is kept once
            }
        }
        const bool firstOfName = !names_.contains(attribute.name);
        const HeaderSlot slot = SlotOf(attribute, firstOfName, extendedUsed_);
        if (slot == HeaderSlot::library && libraryUsed_ >= kMaxObjectValues) {
            platform_core::SetErrorDescription(
                "a file's header has no room left for another value of " +
                Utf8FromUtf16(attribute.name).value_or("a name") + " (it holds at most " +
                std::to_string(kMaxObjectValues + 1) + " values of one name, " +
                std::to_string(2 * kMaxObjectValues) + " in all)");
            return NS_E_TOO_MUCH_DATA;
        }
        if (firstOfName) {
            names_.insert(attribute.name);
        }
        extendedUsed_ += slot == HeaderSlot::extended ? 1 : 0;
        libraryUsed_ += slot == HeaderSlot::library ? 1 : 0;
        attributes_.push_back(std::move(attribute));
        byContent_.emplace(key, attributes_.size() - 1);
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
