#include "services/track_info.h"

namespace vantrel {

bool track_info::get_info(file_info& out, std::uint32_t) const {
    out.meta_erase_all();
    out.info_erase_all();
    out.assign_location(location);
    out.assign_length(length_seconds);
    bool complete = true;
    for (const Tag& tag : meta)
        complete &= out.meta_append(tag.name.c_str(), tag.value.c_str()) >= 0;
    for (const Tag& tag : info)
        complete &= out.info_put(tag.name.c_str(), tag.value.c_str()) >= 0;
    return complete;
}

} // namespace vantrel
