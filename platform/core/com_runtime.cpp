// COM apartments counted per thread, the in-process class registry and task memory.
#include "platform/com.h"

#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

constexpr DWORD kCoInitDisableOle1Dde = 0x4;
constexpr DWORD kCoInitSpeedOverMemory = 0x8;
constexpr DWORD kKnownCoInitFlags =
    COINIT_APARTMENTTHREADED | kCoInitDisableOle1Dde | kCoInitSpeedOverMemory;

// How often the current thread initialised COM, and in which apartment kind.
struct Apartment {
    unsigned count = 0;
    bool singleThreaded = false;
};
thread_local Apartment apartment;

struct ClassEntry {
    CLSID classId;
    ClassFactoryFunction create;
};

struct ClassRegistry {
    std::mutex mutex;
    std::vector<ClassEntry> classes;
};

ClassRegistry& Registry() {
    // Function-local so that static initialisers of other translation units can
    // register classes whatever the initialisation order; never destroyed so
    // that static destructors can still remove theirs.
    static ClassRegistry* registry = new ClassRegistry;
    return *registry;
}

ClassFactoryFunction FindClass(REFCLSID classId) {
    ClassRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    for (const ClassEntry& entry : registry.classes)
        if (entry.classId == classId)
            return entry.create;
    return nullptr;
}

} // namespace

extern "C" {

HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit) {
    if (reserved || (coInit & ~kKnownCoInitFlags) != 0)
        return E_INVALIDARG;
    const bool singleThreaded = (coInit & COINIT_APARTMENTTHREADED) != 0;
    if (apartment.count == 0) {
        apartment.singleThreaded = singleThreaded;
        apartment.count = 1;
        return S_OK;
    }
    // A conflicting kind is refused and not counted: the caller must not pair it.
    if (apartment.singleThreaded != singleThreaded)
        return RPC_E_CHANGED_MODE;
    ++apartment.count;
    return S_FALSE;
}

HRESULT CoInitialize(LPVOID reserved) {
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize() {
    // An unpaired call is ignored rather than driving the count below zero.
    if (apartment.count > 0)
        --apartment.count;
}

HRESULT CoCreateInstance(REFCLSID classId, IUnknown* outer, DWORD context, REFIID iid,
                         void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (apartment.count == 0)
        return CO_E_NOTINITIALIZED;
    // An aggregated object must hand its outer object the inner unknown.
    if (outer && !(iid == IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    if ((context & CLSCTX_INPROC_SERVER) == 0)
        return REGDB_E_CLASSNOTREG;
    const ClassFactoryFunction create = FindClass(classId);
    if (!create)
        return REGDB_E_CLASSNOTREG;
    return create(outer, iid, object);
}

HRESULT CoRegisterClassFunction(REFCLSID classId, ClassFactoryFunction create) {
    ClassRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    for (auto entry = registry.classes.begin(); entry != registry.classes.end(); ++entry) {
        if (entry->classId == classId) {
            if (create)
                entry->create = create;
            else
                registry.classes.erase(entry);
            return S_OK;
        }
    }
    if (!create)
        return S_FALSE;
    registry.classes.push_back({classId, create});
    return S_OK;
}

void* CoTaskMemAlloc(SIZE_T size) {
    return std::malloc(size == 0 ? 1 : size);
}

void* CoTaskMemRealloc(void* block, SIZE_T size) {
    if (!block)
        return CoTaskMemAlloc(size);
    if (size == 0) {
        std::free(block);
        return nullptr;
    }
    return std::realloc(block, size);
}

void CoTaskMemFree(void* block) {
    std::free(block);
}

} // extern "C"
