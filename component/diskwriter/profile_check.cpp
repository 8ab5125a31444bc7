#include "diskwriter/profile_check.h"

#include "com/com_ref.h"
#include "errors/platform_reason.h"
#include "profiles/wma_preset_loader.h"
#include "sdk/conversion_holders.h"

#include "platform/dshow.h"
#include "platform/wmsdk.h"

#include <cstdio>

namespace {

// The platform's words for the failure, else the code.
std::string Reason(HRESULT result, const char* fallback) {
    std::string said = TakePlatformReason();
    if (!said.empty())
        return said;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
    return std::string(fallback) + " (" + code + ")";
}

} // namespace

std::string CustomProfileProblem(const WMAPresetLoader& loader, const char* utf8Text) {
    ForgetPlatformReason();
    ComRef<IWMProfile> profile;
    const wide_from_utf8 wideText(utf8Text);
    HRESULT result = loader.LoadCustomProfile(wideText.get(), profile.Receive());
    if (FAILED(result))
        return Reason(result, "not a usable profile");
    ComRef<IConfigAsfWriter> writer;
    result = CoCreateInstance(CLSID_WMAsfWriter, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IConfigAsfWriter, writer.ReceiveVoid());
    if (FAILED(result))
        return Reason(result, "the Windows Media writer is not available");
    result = writer->ConfigureFilterUsingProfile(profile.Get());
    if (FAILED(result))
        return Reason(result, "the writer cannot encode with it");
    return {};
}
