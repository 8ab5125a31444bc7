#include "settings/profile_check.h"

#include "platform/com.h"
#include "platform/dshow.h"
#include "platform/unicode.h"
#include "platform/win32_api.h"
#include "platform/wmsdk.h"
#include "services/platform_error.h"

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
            problem = platform_error_text(hr, "the profile manager is not available");
        if (problem.empty() && FAILED(hr = manager.p->LoadProfileByData(wide->c_str(), &profile.p)))
            problem = platform_error_text(hr, "not a usable profile");
        if (problem.empty() &&
            FAILED(hr =
                       CoCreateInstance(CLSID_WMAsfWriter, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IConfigAsfWriter, reinterpret_cast<void**>(&writer.p))))
            problem = platform_error_text(hr, "the Windows Media writer is not available");
        if (problem.empty() && FAILED(hr = writer.p->ConfigureFilterUsingProfile(profile.p)))
            problem = platform_error_text(hr, "the writer cannot encode with it");
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return problem;
}

} // namespace vantrel
