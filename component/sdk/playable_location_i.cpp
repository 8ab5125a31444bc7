#include "sdk/playable_location_i.h"

playable_location_i::playable_location_i(const char* path, std::int32_t subsong)
    : subsong_(subsong) {
    path_.set_or_clear(path);
}

const char* playable_location_i::assign_path(const char* text) {
    // The text may be our own path: copy before the old block is freed.
    if (!path_.set_or_clear(text)) {
        return nullptr;
    }
    return path();
}
