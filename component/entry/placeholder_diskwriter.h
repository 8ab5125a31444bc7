// A stand-in disk writer that the factory makes until the real Windows Media
// writer is wired in. It writes nothing: every operation answers failure or
// an empty value, so a host sees a writer that refuses all work.
#pragma once

#include "vantrel/service.h"

class placeholder_diskwriter : public diskwriter {
public:
    service_base* query_service(const GUID& guid) override;
    void report_format_name(string_base& out) override;
    bool report_file_extension(string_base& out) override;
    bool open(const char* location, std::uint32_t p1, std::uint32_t p2, std::uint32_t p3,
              std::uint32_t p4, std::uint32_t p5) override;
    bool set_info(track_handle* track) override;
    bool process_chunk(sample_chunk& chunk) override;
    void close() override;
    GUID get_guid() override;
    bool set_config(const void* data, std::uint32_t size) override;
    void get_config(byte_sink& sink) override;
    bool has_settings_dialog() override;
    bool show_settings_dialog(HWND parent) override;
    std::int32_t query_int_flag() override;
    void get_default_config(std::uint32_t unused, byte_sink& sink) override;
    bool get_config_description(string_base& out) override;
};
