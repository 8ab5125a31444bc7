// Modules known by name, their exports and their string and dialog resources.
#include "win32_errors.h"

#include "platform/com.h"
#include "platform/win32_api.h"

#include <cctype>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

using namespace platform_core;

namespace {

// Handle values of the two built-in modules, and the first value given to a
// registered one. They are never reused and never point to memory.
const std::uintptr_t kProcessModule = 0x1000;
const std::uintptr_t kComModule = 0x2000;
const std::uintptr_t kFirstRegisteredModule = 0x10000;

HMODULE ModuleFromValue(std::uintptr_t value) {
    return reinterpret_cast<HMODULE>(value);
}

struct Module {
    std::string name; // normalised, see NormaliseName
    HMODULE handle;
    const ModuleResources* resources;
};

struct ModuleRegistry {
    std::mutex mutex;
    std::vector<Module> modules;
    std::uintptr_t next = kFirstRegisteredModule;
};

ModuleRegistry& Registry() {
    // Never destroyed: a library may unregister itself from a static destructor.
    static ModuleRegistry* registry = new ModuleRegistry;
    return *registry;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() > suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Lower case, without folder and without a ".so" or ".dll" ending, so that
// "ostrel", "OSTREL.DLL" and "components/ostrel.so" name the same module.
std::string NormaliseName(std::string_view name) {
    const auto slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    std::string lower;
    lower.reserve(name.size());
    for (const char c : name)
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    for (const std::string_view suffix : {".so", ".dll"})
        if (EndsWith(lower, suffix))
            lower.resize(lower.size() - suffix.size());
    return lower;
}

const ModuleResources* ResourcesOf(HINSTANCE instance) {
    ModuleRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    for (const Module& module : registry.modules)
        if (module.handle == instance)
            return module.resources;
    return nullptr;
}

struct Export {
    const char* name;
    FARPROC function;
};

const Export kComExports[] = {
    {"CoInitializeEx", reinterpret_cast<FARPROC>(&CoInitializeEx)},
    {"CoInitialize", reinterpret_cast<FARPROC>(&CoInitialize)},
    {"CoUninitialize", reinterpret_cast<FARPROC>(&CoUninitialize)},
    {"CoCreateInstance", reinterpret_cast<FARPROC>(&CoCreateInstance)},
    {"CoTaskMemAlloc", reinterpret_cast<FARPROC>(&CoTaskMemAlloc)},
    {"CoTaskMemRealloc", reinterpret_cast<FARPROC>(&CoTaskMemRealloc)},
    {"CoTaskMemFree", reinterpret_cast<FARPROC>(&CoTaskMemFree)},
    {"GetRunningObjectTable", reinterpret_cast<FARPROC>(&GetRunningObjectTable)},
    {"CreateItemMoniker", reinterpret_cast<FARPROC>(&CreateItemMoniker)},
};

} // namespace

extern "C" {

HMODULE RegisterModule(const char* name, const ModuleResources* resources) {
    if (!name || !*name) {
        SetLastError(kErrorInvalidParameter);
        return nullptr;
    }
    const std::string key = NormaliseName(name);
    ModuleRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    for (Module& module : registry.modules) {
        if (module.name == key) {
            module.resources = resources;
            return module.handle;
        }
    }
    const HMODULE handle = ModuleFromValue(registry.next);
    registry.next += 0x10;
    registry.modules.push_back({key, handle, resources});
    return handle;
}

void UnregisterModule(HMODULE module) {
    ModuleRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    std::erase_if(registry.modules, [module](const Module& m) { return m.handle == module; });
}

HMODULE GetModuleHandleA(LPCSTR name) {
    if (!name)
        return ModuleFromValue(kProcessModule);
    const std::string key = NormaliseName(name);
    if (key == "ole32")
        return ModuleFromValue(kComModule);
    ModuleRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    for (const Module& module : registry.modules)
        if (module.name == key)
            return module.handle;
    SetLastError(kErrorModNotFound);
    return nullptr;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    // Names below 0x10000 would be export ordinals, which no module here has.
    if (module == ModuleFromValue(kComModule) && reinterpret_cast<std::uintptr_t>(name) >= 0x10000)
        for (const Export& entry : kComExports)
            if (std::string_view(entry.name) == name)
                return entry.function;
    SetLastError(kErrorProcNotFound);
    return nullptr;
}

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferSize) {
    if (!buffer || bufferSize <= 0) {
        SetLastError(kErrorInvalidParameter);
        return 0;
    }
    buffer[0] = '\0';
    const ModuleResources* resources = ResourcesOf(instance);
    if (resources) {
        for (int i = 0; i < resources->stringCount; ++i) {
            const StringResource& entry = resources->strings[i];
            if (entry.id != id || !entry.text)
                continue;
            std::size_t count = std::strlen(entry.text);
            if (count > static_cast<std::size_t>(bufferSize - 1)) {
                count = static_cast<std::size_t>(bufferSize - 1);
                // Never end on half a UTF-8 character: drop continuation bytes
                // and the lead byte whose sequence was cut.
                while (count > 0 && (static_cast<unsigned char>(entry.text[count]) & 0xC0) == 0x80)
                    --count;
            }
            std::memcpy(buffer, entry.text, count);
            buffer[count] = '\0';
            return static_cast<int>(count);
        }
    }
    SetLastError(kErrorResourceNameNotFound);
    return 0;
}

const DialogTemplate* FindDialogTemplate(HINSTANCE instance, WORD id) {
    const ModuleResources* resources = ResourcesOf(instance);
    if (resources)
        for (int i = 0; i < resources->dialogCount; ++i)
            if (resources->dialogs[i].id == id)
                return &resources->dialogs[i];
    SetLastError(kErrorResourceNameNotFound);
    return nullptr;
}

} // extern "C"
