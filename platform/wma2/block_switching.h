// Block switching: how a frame is cut into blocks.
//
// Long blocks resolve frequency finely but spread their quantisation noise over their
// whole length; before an attack, or after a sound stops, that noise sits where nothing
// masks it. The planner measures the signal's energy in short segments; where it changes
// fast, it compares the perceptual entropy of a block (raised by how unevenly the energy is
// spread in it, the noise a long block cannot hide) with that of its two halves, down to
// the smallest size the stream allows, and keeps the cheaper cut. The cuts are weighed on
// the channels' mean; blocks smaller than half the frame take the mask of the
// half they lie in, scaled to their own level, rather than running the model again.
#pragma once

#include "aligned_buffer.h"
#include "block_transform.h"
#include "hearing_model.h"
#include "stream_params.h"
#include "tuning.h"

#include <array>
#include <vector>

namespace wma2 {

class BlockPlanner {
public:
    BlockPlanner(const StreamParams& params, const EncoderTuning& tuning);

    // `signal[ch]` at decoder time frame_index * F (at least 3F samples); fills `blocks`
    // with size indices that tile the frame. `offset_db` is the noise the frames are
    // coded with, relative to their masks (how many bits a block will take).
    void Plan(const std::array<const float*, 2>& signal, float offset_db, std::vector<int>& blocks);

private:
    // Cost of coding [start, start + n) as one block of size index k.
    float BlockCost(const float* signal, int k, int start);
    // Runs the model on the block of size index k at `start` unless it has just done so.
    void AnalyseAncestor(const float* signal, int k, int start);
    void Propose(int k, int start, std::vector<int>& blocks) const;
    float Unevenness(int k, int start) const;
    // Cuts [start, start + N) of size index k the cheapest way; answers the cost.
    float Split(const float* signal, int k, int start, std::vector<int>& blocks);

    const StreamParams& params_;
    float split_unevenness_;
    std::vector<int> forced_;
    BlockTransform transform_;
    HearingModel model_;
    int segment_len_;
    // High-passed energy per segment, from F/2 - F/2 before the frame's blocks to the end
    // of their windows: 2F samples.
    std::vector<float> energy_;
    std::array<std::vector<float>, kMaxBlockSizes> segment_weights_;
    std::vector<float> mix_; // the channels' mean over the analysed 2F samples
    AlignedBuffer coefs_;
    BandMasking masking_;
    // The smallest blocks the model runs on (half the frame): a quarter cost 8% more CPU on
    // speech for 0.2 dB of short-window noise-to-mask ratio.
    static constexpr int kDeepestModel = 1;
    struct Ancestor {
        int start = -1;
        AlignedBuffer coefs;
        BandMasking masking;
        std::vector<float> allowed; // sums of the allowed noise per coefficient
        float energy = 1;           // mean energy per coefficient
    };
    std::array<Ancestor, kDeepestModel + 1> ancestors_;
    float noise_factor_ = 1;
};

} // namespace wma2
