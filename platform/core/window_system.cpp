// Message boxes and dialog ends, forwarded to whoever runs dialogs in the process.
#include "platform/win32_api.h"

#include <cstdio>
#include <mutex>

namespace {

struct Provider {
    std::mutex mutex;
    bool installed = false;
    WindowSystem calls{};
};

Provider& CurrentProvider() {
    static Provider* provider = new Provider;
    return *provider;
}

WindowSystem Calls() {
    Provider& provider = CurrentProvider();
    std::lock_guard lock(provider.mutex);
    return provider.installed ? provider.calls : WindowSystem{};
}

} // namespace

extern "C" {

void SetWindowSystem(const WindowSystem* system) {
    Provider& provider = CurrentProvider();
    std::lock_guard lock(provider.mutex);
    provider.installed = system != nullptr;
    provider.calls = system ? *system : WindowSystem{};
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    const WindowSystem calls = Calls();
    if (calls.messageBox)
        return calls.messageBox(owner, text, caption, type);
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "Error", text ? text : "");
    return IDOK;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    const WindowSystem calls = Calls();
    return calls.endDialog ? calls.endDialog(dialog, result) : FALSE;
}

} // extern "C"
