// Filling a chunk from integer or floating-point PCM of any common width and
// byte order. Each (width, byte order, signedness) has its own routine so the
// inner loops carry no tests.
#include "vantrel/sample_chunk.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace {

constexpr bool kHostBigEndian = std::endian::native == std::endian::big;

using converter = void (*)(const std::uint8_t* source, sample_t* target, std::uint32_t count);

// One value of `Bytes` bytes and `Bits` bits: gathered in the order the data
// has, the midpoint moved to 0 when unsigned, sign-extended from the top bit
// of the data and scaled by 2^-(Bits-1).
template <unsigned Bytes, bool Swap, bool Signed>
void convert_integers(const std::uint8_t* source, sample_t* target, std::uint32_t count) {
    constexpr unsigned bits = Bytes * 8;
    constexpr unsigned spare = 64 - bits;
    constexpr double scale = 1.0 / static_cast<double>(std::uint64_t{1} << (bits - 1));
    for (std::uint32_t i = 0; i < count; ++i, source += Bytes) {
        std::uint64_t raw = 0;
        for (unsigned b = 0; b < Bytes; ++b) {
            // Little-endian data is gathered low byte first; swapped data the other way.
            const unsigned shift = Swap ? 8 * (Bytes - 1 - b) : 8 * b;
            raw |= std::uint64_t{source[b]} << shift;
        }
        if constexpr (!Signed) {
            raw ^= std::uint64_t{1} << (bits - 1);
        }
        const std::int64_t value = static_cast<std::int64_t>(raw << spare) >> spare;
        target[i] = static_cast<double>(value) * scale;
    }
}

template <unsigned Bytes> converter pick(bool swap, bool is_signed) {
    if (swap) {
        return is_signed ? convert_integers<Bytes, true, true>
                         : convert_integers<Bytes, true, false>;
    }
    return is_signed ? convert_integers<Bytes, false, true> : convert_integers<Bytes, false, false>;
}

converter integer_converter(std::uint32_t bits, bool swap, bool is_signed) {
    switch (bits) {
    case 8:
        return pick<1>(false, is_signed); // single bytes have no order
    case 16:
        return pick<2>(swap, is_signed);
    case 24:
        return pick<3>(swap, is_signed);
    case 32:
        return pick<4>(swap, is_signed);
    case 40:
        return pick<5>(swap, is_signed);
    case 48:
        return pick<6>(swap, is_signed);
    case 56:
        return pick<7>(swap, is_signed);
    case 64:
        return pick<8>(swap, is_signed);
    default:
        return nullptr;
    }
}

template <typename Float, bool Swap>
void convert_floats(const std::uint8_t* source, sample_t* target, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i, source += sizeof(Float)) {
        std::uint8_t bytes[sizeof(Float)];
        for (unsigned b = 0; b < sizeof(Float); ++b) {
            bytes[b] = Swap ? source[sizeof(Float) - 1 - b] : source[b];
        }
        Float value;
        std::memcpy(&value, bytes, sizeof value);
        target[i] = static_cast<sample_t>(value);
    }
}

converter float_converter(std::uint32_t bits, bool swap) {
    if (bits == 32) {
        return swap ? convert_floats<float, true> : convert_floats<float, false>;
    }
    if (bits == 64) {
        return swap ? convert_floats<double, true> : convert_floats<double, false>;
    }
    return nullptr;
}

// Shared frame of both fillers: sizes the chunk, runs the converter (zeros
// when there is none) and sets the numbers.
bool fill(sample_chunk& chunk, const void* data, std::uint32_t bytes, std::uint32_t rate,
          std::uint32_t channels, std::uint32_t bits, converter convert) {
    if (channels == 0 || bits < 8) {
        chunk.reset();
        return false;
    }
    const std::uint32_t samples = bytes / (bits / 8);
    sample_t* target = chunk.ensure_capacity(samples);
    if (target == nullptr && samples > 0) {
        chunk.reset();
        return false;
    }
    if (samples > 0) {
        if (convert != nullptr && data != nullptr) {
            convert(static_cast<const std::uint8_t*>(data), target, samples);
        } else {
            std::memset(target, 0, std::size_t{samples} * sizeof(sample_t));
        }
    }
    chunk.set_sample_count(samples / channels);
    chunk.set_sample_rate(rate);
    chunk.set_channel_count(channels);
    return true;
}

} // namespace

bool sample_chunk::set_from_integer_pcm(const void* data, std::uint32_t bytes, std::uint32_t rate,
                                        std::uint32_t channels, std::uint32_t bits,
                                        std::uint32_t flags) {
    const bool swap = ((flags & flag_big_endian) != 0) != kHostBigEndian;
    const bool is_signed = (flags & flag_signed) != 0;
    return fill(*this, data, bytes, rate, channels, bits, integer_converter(bits, swap, is_signed));
}

bool sample_chunk::set_from_float_pcm(const void* data, std::uint32_t bytes, std::uint32_t rate,
                                      std::uint32_t channels, std::uint32_t bits,
                                      std::uint32_t flags) {
    const bool swap = ((flags & flag_big_endian) != 0) != kHostBigEndian;
    return fill(*this, data, bytes, rate, channels, bits, float_converter(bits, swap));
}
