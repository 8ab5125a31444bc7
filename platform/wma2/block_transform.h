// The windowed forward MDCT of one block, with the sign and windows a decoder inverts.
//
// A block of N coefficients takes 2N samples. Its window rises over the slope it shares
// with the previous block and falls over the one it shares with the next; each slope is as
// long as the smaller of the two blocks, centred on their boundary (sine slopes, flat
// elsewhere). The coefficients come out negated, which is what the decoder's inverse
// transform expects for the audio to keep its polarity.
#pragma once

#include "aligned_buffer.h"
#include "stream_params.h"

#include <array>

extern "C" {
#include <libavutil/tx.h>
}

namespace wma2 {

class BlockTransform {
public:
    explicit BlockTransform(const StreamParams& params);
    ~BlockTransform();
    BlockTransform(const BlockTransform&) = delete;
    BlockTransform& operator=(const BlockTransform&) = delete;

    // `input` holds the block's 2N samples; writes N coefficients to `coefs`.
    void Forward(int k, int prev_k, int next_k, const float* input, float* coefs);

private:
    int frame_len_;
    int block_sizes_;
    std::array<AVTXContext*, kMaxBlockSizes> contexts_{};
    std::array<av_tx_fn, kMaxBlockSizes> functions_{};
    std::array<AlignedBuffer, kMaxBlockSizes> slopes_; // rising sine slope per size
    AlignedBuffer windowed_;
};

} // namespace wma2
