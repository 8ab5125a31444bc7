// The services the host offers its components through `host_api`: the console,
// the PCM converter and the local file system. They live as long as the host,
// so their reference counts do nothing.
#pragma once

#include <string>

#include "vantrel/host_api.h"

namespace vantrel {

class StatusOutput;

// Console lines go to standard error with their severity and source; error
// lines also count against the calling thread's track.
class host_console final : public console {
public:
    explicit host_console(StatusOutput& output) : output_(output) {}

    std::int32_t release() override { return 1; }
    std::int32_t add_ref() override { return 1; }
    service_base* query_service(const GUID& guid) override;
    void print(std::int32_t severity, const char* text, const char* source) override;

    // The line as written, without the track's name.
    static std::string format_line(std::int32_t severity, const char* text, const char* source);

private:
    StatusOutput& output_;
};

// Double samples to signed 16-bit little-endian PCM. Each thread has its own
// output block, valid until that thread's next conversion.
class host_pcm_converter final : public pcm_converter {
public:
    std::int32_t release() override { return 1; }
    std::int32_t add_ref() override { return 1; }
    service_base* query_service(const GUID& guid) override;
    bool convert(const sample_chunk& chunk, pcm_block& out, std::uint32_t bits_per_sample,
                 bool is_signed, bool is_float) override;
};

// Plain files of this machine: every path that is not a URL, and "file://" URLs.
class local_file_system final : public file_system {
public:
    std::int32_t release() override { return 1; }
    std::int32_t add_ref() override { return 1; }
    service_base* query_service(const GUID& guid) override;
    bool canonicalize(const char* path, string_base& out) override;
    bool owns_path(const char* path) override;
    bool file_exists(const char* path) override;
    file_object* create_file(const char* path) override;
};

class host_services final : public host_api {
public:
    explicit host_services(StatusOutput& output) : console_(output) {}

    std::int32_t release() override { return 1; }
    std::int32_t add_ref() override { return 1; }
    service_base* query_service(const GUID& guid) override;
    service_base* get_service(const GUID& guid, std::uint32_t index) override;

private:
    host_console console_;
    host_pcm_converter pcm_;
    local_file_system files_;
};

} // namespace vantrel
