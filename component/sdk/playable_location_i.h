// The in-memory playable_location: a path copy and a sub-song index.
#pragma once

#include "sdk/heap_text.h"
#include "vantrel/file_info.h"

class playable_location_i : public playable_location {
public:
    playable_location_i() = default;
    playable_location_i(const char* path, std::int32_t subsong);
    playable_location_i(const playable_location_i&) = delete;
    playable_location_i& operator=(const playable_location_i&) = delete;
    ~playable_location_i() override = default;

    const char* path() const override { return path_.get(); }
    const char* assign_path(const char* text) override;
    std::int32_t subsong() const override { return subsong_; }
    void assign_subsong(std::int32_t index) override { subsong_ = index; }

    // Whether a path copy is held (the empty path holds none).
    bool holds_path_copy() const { return !path_.is_null(); }

private:
    heap_text path_;
    std::int32_t subsong_ = 0;
};
