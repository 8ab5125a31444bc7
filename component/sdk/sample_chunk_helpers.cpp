// The non-virtual helpers of sample_chunk, written over its virtual slots.
#include "vantrel/sample_chunk.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint64_t kMaxValues = 0xFFFFFFFFu;

// a * b / c rounded to nearest (halves away from zero), in 64 bits, as the
// platform's MulDiv computes it; saturates at 32 bits.
std::uint32_t mul_div_rounded(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    const std::uint64_t result = (std::uint64_t{a} * b + c / 2) / c;
    return result > kMaxValues ? 0xFFFFFFFFu : static_cast<std::uint32_t>(result);
}

// Gives the chunk `samples` x `channels` values, written by `fill`, and that
// format; a count past 32 bits or a refused allocation leaves it reset.
template <class Fill>
bool assign_values(sample_chunk& chunk, std::uint32_t samples, std::uint32_t channels,
                   std::uint32_t rate, Fill fill) {
    const std::uint64_t values = std::uint64_t{samples} * channels;
    sample_t* data =
        values <= kMaxValues ? chunk.ensure_capacity(static_cast<std::uint32_t>(values)) : nullptr;
    if (data == nullptr && values > 0) {
        chunk.reset();
        return false;
    }
    if (values > 0) {
        fill(data, values);
    }
    chunk.set_sample_count(samples);
    chunk.set_channel_count(channels);
    chunk.set_sample_rate(rate);
    return true;
}

// Sets every value whose exponent bits are all zero and whose mantissa is
// not (a subnormal) to zero; the bits are read, never the value.
template <class Bits, class Value>
void flush_subnormals(Value* values, std::uint32_t count, Bits exponentMask, Bits mantissaMask) {
    static_assert(sizeof(Bits) == sizeof(Value));
    for (std::uint32_t i = 0; i < count; ++i) {
        Bits bits;
        std::memcpy(&bits, &values[i], sizeof bits);
        if ((bits & exponentMask) == 0 && (bits & mantissaMask) != 0) {
            values[i] = Value{0};
        }
    }
}

} // namespace

sample_t* sample_chunk::ensure_capacity(std::uint32_t n) {
    if (data_capacity() < n) {
        return resize_data(n);
    }
    return sample_data();
}

bool sample_chunk::is_empty() const {
    return channel_count() == 0 || sample_rate() == 0 || sample_count() == 0;
}

bool sample_chunk::is_valid() const {
    const std::uint32_t channels = channel_count();
    if (channels < 1 || channels > 256) {
        return false;
    }
    const std::uint32_t rate = sample_rate();
    if (rate < 1000 || rate > 1000000) {
        return false;
    }
    const std::uint32_t samples = sample_count();
    if (samples == 0 || samples >= 0x80000000u / (channels * 8)) {
        return false;
    }
    if (data_capacity() < samples * channels) {
        return false;
    }
    return sample_data() != nullptr;
}

void sample_chunk::reset() {
    set_sample_count(0);
    set_sample_rate(0);
    set_channel_count(0);
}

bool sample_chunk::set_samples(const sample_t* source, std::uint32_t samples,
                               std::uint32_t channels, std::uint32_t rate) {
    return assign_values(*this, samples, channels, rate,
                         [source](sample_t* data, std::uint64_t values) {
                             if (source != nullptr) {
                                 std::memmove(data, source, values * sizeof(sample_t));
                             } else {
                                 std::memset(data, 0, values * sizeof(sample_t));
                             }
                         });
}

bool sample_chunk::set_from_float32(const float* source, std::uint32_t samples,
                                    std::uint32_t channels, std::uint32_t rate) {
    return assign_values(
        *this, samples, channels, rate, [source](sample_t* data, std::uint64_t values) {
            for (std::uint64_t i = 0; i < values; ++i) {
                data[i] = source != nullptr ? static_cast<sample_t>(source[i]) : 0.0;
            }
        });
}

bool sample_chunk::pad_to_length(std::uint32_t samples, std::uint32_t channels,
                                 std::uint32_t rate) {
    if (is_empty()) {
        if (channels == 0 || rate == 0) {
            return false;
        }
        return set_samples(nullptr, samples, channels, rate);
    }
    if (rate != 0 && rate != sample_rate()) {
        samples = mul_div_rounded(samples, sample_rate(), rate);
    }
    return pad_to_length(samples);
}

bool sample_chunk::pad_to_length(std::uint32_t samples) {
    const std::uint32_t count = sample_count();
    if (count >= samples) {
        return true;
    }
    const std::uint32_t channels = channel_count();
    const std::uint64_t values = std::uint64_t{samples} * channels;
    if (values > kMaxValues) {
        return false;
    }
    sample_t* data = ensure_capacity(static_cast<std::uint32_t>(values));
    if (data == nullptr && values > 0) {
        return false;
    }
    const std::uint64_t old_values = std::uint64_t{count} * channels;
    if (values > old_values) {
        std::memset(data + old_values, 0, (values - old_values) * sizeof(sample_t));
    }
    set_sample_count(samples);
    return true;
}

bool sample_chunk::insert_silence_at_start(std::uint32_t samples) {
    const std::uint32_t channels = channel_count();
    const std::uint64_t old_values = std::uint64_t{sample_count()} * channels;
    const std::uint64_t added = std::uint64_t{samples} * channels;
    if (old_values + added > kMaxValues || samples > 0xFFFFFFFFu - sample_count()) {
        return false;
    }
    if (added == 0) {
        return true;
    }
    sample_t* data = ensure_capacity(static_cast<std::uint32_t>(old_values + added));
    if (data == nullptr) {
        return false;
    }
    std::memmove(data + added, data, old_values * sizeof(sample_t));
    std::memset(data, 0, added * sizeof(sample_t));
    set_sample_count(sample_count() + samples);
    return true;
}

std::uint32_t sample_chunk::skip_first_samples(std::uint32_t samples) {
    const std::uint32_t count = sample_count();
    if (samples < count) {
        const std::uint32_t channels = channel_count();
        const std::uint64_t skipped = std::uint64_t{samples} * channels;
        const std::uint64_t remaining = std::uint64_t{count - samples} * channels;
        sample_t* data = sample_data();
        if (skipped > 0) {
            std::memmove(data, data + skipped, remaining * sizeof(sample_t));
        }
        set_sample_count(count - samples);
        // Shrinking keeps the values in front; a refused shrink keeps the block.
        resize_data(static_cast<std::uint32_t>(remaining));
        return samples;
    }
    set_sample_count(0);
    resize_data(0);
    return count;
}

void sample_chunk::flush_denormals(float* values, std::uint32_t count) {
    flush_subnormals<std::uint32_t>(values, count, 0x7F800000u, 0x007FFFFFu);
}

void sample_chunk::flush_denormals(double* values, std::uint32_t count) {
    flush_subnormals<std::uint64_t>(values, count, 0x7FF0000000000000ull, 0x000FFFFFFFFFFFFFull);
}
