// A playable_location that keeps its own copy of the path: what a host or a
// component fills when it needs a location of its own. Header-only, so each
// side builds it into itself; the other side reaches it through the slots.
#pragma once

#include <string>

#include "vantrel/file_info.h"

class location_record final : public playable_location {
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
