// A track as the host hands it to a disk writer: its location, length, tags and
// technical information, copied into the writer's own record on request.
#pragma once

#include <string>

#include "decode/tag.h"
#include "vantrel/file_info.h"
#include "vantrel/host_api.h"

namespace vantrel {

class host_location final : public playable_location {
public:
    const char* path() const override { return path_.c_str(); }
    const char* assign_path(const char* text) override {
        path_ = text ? text : "";
        return path_.c_str();
    }
    std::int32_t subsong() const override { return subsong_; }
    void assign_subsong(std::int32_t index) override { subsong_ = index; }

private:
    std::string path_;
    std::int32_t subsong_ = 0;
};

class track_info final : public track_handle {
public:
    host_location location;
    double length_seconds = 0.0;
    TagList meta; // names may repeat
    TagList info; // names unique

    // Fills `out` through its virtual operations only, so any file_info works.
    bool get_info(file_info& out, std::uint32_t flags) const override;
};

} // namespace vantrel
