#include "entry/module_state.h"

#include <atomic>
#include <string>

namespace {

// Disk writers on several host threads read these while nothing changes them.
std::atomic<host_api*> g_hostApi{nullptr};
std::atomic<HINSTANCE> g_moduleInstance{nullptr};
std::atomic<std::uint8_t> g_servicesReady{0};
std::string g_hostPath;
std::string g_componentPath;

} // namespace

host_api* HostApi() {
    return g_hostApi.load(std::memory_order_acquire);
}
void SetHostApi(host_api* api) {
    g_hostApi.store(api, std::memory_order_release);
}

HINSTANCE ModuleInstance() {
    return g_moduleInstance.load(std::memory_order_acquire);
}
void SetModuleInstance(HINSTANCE instance) {
    g_moduleInstance.store(instance, std::memory_order_release);
}

const char* HostPath() {
    return g_hostPath.c_str();
}
const char* ComponentFilePath() {
    return g_componentPath.c_str();
}

void SetPaths(const char* hostPath, const char* componentPath) {
    // A null text counts as an empty one.
    g_hostPath = hostPath != nullptr ? hostPath : "";
    g_componentPath = componentPath != nullptr ? componentPath : "";
}

std::uint8_t ServicesReady() {
    return g_servicesReady.load(std::memory_order_relaxed);
}
void SetServicesReady(std::uint8_t ready) {
    g_servicesReady.store(ready, std::memory_order_relaxed);
}
