#include "profiles/attribute_from_text.h"

#include "errors/wma_exception.h"
#include "profiles/profile_text.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace {

constexpr char kSourceName[] = "WMAPresetLoader";
// The header stores a value's length in 16 bits.
constexpr std::size_t kMaxValueBytes = std::numeric_limits<WORD>::max();

bool SameNameIgnoringCase(std::u16string_view text, std::string_view name) {
    if (text.size() != name.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
        if (c != static_cast<char16_t>(name[i])) {
            return false;
        }
    }
    return true;
}

bool IsSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// Leading blanks, an optional sign, then decimal digits up to the first other
// character; 0 without digits. Out-of-range values stop at the nearest limit.
std::int64_t ParseDecimal(std::u16string_view text, std::int64_t minimum, std::int64_t maximum) {
    std::size_t at = 0;
    while (at < text.size() && IsSpace(text[at])) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) {
        negative = text[at] == u'-';
        ++at;
    }
    // Accumulated as a negative number, whose range reaches the minimum.
    std::int64_t value = 0;
    const std::int64_t limit = negative ? minimum : -maximum;
    bool saturated = false;
    for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
        const int digit = text[at] - u'0';
        if (saturated || value < (limit + digit) / 10) {
            saturated = true;
            continue;
        }
        value = value * 10 - digit;
    }
    if (saturated) {
        return negative ? minimum : maximum;
    }
    return negative ? value : -value;
}

template <class T> std::vector<BYTE> BytesOf(T value) {
    std::vector<BYTE> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

[[noreturn]] void Raise(const char* message, HRESULT code, int line) {
    throw CWMAException(message, code, kSourceName, line);
}

} // namespace

HRESULT SetAttributeFromText(IWMHeaderInfo* headerInfo, const AttributeRecord& record) {
    if (headerInfo == nullptr) {
        return E_POINTER;
    }
    const std::u16string_view type = record.typeName;
    const std::u16string_view value = record.valueText;
    WMT_ATTR_DATATYPE dataType = WMT_TYPE_DWORD;
    std::vector<BYTE> bytes;
    if (SameNameIgnoringCase(type, "string")) {
        dataType = WMT_TYPE_STRING;
        bytes.resize((value.size() + 1) * sizeof(char16_t), 0);
        std::memcpy(bytes.data(), value.data(), value.size() * sizeof(char16_t));
    } else if (SameNameIgnoringCase(type, "qword")) {
        dataType = WMT_TYPE_QWORD;
        bytes = BytesOf(ParseDecimal(value, std::numeric_limits<std::int64_t>::min(),
                                     std::numeric_limits<std::int64_t>::max()));
    } else if (SameNameIgnoringCase(type, "dword")) {
        dataType = WMT_TYPE_DWORD;
        bytes = BytesOf(
            static_cast<std::int32_t>(ParseDecimal(value, std::numeric_limits<std::int32_t>::min(),
                                                   std::numeric_limits<std::int32_t>::max())));
    } else if (SameNameIgnoringCase(type, "word")) {
        dataType = WMT_TYPE_WORD;
        const auto parsed = ParseDecimal(value, std::numeric_limits<std::int32_t>::min(),
                                         std::numeric_limits<std::int32_t>::max());
        bytes = BytesOf(static_cast<WORD>(static_cast<std::uint32_t>(parsed) & 0xFFFF));
    } else if (SameNameIgnoringCase(type, "binary")) {
        dataType = WMT_TYPE_BINARY;
        const std::string narrow = ProfileTextToNarrow(value);
        bytes.assign(narrow.begin(), narrow.end());
        bytes.push_back(0);
    } else if (SameNameIgnoringCase(type, "bool")) {
        dataType = WMT_TYPE_BOOL;
        if (SameNameIgnoringCase(value, "true")) {
            bytes = BytesOf(std::int32_t{1});
        } else if (SameNameIgnoringCase(value, "false")) {
            bytes = BytesOf(std::int32_t{0});
        } else {
            Raise("Invalid boolean attribute", E_INVALIDARG, __LINE__);
        }
    } else {
        Raise("Invalid attribute type", E_INVALIDARG, __LINE__);
    }
    // A longer value would have its length cut short by the 16-bit field.
    if (bytes.size() > kMaxValueBytes) {
        Raise("Failed to set attribute", E_INVALIDARG, __LINE__);
    }
    const std::u16string name = record.name;
    const HRESULT hr = headerInfo->SetAttribute(record.streamNumber, name.c_str(), dataType,
                                                bytes.data(), static_cast<WORD>(bytes.size()));
    if (FAILED(hr)) {
        Raise("Failed to set attribute", hr, __LINE__);
    }
    return hr;
}
