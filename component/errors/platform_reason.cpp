#include "errors/platform_reason.h"

#include "sdk/conversion_holders.h"

#include "platform/com.h"

void ForgetPlatformReason() {
    SetErrorInfo(0, nullptr);
}

std::string TakePlatformReason() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr)
        return {};
    std::string reason;
    BSTR text = nullptr;
    if (SUCCEEDED(info->GetDescription(&text)) && text != nullptr) {
        const utf8_from_wide narrow(text);
        reason = narrow.get();
        SysFreeString(text);
    }
    info->Release();
    return reason;
}
