#include "entry/host_calls.h"

#include "entry/module_state.h"
#include "sdk/string8.h"
#include "vantrel/host_api.h"

#include <string>

namespace {

// The canonical form of `path`: the answer of the first file system that
// understands it, else the path itself.
std::string CanonicalPath(host_api& api, const char* path) {
    for (std::uint32_t index = 0;; ++index) {
        file_system* system = api.get_service_as<file_system>(index);
        if (system == nullptr)
            return path;
        string8 canonical;
        const bool understood = system->canonicalize(path, canonical);
        system->release();
        if (understood)
            return canonical.text();
    }
}

// The first file system that owns `canonicalPath`, with one reference, or null.
file_system* OwnerOf(host_api& api, const char* canonicalPath) {
    for (std::uint32_t index = 0;; ++index) {
        file_system* system = api.get_service_as<file_system>(index);
        if (system == nullptr || system->owns_path(canonicalPath))
            return system;
        system->release();
    }
}

// The file system that owns `path`, with one reference, and the path in its
// canonical form; null without a host, a path or an owner.
file_system* OwnerOfPath(const char* path, std::string& canonical) {
    host_api* api = HostApi();
    if (api == nullptr || path == nullptr)
        return nullptr;
    canonical = CanonicalPath(*api, path);
    return OwnerOf(*api, canonical.c_str());
}

} // namespace

void ConsolePrint(std::int32_t severity, const char* text) {
    host_api* api = HostApi();
    if (api == nullptr)
        return;
    console* lines = api->get_service_as<console>(0);
    if (lines == nullptr)
        return;
    lines->print(severity, text != nullptr ? text : "", ComponentFilePath());
    lines->release();
}

bool HostFileExists(const char* path) {
    std::string canonical;
    file_system* owner = OwnerOfPath(path, canonical);
    if (owner == nullptr)
        return false;
    const bool exists = owner->file_exists(canonical.c_str());
    owner->release();
    return exists;
}

file_object* HostOpenFileForReading(const char* path) {
    std::string canonical;
    file_system* owner = OwnerOfPath(path, canonical);
    if (owner == nullptr)
        return nullptr;
    file_object* file = owner->create_file(canonical.c_str());
    owner->release();
    if (file != nullptr && !file->open(canonical.c_str(), file_object::mode_read)) {
        file->release();
        file = nullptr;
    }
    return file;
}
