// The result codes the component can name in its messages: Windows Media
// format codes and the general platform failures.
#pragma once

#include "platform/win32_types.h"

#include <string>

struct ResultCodeRow {
    HRESULT code;
    const char* name;        // null only in the terminating row
    const char* description; // may be empty, never null in a named row
};

// Number of named rows; the table has one more, the terminator (code 0, nulls).
inline constexpr int kResultCodeCount = 58;
extern const ResultCodeRow ResultCodeTable[kResultCodeCount + 1];

// On a hit sets `text` to "<name> - <description>" and answers true. Answers
// false, leaving `text` as it was, for an unknown code or a null `text`.
bool LookupResultCode(HRESULT code, std::string* text);
