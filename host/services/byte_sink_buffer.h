// A byte sink that collects what a component writes (its configuration block).
#pragma once

#include <cstdint>
#include <vector>

#include "vantrel/host_api.h"

namespace vantrel {

class byte_sink_buffer final : public byte_sink {
public:
    bool write(const void* bytes, std::uint32_t count) override {
        if (count == 0)
            return true;
        if (!bytes)
            return false;
        auto first = static_cast<const std::uint8_t*>(bytes);
        data.insert(data.end(), first, first + count);
        return true;
    }

    std::vector<std::uint8_t> data;
};

} // namespace vantrel
