#include "entry/componentversion_simple.h"

#include "entry/module_state.h"
#include "vantrel/string_base.h"

namespace {

const char* OrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

} // namespace

service_base* componentversion_i_simple::query_service(const GUID&) {
    return nullptr;
}

void componentversion_i_simple::report_file_path(string_base& out) {
    out.assign_text(ComponentFilePath());
}

void componentversion_i_simple::report_component_name(string_base& out) {
    out.assign_text(OrEmpty(name_));
}

void componentversion_i_simple::report_component_version(string_base& out) {
    out.assign_text(OrEmpty(version_));
}

void componentversion_i_simple::report_about_text(string_base& out) {
    out.assign_text(OrEmpty(about_));
}
