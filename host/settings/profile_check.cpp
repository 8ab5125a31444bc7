#include "settings/profile_check.h"

#include <cstdio>

#include "platform/com.h"
#include "platform/dshow.h"
#include "platform/unicode.h"
#include "platform/win32_api.h"
#include "platform/wmsdk.h"

namespace vantrel {
namespace {

// Releases an interface reference when it goes out of scope.
template <class T> struct Held {
    T* p = nullptr;
    ~Held() {
        if (p)
            p->Release();
    }
};

// The thread's error text from the failed call, else a text for the code.
std::string reason_for(HRESULT hr, const char* fallback) {
    Held<IErrorInfo> info;
    if (GetErrorInfo(0, &info.p) == S_OK && info.p) {
        BSTR text = nullptr;
        if (SUCCEEDED(info.p->GetDescription(&text)) && text) {
            auto utf8 = unicode::Utf16ToUtf8(text, false);
            SysFreeString(text);
            if (utf8 && !utf8->empty())
                return *utf8;
        }
    }
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return std::string(fallback) + " (" + code + ")";
}

} // namespace

std::string profile_problem(const std::string& profile_text) {
    const auto wide = unicode::Utf8ToUtf16(profile_text, false);
    const HRESULT com = CoInitialize(nullptr);
    std::string problem;
    {
        Held<IWMProfileManager> manager;
        Held<IWMProfile> profile;
        Held<IConfigAsfWriter> writer;
        SetErrorInfo(0, nullptr);
        HRESULT hr = WMCreateProfileManager(&manager.p);
        if (FAILED(hr))
            problem = reason_for(hr, "the profile manager is not available");
        if (problem.empty() && FAILED(hr = manager.p->LoadProfileByData(wide->c_str(), &profile.p)))
            problem = reason_for(hr, "not a usable profile");
        if (problem.empty() &&
            FAILED(hr =
                       CoCreateInstance(CLSID_WMAsfWriter, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IConfigAsfWriter, reinterpret_cast<void**>(&writer.p))))
            problem = reason_for(hr, "the Windows Media writer is not available");
        if (problem.empty() && FAILED(hr = writer.p->ConfigureFilterUsingProfile(profile.p)))
            problem = reason_for(hr, "the writer cannot encode with it");
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return problem;
}

} // namespace vantrel
