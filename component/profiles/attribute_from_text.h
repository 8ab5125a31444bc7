// Sets one header attribute of a Windows Media file from a type name and a
// value given as text.
#pragma once

#include "platform/wmsdk.h"

#include <string>

struct AttributeRecord {
    WORD streamNumber = 0;
    std::u16string name;
    std::u16string typeName; // string, qword, dword, word, binary or bool, in any case
    std::u16string valueText;
};

// Raises CWMAException for an unknown type name, a bool that is neither true
// nor false, a value too long for an attribute, or a refusal by the header;
// answers E_POINTER for a null header and otherwise the header's result.
HRESULT SetAttributeFromText(IWMHeaderInfo* headerInfo, const AttributeRecord& record);
