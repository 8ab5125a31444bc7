// Filler: bits that decode to nothing, for frames that must be longer than their content
// (the packets' rules, or the reservoir's floor). Zeros of coded channels are written as
// zero-level escapes; channels that carried nothing are coded, all zeros, to hold more.
#pragma once

#include "block_syntax.h"
#include "stream_params.h"

#include <cstdint>
#include <vector>

namespace wma2 {

// Fills the frame `blocks`, `bits` long, to at least `min_bits` where the room up to
// `max_bits` allows; answers its new size. `scratch` is working space only.
std::uint64_t AddFiller(const StreamParams& params, std::vector<BlockCoding>& blocks,
                        std::uint64_t bits, std::uint64_t min_bits, std::uint64_t max_bits,
                        std::vector<std::int32_t>& scratch);

} // namespace wma2
