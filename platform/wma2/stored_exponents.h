// The exponents a decoder holds: the last ones it received for each channel. A block
// smaller than the frame may keep them instead of sending new ones; the decoder then reads
// them at its own resolution, which the encoder has to follow exactly.
#pragma once

#include "block_analysis.h"
#include "block_syntax.h"
#include "exponent_coder.h"
#include "stream_params.h"
#include "tuning.h"

#include <array>
#include <vector>

namespace wma2 {

struct StoredExponents {
    bool valid = false;
    int k = 0;                 // size index of the block they came with
    std::vector<int> per_coef; // their value per coefficient of that block
    int top = 0;               // the largest
    int offset = 0;            // value = wanted + offset
};

using DecoderExponents = std::array<StoredExponents, 2>;

// Records `exponents` sent with a block of size index k.
void StoreExponents(const StreamParams& params, int k, const Exponents& exponents, int offset,
                    StoredExponents& stored);

// The exponent per coefficient that a block of size index k reads from `stored`.
void MapStoredExponents(const StreamParams& params, int k, const StoredExponents& stored,
                        std::vector<int>& exponent_of);

// Decides whether the block keeps the decoder's exponents (`block.reuse`), where that
// saves more code bits than it costs in precision; `held` follows to what the decoder
// holds after the block as planned.
void PlanReuse(const StreamParams& params, const EncoderTuning& tuning, BlockAnalysis& block,
               DecoderExponents& held);

// What the decoder holds after `blocks` as coded, from `held` before them: the exponents
// of every coded channel of every block that sends them.
void HeldAfter(const StreamParams& params, const std::vector<BlockAnalysis>& analysis,
               const std::vector<BlockCoding>& blocks, DecoderExponents& held);

} // namespace wma2
