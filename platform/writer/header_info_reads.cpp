#include "header_info_reads.h"

#include "utf16_text.h"
#include "wm_profile.h"

#include <algorithm>
#include <limits>

namespace writer {
namespace {

template <class Length>
HRESULT CopyValue(const HeaderAttribute& attribute, WMT_ATTR_DATATYPE* type, BYTE* value,
                  Length* length) {
    if (attribute.value.size() > std::numeric_limits<Length>::max()) {
        return NS_E_TOO_MUCH_DATA;
    }
    *type = attribute.type;
    const auto needed = static_cast<Length>(attribute.value.size());
    if (value != nullptr) {
        if (*length < needed) {
            *length = needed;
            return ASF_E_BUFFERTOOSMALL;
        }
        std::copy(attribute.value.begin(), attribute.value.end(), value);
    }
    *length = needed;
    return S_OK;
}

template <class Length>
HRESULT CopyNameAndValue(const HeaderAttribute& attribute, WCHAR* name, WORD* nameLength,
                         WMT_ATTR_DATATYPE* type, BYTE* value, Length* valueLength) {
    if (attribute.value.size() > std::numeric_limits<Length>::max()) {
        return NS_E_TOO_MUCH_DATA;
    }
    const bool nameFits = name == nullptr || *nameLength > attribute.name.size();
    const bool valueFits = value == nullptr || *valueLength >= attribute.value.size();
    if (!nameFits || !valueFits) {
        *nameLength = static_cast<WORD>(attribute.name.size() + 1);
        *valueLength = static_cast<Length>(attribute.value.size());
        return ASF_E_BUFFERTOOSMALL;
    }
    const HRESULT hr = CopyTextOut(attribute.name, name, nameLength);
    if (FAILED(hr)) {
        return hr;
    }
    return CopyValue(attribute, type, value, valueLength);
}

} // namespace

HRESULT AttributeCount(const std::vector<HeaderAttribute>& list, WORD streamNumber, WORD* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    const std::size_t values = streamNumber == 0 ? list.size() : 0;
    *count = static_cast<WORD>(std::min<std::size_t>(values, std::numeric_limits<WORD>::max()));
    return S_OK;
}

HRESULT AttributeByIndex(const std::vector<HeaderAttribute>& list, WORD index, WORD* streamNumber,
                         WCHAR* name, WORD* nameLength, WMT_ATTR_DATATYPE* type, BYTE* value,
                         WORD* valueLength) {
    if (streamNumber == nullptr || nameLength == nullptr || type == nullptr ||
        valueLength == nullptr) {
        return E_POINTER;
    }
    if (*streamNumber != 0 || index >= list.size()) {
        return E_INVALIDARG;
    }
    return CopyNameAndValue(list[index], name, nameLength, type, value, valueLength);
}

HRESULT AttributeByName(const std::vector<HeaderAttribute>& list, WORD* streamNumber, LPCWSTR name,
                        WMT_ATTR_DATATYPE* type, BYTE* value, WORD* valueLength) {
    if (streamNumber == nullptr || name == nullptr || type == nullptr || valueLength == nullptr) {
        return E_POINTER;
    }
    if (*streamNumber != 0) {
        return E_INVALIDARG;
    }
    const auto positions = ValuesOf(list, std::u16string_view(name, Utf16Length(name)));
    if (positions.empty()) {
        return ASF_E_NOTFOUND;
    }
    return CopyValue(list[positions.front()], type, value, valueLength);
}

HRESULT AttributeByIndexEx(const std::vector<HeaderAttribute>& list, WORD streamNumber, WORD index,
                           WCHAR* name, WORD* nameLength, WMT_ATTR_DATATYPE* type, WORD* language,
                           BYTE* value, DWORD* valueLength) {
    if (nameLength == nullptr || type == nullptr || valueLength == nullptr) {
        return E_POINTER;
    }
    if (streamNumber != 0 || index >= list.size()) {
        return E_INVALIDARG;
    }
    if (language != nullptr) {
        *language = 0;
    }
    return CopyNameAndValue(list[index], name, nameLength, type, value, valueLength);
}

} // namespace writer
