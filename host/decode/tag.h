// One name/value pair of a track's tags or technical information.
#pragma once

#include <string>
#include <vector>

namespace vantrel {

struct Tag {
    std::string name;
    std::string value;
    bool operator==(const Tag&) const = default;
};

using TagList = std::vector<Tag>;

} // namespace vantrel
