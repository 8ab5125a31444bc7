#include "services/host_services.h"

namespace vantrel {

service_base* host_services::query_service(const GUID&) {
    return nullptr;
}

service_base* host_services::get_service(const GUID& guid, std::uint32_t index) {
    if (index != 0)
        return nullptr;
    if (guid == console::class_guid)
        return &console_;
    if (guid == pcm_converter::class_guid)
        return &pcm_;
    if (guid == file_system::class_guid)
        return &files_;
    return nullptr;
}

} // namespace vantrel
