// Encodes one tile (here: one whole frame, all channels) and keeps a mirror of the decoder's
// adaptive state so that every prediction matches the decoder's bit for bit.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "bit_writer.h"
#include "lms_filter.h"
#include "mclms_filter.h"
#include "residue_coder.h"
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
    // Takes over the adaptive state of `other`, an encoder of the same stream, keeping its
    // own scratch buffers: cheaper than a clone.
    virtual void copy_state(const TileEncoderBase& other) = 0;

    // Whether seekable tiles may carry coefficients over (the default). Without, they start
    // every filter afresh, which spares the second try that carrying takes.
    void allow_carry(bool allowed) { carry_allowed_ = allowed; }

protected:
    bool carry_allowed_ = true;
};

template <typename Hist> class TileEncoder final : public TileEncoderBase {
public:
    TileEncoder(int channels, int bits_per_sample, int max_length);
    bool encode(const int32_t* const* channels, int length, bool seekable, const TileParams& params,
                BitWriter& out) override;
    std::unique_ptr<TileEncoderBase> clone() const override {
        return std::make_unique<TileEncoder>(*this);
    }
    void copy_state(const TileEncoderBase& other) override {
        const auto& from = static_cast<const TileEncoder&>(other);
        state_ = from.state_;
        carry_allowed_ = from.carry_allowed_;
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
        // The last seekable tile sent the coefficients of the cascade filters that it
        // carried over from before it, and those of the multichannel stage.
        bool coefs_sent = false;
        bool mclms_sent = false;
        bool mclms_carried = false; // ... those of the multichannel stage it had adapted
    };

    // Clears the adaptive state as a seekable tile does. With `carry`, a multichannel stage
    // or cascade that keeps its shape keeps the coefficients that can be sent.
    void restart(State& state, const TileParams& params, bool carry) const;
    void write_seekable_header(BitWriter& out, const State& state) const;
    bool try_compressed(const int32_t* const* channels, int length, bool seekable,
                        uint64_t limit_bits, BitWriter& out);
    int fastest_good_speed(int32_t* const* residues, int count, int length) const;
    void write_raw(const int32_t* const* channels, int length, bool seekable,
                   const TileParams& params, BitWriter& out) const;
    uint64_t raw_bits(const int32_t* const* channels, int length, bool seekable,
                      const TileParams& params, int* padding) const;

    int channels_;
    int bits_per_sample_;
    State state_;
    State trial_;
    std::vector<std::vector<int32_t>> work_;
    BitWriter spare_; // a second try at a seekable tile
    uint64_t spare_bits_ = 0;
    McLmsScratch mclms_scratch_;
};

// Bits of the parameter block of a seekable tile (after the seekable flag), when it sends no
// coefficients.
int seekable_header_bits(const TileParams& params, int channels);

// A seekable tile sends a coefficient in scaling + 2 bits. Decoders differ in how they widen
// such a field to the filter's 16 bits (FFmpeg's does not sign-extend it), and agree for
// every 16-bit value only when the field is at least 16 bits wide.
constexpr int kLeastCarriedScaling = 14;
// The multichannel stage's coefficients are sent unscaled, in 16 bits; the width field
// allows that from this scaling on.
constexpr int kLeastCarriedMclmsScaling = 8;

} // namespace wmal
