// The client object the entry point hands to the host: the interface version,
// the factory list and the host's calls that set the module-wide values.
#pragma once

#include "vantrel/service.h"

class component_client_i : public component_client {
public:
    component_client_i() = default;
    component_client_i(const component_client_i&) = delete;
    component_client_i& operator=(const component_client_i&) = delete;

    std::int32_t get_interface_version() override;
    service_factory_base* get_factory_list() override;
    void save_settings(byte_sink& sink) override;
    void load_settings(const void* data, std::uint32_t size) override;
    void no_op_hook() override;
    void set_paths(const char* host_path, const char* component_path) override;
    void set_services_ready(std::uint8_t ready) override;
};
