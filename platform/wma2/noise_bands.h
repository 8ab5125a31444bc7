// Noise substitution (low bit rates only): high bands above the coded bandwidth that would
// be heard are sent as a noise level instead of values, the others as silence. A band's
// level is sent relative to its exponent, so the exponents of noise bands are placed for
// the levels' sake.
#pragma once

#include "block_analysis.h"
#include "block_syntax.h"
#include "stream_params.h"

#include <vector>

namespace wma2 {

// Chooses the noise-coded bands of every channel with content.
void ChooseNoiseBands(const StreamParams& params, bool substitution, BlockAnalysis& block);

// Places the exponents of a channel's noise bands so that their levels come out alike,
// high in the level field's range; chooses the channel's exponents again with them.
void PlaceNoiseExponents(const StreamParams& params, float precision_cost, BlockAnalysis& block,
                         int ch);

// Sets the levels of a channel's noise bands (`coding.noise` says which) for the
// exponents the decoder uses, `exponent_of` per coefficient and `top` the largest, and
// the noise `fill_db` below each band's energy. Answers how far (dB) the levels had to be
// moved to fit their fields.
float SetNoiseLevels(const StreamParams& params, float fill_db, const BlockAnalysis& block, int ch,
                     const std::vector<int>& exponent_of, int top, ChannelCoding& coding);

} // namespace wma2
