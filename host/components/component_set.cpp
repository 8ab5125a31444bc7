#include "components/component_set.h"

#include <algorithm>
#include <cstdlib>
#include <dlfcn.h>
#include <exception>
#include <filesystem>

#include "platform/win32_api.h"
#include "services/host_string.h"

namespace fs = std::filesystem;

namespace vantrel {
namespace {

constexpr char kPreferredWriter[] = "Windows Media Audio";

std::string program_folder() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : self.parent_path().string();
}

template <class T> T* instance_of(service_factory_base& factory) {
    service_base* made = factory.create_instance();
    return static_cast<T*>(made);
}

} // namespace

std::string components_folder(const std::string& option) {
    if (!option.empty())
        return option;
    if (const char* variable = std::getenv("VANTREL_COMPONENTS"); variable && variable[0])
        return variable;
    // Beside the program where it was built; below lib/ where it was installed.
    const fs::path beside = fs::path(program_folder()) / "components";
    const fs::path installed =
        (fs::path(program_folder()) / VANTREL_INSTALLED_COMPONENTS).lexically_normal();
    std::error_code ec;
    if (!fs::is_directory(beside, ec) && fs::is_directory(installed, ec))
        return installed.string();
    return beside.string();
}

ComponentSet::ComponentSet(host_api& api, const std::string& folder, const std::string& host_path)
    : folder_(folder) {
    std::error_code ec;
    std::vector<std::string> libraries;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        folder_error_ = "cannot read components folder " + folder + ": " + ec.message();
        return;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        if (it->path().extension() == ".so" && !it->is_directory(ec))
            libraries.push_back(it->path().string());
    }
    std::sort(libraries.begin(), libraries.end());
    for (const std::string& library : libraries)
        load(api, library, host_path);
}

void ComponentSet::load(host_api& api, const std::string& path, const std::string& host_path) {
    std::error_code ec;
    std::string absolute = fs::absolute(path, ec).lexically_normal().string();
    void* handle = ::dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = ::dlerror();
        failures_.push_back({absolute, reason ? reason : "dlopen failed"});
        return;
    }
    auto entry =
        reinterpret_cast<component_entry_point>(::dlsym(handle, component_entry_point_name));
    if (!entry) {
        failures_.push_back({absolute, std::string("not a component: it has no ") +
                                           component_entry_point_name + " function"});
        ::dlclose(handle);
        return;
    }
    // A component registers its module (and resources) under its file name when
    // it loads; that handle is its module instance.
    HINSTANCE instance = GetModuleHandleA(fs::path(absolute).stem().c_str());
    if (!instance)
        instance = reinterpret_cast<HINSTANCE>(handle);
    component_client* client = entry(&api, instance);
    if (!client) {
        failures_.push_back({absolute, "its entry point answered no client object"});
        return;
    }
    std::int32_t version = client->get_interface_version();
    if (version != component_interface_version) {
        failures_.push_back({absolute, "it speaks interface version " + std::to_string(version) +
                                           ", this host version " +
                                           std::to_string(component_interface_version)});
        return;
    }
    client->set_paths(host_path.c_str(), absolute.c_str());

    LoadedComponent component;
    component.path = absolute;
    component.client = client;
    for (service_factory_base* f = client->get_factory_list(); f; f = f->get_next()) {
        component.factories.push_back(f);
        if (f->get_class_guid() == componentversion::class_guid && component.name.empty()) {
            if (auto* record = instance_of<componentversion>(*f)) {
                host_string name, version_text, about;
                record->report_component_name(name);
                record->report_component_version(version_text);
                record->report_about_text(about);
                component.name = name.str();
                component.version = version_text.str();
                component.about = about.str();
                record->release();
            }
        }
    }
    components_.push_back(std::move(component));
}

std::vector<DiskWriterChoice> ComponentSet::disk_writers() {
    std::vector<DiskWriterChoice> writers;
    for (const LoadedComponent& component : components_) {
        for (service_factory_base* factory : component.factories) {
            if (!(factory->get_class_guid() == diskwriter::class_guid))
                continue;
            diskwriter* writer = nullptr;
            try {
                writer = instance_of<diskwriter>(*factory);
            } catch (const std::exception& e) {
                failures_.push_back(
                    {component.path, std::string("its disk writer cannot be made: ") + e.what()});
                continue;
            }
            if (!writer) {
                failures_.push_back({component.path, "its disk writer cannot be made"});
                continue;
            }
            DiskWriterChoice choice;
            choice.factory = factory;
            choice.component = &component;
            host_string name, extension;
            writer->report_format_name(name);
            choice.format_name = name.str();
            choice.extension = writer->report_file_extension(extension) && !extension.str().empty()
                                   ? extension.str()
                                   : "wma";
            choice.guid = writer->get_guid();
            writer->release();
            writers.push_back(std::move(choice));
        }
    }
    return writers;
}

const DiskWriterChoice* pick_disk_writer(const std::vector<DiskWriterChoice>& writers) {
    for (const DiskWriterChoice& writer : writers)
        if (writer.format_name == kPreferredWriter)
            return &writer;
    return writers.empty() ? nullptr : &writers.front();
}

} // namespace vantrel
