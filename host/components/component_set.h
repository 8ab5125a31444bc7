// Loading the player's components: every shared library in the components
// folder, each asked for its client object and its service factories.
#pragma once

#include <string>
#include <vector>

#include "vantrel/host_api.h"
#include "vantrel/service.h"

namespace vantrel {

struct LoadedComponent {
    std::string path;
    component_client* client = nullptr;
    std::string name, version, about; // from its componentversion record, if any
    std::vector<service_factory_base*> factories;
};

struct ComponentFailure {
    std::string path;
    std::string reason;
};

// A disk-writer factory of a loaded component, with what an instance says of itself.
struct DiskWriterChoice {
    service_factory_base* factory = nullptr;
    const LoadedComponent* component = nullptr;
    std::string format_name;
    std::string extension;
    GUID guid{};
};

// The folder: `option` when given, else $VANTREL_COMPONENTS, else "components"
// beside the running program, else the installed components folder (in
// lib/vantrel/ beside the program's bin/).
std::string components_folder(const std::string& option);

class ComponentSet {
public:
    // Loads every "*.so" in `folder`, in name order. A library that fails is
    // recorded with the reason; the others still load. The libraries stay loaded
    // for the life of the process (their objects may outlive this set).
    ComponentSet(host_api& api, const std::string& folder, const std::string& host_path);

    const std::vector<LoadedComponent>& components() const { return components_; }
    const std::vector<ComponentFailure>& failures() const { return failures_; }
    const std::string& folder() const { return folder_; }
    // Set when the folder itself cannot be read.
    const std::string& folder_error() const { return folder_error_; }

    // Every disk writer offered, asking a fresh instance of each for its name,
    // extension and identifier. Instances are made and released on the calling
    // thread. Factories that make no instance are recorded as failures.
    std::vector<DiskWriterChoice> disk_writers();

private:
    void load(host_api& api, const std::string& path, const std::string& host_path);

    std::string folder_;
    std::string folder_error_;
    std::vector<LoadedComponent> components_;
    std::vector<ComponentFailure> failures_;
};

// The writer named "Windows Media Audio" if there is one, else the first one;
// null when there are none.
const DiskWriterChoice* pick_disk_writer(const std::vector<DiskWriterChoice>& writers);

} // namespace vantrel
