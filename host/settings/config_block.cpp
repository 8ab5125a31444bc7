#include "settings/config_block.h"

namespace vantrel {
namespace {

void put_u32(std::vector<std::uint8_t>& block, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        block.push_back(static_cast<std::uint8_t>(value >> shift));
}

} // namespace

std::vector<std::uint8_t> make_config_block(std::int32_t preset, const std::string& profile_text) {
    std::vector<std::uint8_t> block;
    block.reserve(8 + profile_text.size());
    put_u32(block, static_cast<std::uint32_t>(preset));
    put_u32(block, static_cast<std::uint32_t>(profile_text.size()));
    block.insert(block.end(), profile_text.begin(), profile_text.end());
    return block;
}

} // namespace vantrel
