// The reading calls of IWMHeaderInfo and IWMHeaderInfo3 over a list of
// attributes, shared by the writer filter and the metadata editor. Only stream
// 0 (the whole file) holds attributes; each value of a name has an index of
// its own; a name is looked up under its standard name, and its first value
// answers.
#pragma once

#include "header_attributes.h"

#include <vector>

namespace writer {

HRESULT AttributeCount(const std::vector<HeaderAttribute>& list, WORD streamNumber, WORD* count);

// Two-call protocol: a null name or value asks for the lengths; both lengths
// are checked before anything is copied. NS_E_TOO_MUCH_DATA for a value that
// a 16-bit length cannot hold.
HRESULT AttributeByIndex(const std::vector<HeaderAttribute>& list, WORD index, WORD* streamNumber,
                         WCHAR* name, WORD* nameLength, WMT_ATTR_DATATYPE* type, BYTE* value,
                         WORD* valueLength);
HRESULT AttributeByName(const std::vector<HeaderAttribute>& list, WORD* streamNumber, LPCWSTR name,
                        WMT_ATTR_DATATYPE* type, BYTE* value, WORD* valueLength);

// IWMHeaderInfo3's form, with a 32-bit value length and a language (always 0).
HRESULT AttributeByIndexEx(const std::vector<HeaderAttribute>& list, WORD streamNumber, WORD index,
                           WCHAR* name, WORD* nameLength, WMT_ATTR_DATATYPE* type, WORD* language,
                           BYTE* value, DWORD* valueLength);

} // namespace writer
