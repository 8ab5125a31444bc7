// The version record made from three fixed texts; the file path comes from
// what the host named with set_paths.
#pragma once

#include "vantrel/service.h"

class componentversion_i_simple : public componentversion {
public:
    componentversion_i_simple(const char* name, const char* version, const char* about)
        : name_(name), version_(version), about_(about) {}

    service_base* query_service(const GUID& guid) override;
    void report_file_path(string_base& out) override;
    void report_component_name(string_base& out) override;
    void report_component_version(string_base& out) override;
    void report_about_text(string_base& out) override;

private:
    // Static UTF-8 texts; null answers as "".
    const char* name_;
    const char* version_;
    const char* about_;
};
