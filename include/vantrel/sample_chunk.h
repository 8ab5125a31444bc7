// One block of decoded audio as the host hands it to its components:
// interleaved samples of type `sample_t` (nominal range -1.0 to 1.0), value k
// of sample s at index s * channel_count() + k. Ten virtual operations in a
// fixed order; no virtual destructor, so a chunk is never deleted through
// this interface.
//
// The non-virtual helpers work through the virtual slots only; their
// definitions live in the component's sdk library.
#pragma once

#include <cstdint>

using sample_t = double;

class sample_chunk {
public:
    // Bits of the `flags` argument of the PCM fillers.
    static constexpr std::uint32_t flag_big_endian = 2;
    static constexpr std::uint32_t flag_signed = 4;

    // Slots 0 and 1: the first sample value (both give the same pointer).
    virtual sample_t* raw_data() const = 0;
    virtual sample_t* sample_data() const = 0;
    // Slot 2: number of values the data block holds.
    virtual std::uint32_t data_capacity() const = 0;
    // Slot 3: makes the block hold exactly n values; null when memory runs out.
    virtual sample_t* resize_data(std::uint32_t n) = 0;
    // Slots 4 to 9.
    virtual std::uint32_t sample_rate() const = 0;
    virtual void set_sample_rate(std::uint32_t rate) = 0;
    virtual std::uint32_t channel_count() const = 0;
    virtual void set_channel_count(std::uint32_t channels) = 0;
    // Samples per channel.
    virtual std::uint32_t sample_count() const = 0;
    virtual void set_sample_count(std::uint32_t samples) = 0;

    // ---- Helpers over the slots (not virtual) --------------------------------
    // Grows the block to at least n values (never shrinks); null on failure.
    sample_t* ensure_capacity(std::uint32_t n);
    bool is_empty() const;
    bool is_valid() const;
    void reset();

    // Setters; each answers false and leaves the chunk reset() when memory
    // runs out. A null source writes silence.
    bool set_samples(const sample_t* source, std::uint32_t samples, std::uint32_t channels,
                     std::uint32_t rate);
    bool set_from_float32(const float* source, std::uint32_t samples, std::uint32_t channels,
                          std::uint32_t rate);
    bool set_from_integer_pcm(const void* data, std::uint32_t bytes, std::uint32_t rate,
                              std::uint32_t channels, std::uint32_t bits, std::uint32_t flags);
    bool set_from_float_pcm(const void* data, std::uint32_t bytes, std::uint32_t rate,
                            std::uint32_t channels, std::uint32_t bits, std::uint32_t flags);

    bool pad_to_length(std::uint32_t samples, std::uint32_t channels, std::uint32_t rate);
    bool pad_to_length(std::uint32_t samples);
    bool insert_silence_at_start(std::uint32_t samples);
    std::uint32_t skip_first_samples(std::uint32_t samples);

    // Turns denormal values into 0.0.
    static void flush_denormals(float* values, std::uint32_t count);
    static void flush_denormals(double* values, std::uint32_t count);

protected:
    sample_chunk() = default;
    sample_chunk(const sample_chunk&) = default;
    sample_chunk& operator=(const sample_chunk&) = default;
    ~sample_chunk() = default;
};
