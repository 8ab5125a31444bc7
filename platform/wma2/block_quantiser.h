// Quantises one analysed block at a gain offset: the exponents it sends or keeps, the gain
// the offset asks for (raised where a value would not fit the escape code), the values and
// the noise levels. Its result is the block as it will be written (block_syntax.h).
#pragma once

#include "block_analysis.h"
#include "block_syntax.h"
#include "stored_exponents.h"
#include "stream_params.h"
#include "tuning.h"

#include <array>
#include <vector>

namespace wma2 {

class BlockQuantiser {
public:
    BlockQuantiser(const StreamParams& params, const EncoderTuning& tuning);

    // Codes `block` at `offset_db` into `out`; `held` is what the decoder holds before the
    // block, and after it on return.
    void Quantise(const BlockAnalysis& block, int offset_db, DecoderExponents& held,
                  BlockCoding& out);

private:
    void Quantise(const BlockAnalysis& block, int offset_db, DecoderExponents& held,
                  BlockCoding& out, bool may_reuse);
    // The total gain for `offset_db`, each channel's steps relative to its largest exponent.
    int GainFor(const BlockAnalysis& block, int offset_db, bool reuse, const DecoderExponents& held,
                BlockCoding& out);
    // Raises exponents (and the gain if need be) until every value fits the escape code.
    int FitEscapeLevels(const BlockAnalysis& block, int gain, bool reuse, BlockCoding& out);

    const StreamParams& params_;
    const EncoderTuning& tuning_;
    // Per channel: the exponent each coefficient is coded with, its step ratio and the
    // largest exponent they are relative to.
    std::array<std::vector<int>, 2> exponent_of_;
    std::array<std::vector<float>, 2> inverse_step_;
    std::array<int, 2> top_{};
};

} // namespace wma2
