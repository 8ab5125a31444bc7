#include <cstdio>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>

#include "services/host_services.h"
#include "vantrel/string_base.h"

namespace fs = std::filesystem;

namespace vantrel {
namespace {

constexpr std::string_view kFileScheme = "file://";

// The plain path of a local path or "file://" URL; false for other URLs.
bool local_path(const char* path, std::string& out) {
    if (!path)
        return false;
    std::string_view text(path);
    if (text.starts_with(kFileScheme)) {
        out = std::string(text.substr(kFileScheme.size()));
        return true;
    }
    auto scheme = text.find("://");
    if (scheme != std::string_view::npos && text.find('/') > scheme)
        return false;
    out = std::string(text);
    return true;
}

class local_file : public file_object {
public:
    ~local_file() {
        if (file_)
            std::fclose(file_);
    }

    service_base* query_service(const GUID&) override { return nullptr; }

    bool open(const char* path, std::int32_t mode) override {
        std::string plain;
        if (file_ || mode != mode_read || !local_path(path, plain))
            return false;
        file_ = std::fopen(plain.c_str(), "rb");
        struct stat info {};
        if (file_ && (::fstat(::fileno(file_), &info) != 0 || S_ISDIR(info.st_mode))) {
            std::fclose(file_);
            file_ = nullptr;
        }
        return file_ != nullptr;
    }

    std::uint64_t get_size() override {
        struct stat info {};
        if (!file_ || ::fstat(::fileno(file_), &info) != 0)
            return 0;
        return static_cast<std::uint64_t>(info.st_size);
    }

    std::uint64_t read(void* buffer, std::uint64_t count) override {
        if (!file_ || !buffer)
            return 0;
        return std::fread(buffer, 1, static_cast<std::size_t>(count), file_);
    }

private:
    std::FILE* file_ = nullptr;
};

} // namespace

service_base* local_file_system::query_service(const GUID& guid) {
    return guid == file_system::class_guid ? this : nullptr;
}

bool local_file_system::canonicalize(const char* path, string_base& out) {
    std::string plain;
    if (!local_path(path, plain) || plain.empty())
        return false;
    std::error_code ec;
    fs::path absolute = fs::absolute(plain, ec);
    if (ec)
        return false;
    out.assign_text(absolute.lexically_normal().c_str());
    return true;
}

bool local_file_system::owns_path(const char* path) {
    std::string plain;
    return local_path(path, plain) && !plain.empty();
}

bool local_file_system::file_exists(const char* path) {
    std::string plain;
    struct stat info {};
    return local_path(path, plain) && ::stat(plain.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

file_object* local_file_system::create_file(const char* path) {
    std::string plain;
    if (!local_path(path, plain))
        return nullptr;
    return new (std::nothrow) service_impl_t<local_file>();
}

} // namespace vantrel
