#include "services/platform_error.h"

#include <cstdio>

#include "platform/com.h"
#include "platform/unicode.h"

namespace vantrel {

std::string platform_error_text(HRESULT hr, const char* fallback) {
    IErrorInfo* info = nullptr;
    std::string text;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        BSTR description = nullptr;
        if (SUCCEEDED(info->GetDescription(&description)) && description) {
            text = unicode::Utf16ToUtf8(description, false).value_or("");
            SysFreeString(description);
        }
        info->Release();
    }
    if (!text.empty())
        return text;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return std::string(fallback) + " (" + code + ")";
}

} // namespace vantrel
