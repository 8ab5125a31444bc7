// The in-memory sample_chunk: values in a heap block aligned to 8 bytes.
#pragma once

#include "sdk/heap_object.h"
#include "sdk/mem_block.h"
#include "vantrel/sample_chunk.h"

class sample_chunk_i final : public sample_chunk, public heap_object {
public:
    sample_chunk_i() = default;
    sample_chunk_i(const sample_chunk_i&) = delete;
    sample_chunk_i& operator=(const sample_chunk_i&) = delete;
    ~sample_chunk_i() = default;

    sample_t* raw_data() const override { return aligned_; }
    sample_t* sample_data() const override { return aligned_; }
    std::uint32_t data_capacity() const override { return block_.size / sizeof(sample_t); }
    // Keeps the first min(n, old capacity) values. On failure answers null and
    // leaves the block as it was.
    sample_t* resize_data(std::uint32_t n) override;

    std::uint32_t sample_rate() const override { return sample_rate_; }
    void set_sample_rate(std::uint32_t rate) override { sample_rate_ = rate; }
    std::uint32_t channel_count() const override { return channel_count_; }
    void set_channel_count(std::uint32_t channels) override { channel_count_ = channels; }
    std::uint32_t sample_count() const override { return sample_count_; }
    void set_sample_count(std::uint32_t samples) override { sample_count_ = samples; }

    const mem_block& block() const { return block_; }

private:
    mem_block block_{mem_block::mode_exact};
    sample_t* aligned_ = nullptr;
    std::uint32_t sample_rate_ = 0;
    std::uint32_t channel_count_ = 0;
    std::uint32_t sample_count_ = 0;
};
