// Codes one frame: transforms its blocks, runs the hearing model, chooses stereo mode,
// exponents and noise-coded bands, then quantises and writes the frame at the gain offset
// the rate control picks.
//
// The gain offset (dB) places the quantisation noise relative to the masking threshold:
// every block's gain follows from it and the block's exponent curve, so one number sets
// the quality of the whole frame.
#pragma once

#include "aligned_buffer.h"
#include "bit_writer.h"
#include "block_syntax.h"
#include "block_transform.h"
#include "exponent_coder.h"
#include "hearing_model.h"
#include "stream_params.h"
#include "tuning.h"

#include <array>
#include <vector>

namespace wma2 {

struct FrameRequest {
    // Per channel, the signal (16-bit units) at decoder time frame_index * F, at least
    // 3F samples.
    std::array<const float*, 2> signal{};
    std::vector<int> blocks; // size indices, summing to the frame
    int prev_k = 0;          // size index of the block before the frame
    int next_k = 0;          // size index of the first block of the next frame
    bool explicit_sizes = false;
};

class FrameCoder {
public:
    FrameCoder(const StreamParams& params, const EncoderTuning& tuning);

    // Everything that does not depend on the gain offset; `expected_offset_db` is the
    // offset the frame will probably be coded at.
    void Analyse(const FrameRequest& request, float expected_offset_db);
    // Bits of the frame at a gain offset.
    std::uint64_t Bits(int offset_db);
    // Writes the frame at a gain offset, at least `min_bits` long (filler where needed) and
    // at most `max_bits`, and keeps the exponents a decoder now holds.
    std::uint64_t Write(int offset_db, std::uint64_t min_bits, std::uint64_t max_bits,
                        BitWriter& out);

    float perceptual_entropy() const { return perceptual_entropy_; }
    bool silent() const { return silent_; }

private:
    // The exponents a decoder holds for a channel: the last ones it received.
    struct StoredExponents {
        bool valid = false;
        int k = 0;                 // size index of the block they came with
        std::vector<int> per_coef; // their value per coefficient of that block
        int top = 0;               // the largest
        int offset = 0;            // value = wanted + offset
    };
    struct ChannelWork {
        AlignedBuffer coefs; // as coded (left/right or mid/side)
        BandMasking masking;
        std::array<float, kMaxExponentBands> wanted{}; // exponent per band, model units
        std::array<float, kMaxExponentBands> weight{}; // coefficients that depend on it
        Exponents chosen{};
        int offset = 0;      // chosen = wanted + offset
        int top = 0;         // largest of chosen
        float gain_base = 0; // gain = offset_db + gain_base gives the wanted steps
        bool content = false;
        std::array<float, kMaxHighBands> noise_energy{};
        std::vector<int> exponent_of;    // effective exponent per coefficient
        std::vector<float> inverse_step; // per coefficient: 10^((top - e) / 16)
        int effective_top = 0;
    };
    struct BlockWork {
        int k = 0;
        int position = 0;
        int prev_k = 0;
        int next_k = 0;
        int end = 0; // coded bandwidth in coefficients
        float gain_base = 0;
        bool reuse = false; // planned: keep the decoder's exponents
        std::array<ChannelWork, 2> channels;
        BlockCoding coding;
    };

    void AnalyseBlock(BlockWork& block);
    void ChooseStereo(BlockWork& block);
    void ChooseNoiseBands(BlockWork& block);
    void ChooseExponents(BlockWork& block);
    void PlaceNoiseExponents(BlockWork& block, int ch);
    void PlanReuse(BlockWork& block, std::array<StoredExponents, 2>& stored);
    // Answers how far (dB) the levels had to be moved to fit their fields.
    float SetNoiseLevels(BlockWork& block, int ch);
    void Quantise(BlockWork& block, int offset_db, std::array<StoredExponents, 2>& stored,
                  bool may_reuse = true);
    void QuantiseAll(int offset_db);
    void MapStoredExponents(int k, const StoredExponents& stored,
                            std::vector<int>& exponent_of) const;
    std::uint64_t CountBlocks();
    // Fills a frame of `bits` up to at least `min_bits` where the room up to `max_bits`
    // allows; answers its new size.
    std::uint64_t AddFiller(std::uint64_t bits, std::uint64_t min_bits, std::uint64_t max_bits);
    bool MayStartCoding(std::size_t block, int ch) const;
    std::uint64_t FillChannel(BlockCoding& coding, int ch, std::uint64_t bits,
                              std::uint64_t min_bits, std::uint64_t max_bits);
    void RecomputeStored();
    void Store(int k, const Exponents& exponents, int offset, StoredExponents& stored) const;
    bool HasNoiseBand(const BlockWork& block, int ch, int band) const;
    int BandOf(int k, int coefficient) const;

    const StreamParams& params_;
    const EncoderTuning& tuning_;
    float bandwidth_hz_;
    float expected_offset_db_ = 10.0F;
    BlockTransform transform_;
    HearingModel model_;
    std::vector<BlockWork> blocks_;
    std::array<StoredExponents, 2> stored_;         // as the decoder holds them before this frame
    std::array<StoredExponents, 2> pending_stored_; // and after it, as last quantised
    std::vector<std::int32_t> scratch_;
    std::vector<float> mid_scratch_;
    std::vector<float> side_scratch_;
    static constexpr int kNotQuantised = -1000;
    int quantised_at_ = kNotQuantised; // the offset the blocks are quantised at
    bool explicit_sizes_ = false;
    float perceptual_entropy_ = 0;
    bool silent_ = true;
};

} // namespace wma2
