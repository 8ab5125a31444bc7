// The host's sample_chunk: one block of interleaved doubles that the decoder
// fills in place and a disk writer reads.
#pragma once

#include <new>
#include <vector>

#include "vantrel/sample_chunk.h"

namespace vantrel {

class host_chunk final : public sample_chunk {
public:
    host_chunk() = default;
    host_chunk(const host_chunk&) = delete;
    host_chunk& operator=(const host_chunk&) = delete;

    sample_t* raw_data() const override { return data(); }
    sample_t* sample_data() const override { return data(); }
    std::uint32_t data_capacity() const override {
        return static_cast<std::uint32_t>(values_.size());
    }
    sample_t* resize_data(std::uint32_t n) override {
        try {
            values_.resize(n);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        return data();
    }
    std::uint32_t sample_rate() const override { return rate_; }
    void set_sample_rate(std::uint32_t rate) override { rate_ = rate; }
    std::uint32_t channel_count() const override { return channels_; }
    void set_channel_count(std::uint32_t channels) override { channels_ = channels; }
    std::uint32_t sample_count() const override { return samples_; }
    void set_sample_count(std::uint32_t samples) override { samples_ = samples; }

private:
    sample_t* data() const {
        return values_.empty() ? nullptr : const_cast<sample_t*>(values_.data());
    }

    std::vector<sample_t> values_; // std::allocator gives doubles their natural alignment
    std::uint32_t rate_ = 0;
    std::uint32_t channels_ = 0;
    std::uint32_t samples_ = 0;
};

} // namespace vantrel
