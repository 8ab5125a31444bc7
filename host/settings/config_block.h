// The disk writer's configuration block: preset index (signed 32-bit), text
// length N (unsigned 32-bit), then N bytes of custom profile text; little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// The preset index that selects the custom profile text.
constexpr std::int32_t kCustomProfileIndex = 9;

std::vector<std::uint8_t> make_config_block(std::int32_t preset, const std::string& profile_text);

} // namespace vantrel
