// Encodes one tile (here: one whole frame, all channels) and keeps a mirror of the decoder's
// adaptive state so that every prediction matches the decoder's bit for bit.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "bit_writer.h"
#include "lms_filter.h"
#include "mclms_filter.h"
#include "tile_params.h"

namespace wmal {

class TileEncoderBase {
public:
    virtual ~TileEncoderBase() = default;
    // Writes the tile for `length` samples of each channel into `out` (which it resets).
    // A seekable tile announces `params` and restarts all adaptive state. Returns true when
    // the tile was coded with prediction, false when raw PCM was smaller.
    virtual bool encode(const int32_t* const* channels, int length, bool seekable,
                        const TileParams& params, BitWriter& out) = 0;
    // A copy with the same adaptive state, to try coding choices on.
    virtual std::unique_ptr<TileEncoderBase> clone() const = 0;
};

template <typename Hist> class TileEncoder final : public TileEncoderBase {
public:
    TileEncoder(int channels, int bits_per_sample, int max_length);
    bool encode(const int32_t* const* channels, int length, bool seekable, const TileParams& params,
                BitWriter& out) override;
    std::unique_ptr<TileEncoderBase> clone() const override {
        return std::make_unique<TileEncoder>(*this);
    }

private:
    struct ChannelState {
        std::vector<LmsFilter<Hist>> lms;
        int32_t ac_history[kMaxAcOrder] = {}; // most recent first
        uint32_t ave_sum = 0;
        int update_speed = 16;
    };
    struct State {
        TileParams params;
        std::vector<ChannelState> channel;
        McLmsFilter mclms;
        int shift = 0; // low zero bits left out of coded tiles
    };

    void restart(State& state, const TileParams& params) const;
    bool try_compressed(const int32_t* const* channels, int length, bool seekable,
                        uint64_t limit_bits, BitWriter& out);
    void write_raw(const int32_t* const* channels, int length, bool seekable,
                   const TileParams& params, BitWriter& out) const;
    uint64_t raw_bits(const int32_t* const* channels, int length, bool seekable,
                      const TileParams& params, int* padding) const;

    int channels_;
    int bits_per_sample_;
    State state_;
    State trial_;
    std::vector<std::vector<int32_t>> work_;
    McLmsScratch mclms_scratch_;
};

// Bits of the parameter block of a seekable tile (after the seekable flag).
int seekable_header_bits(const TileParams& params, int channels);

} // namespace wmal
