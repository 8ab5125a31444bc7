// The shared library's one exported function, and its registration with the
// platform so that its resources can be found under the module name.
#include "entry/component_resources.h"
#include "entry/entry.h"

extern "C" __attribute__((visibility("default"))) component_client*
vantrel_get_interface(host_api* api, HINSTANCE moduleInstance) {
    return EnterComponent(api, moduleInstance);
}

// Until the resources module supplies its table, the component has none.
__attribute__((weak)) const ModuleResources* ComponentResources() {
    static constexpr ModuleResources kNoResources = {nullptr, 0, nullptr, 0};
    return &kNoResources;
}

namespace {

class ModuleRegistration {
public:
    ModuleRegistration() : module_(RegisterModule(kComponentModuleName, ComponentResources())) {}
    ~ModuleRegistration() { UnregisterModule(module_); }
    ModuleRegistration(const ModuleRegistration&) = delete;
    ModuleRegistration& operator=(const ModuleRegistration&) = delete;

private:
    HMODULE module_;
};

const ModuleRegistration g_registration;

} // namespace
