#include <vector>

#include "services/host_services.h"
#include "services/pcm_conversion.h"
#include "services/track_context.h"
#include "vantrel/sample_chunk.h"

namespace vantrel {

service_base* host_pcm_converter::query_service(const GUID& guid) {
    return guid == pcm_converter::class_guid ? this : nullptr;
}

bool host_pcm_converter::convert(const sample_chunk& chunk, pcm_block& out,
                                 std::uint32_t bits_per_sample, bool is_signed, bool is_float) {
    // One block per thread: each disk writer converts on its own thread.
    thread_local std::vector<std::uint8_t> block;
    out = {nullptr, 0};
    if ((bits_per_sample != 16 && bits_per_sample != 24) || !is_signed || is_float)
        return false;
    if (TrackContext* track = current_track())
        track->pcm_bits = static_cast<int>(bits_per_sample);
    const std::uint64_t values =
        static_cast<std::uint64_t>(chunk.sample_count()) * chunk.channel_count();
    const std::uint64_t bytes = values * (bits_per_sample / 8);
    if (values > chunk.data_capacity() || bytes > 0xFFFFFFFFu ||
        (values > 0 && chunk.sample_data() == nullptr))
        return false;
    try {
        if (block.size() < bytes)
            block.resize(bytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (bits_per_sample == 16)
        convert_to_int16(chunk.sample_data(), values,
                         reinterpret_cast<std::int16_t*>(block.data()));
    else
        convert_to_int24(chunk.sample_data(), values, block.data());
    out = {block.data(), static_cast<std::uint32_t>(bytes)};
    return true;
}

} // namespace vantrel
