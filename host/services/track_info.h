// A track as the host hands it to a disk writer: its location, length, tags and
// technical information, copied into the writer's own record on request.
#pragma once

#include "decode/tag.h"
#include "vantrel/file_info.h"
#include "vantrel/host_api.h"
#include "vantrel/location_record.h"

namespace vantrel {

class track_info final : public track_handle {
public:
    location_record location;
    double length_seconds = 0.0;
    TagList meta; // names may repeat
    TagList info; // names unique

    // Fills `out` through its virtual operations only, so any file_info works.
    bool get_info(file_info& out, std::uint32_t flags) const override;
};

} // namespace vantrel
