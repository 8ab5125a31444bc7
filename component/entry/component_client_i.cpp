#include "entry/component_client_i.h"

#include "entry/module_state.h"

std::int32_t component_client_i::get_interface_version() {
    return component_interface_version;
}

service_factory_base* component_client_i::get_factory_list() {
    return service_factory_base::list_head();
}

// The component keeps no settings at this level; the disk writer's travel
// in its own configuration block.
void component_client_i::save_settings(byte_sink&) {}
void component_client_i::load_settings(const void*, std::uint32_t) {}

void component_client_i::no_op_hook() {}

void component_client_i::set_paths(const char* host_path, const char* component_path) {
    SetPaths(host_path, component_path);
}

void component_client_i::set_services_ready(std::uint8_t ready) {
    SetServicesReady(ready);
}
