#include "entry/placeholder_diskwriter.h"

#include "vantrel/string_base.h"

service_base* placeholder_diskwriter::query_service(const GUID& guid) {
    if (guid == diskwriter::class_guid) {
        add_ref();
        return this;
    }
    return nullptr;
}

void placeholder_diskwriter::report_format_name(string_base& out) {
    out.clear();
}

bool placeholder_diskwriter::report_file_extension(string_base& out) {
    out.clear();
    return false;
}

bool placeholder_diskwriter::open(const char*, std::uint32_t, std::uint32_t, std::uint32_t,
                                  std::uint32_t, std::uint32_t) {
    return false;
}

bool placeholder_diskwriter::set_info(track_handle*) {
    return false;
}
bool placeholder_diskwriter::process_chunk(sample_chunk&) {
    return false;
}
void placeholder_diskwriter::close() {}
GUID placeholder_diskwriter::get_guid() {
    return GUID_NULL;
}
bool placeholder_diskwriter::set_config(const void*, std::uint32_t) {
    return false;
}
void placeholder_diskwriter::get_config(byte_sink&) {}
bool placeholder_diskwriter::has_settings_dialog() {
    return false;
}
bool placeholder_diskwriter::show_settings_dialog(HWND) {
    return false;
}
std::int32_t placeholder_diskwriter::query_int_flag() {
    return 0;
}
void placeholder_diskwriter::get_default_config(std::uint32_t, byte_sink&) {}

bool placeholder_diskwriter::get_config_description(string_base& out) {
    out.clear();
    return false;
}
