// The configuration block of the "Windows Media Audio" disk writer, as the
// host stores it and hands it back: the selected preset index (signed 32-bit),
// the byte length N of the custom profile text (unsigned 32-bit), then the N
// bytes of that text without a terminator. Integers are little-endian; the
// block has no version or signature.
//
// Both sides read and write the block through this one codec.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wma_config {

// The built-in presets are indices 0 to preset_count - 1; the index equal to
// the count selects the custom profile text.
inline constexpr std::int32_t preset_count = 9;
inline constexpr std::int32_t custom_profile_index = preset_count;
inline constexpr std::int32_t default_preset_index = 2;
inline constexpr std::int32_t lossless_preset_index = 8;

// What each built-in preset encodes: WMA 2 at 44.1 kHz stereo and a constant
// bit rate, and WMA Lossless at the input's own rate and channels.
inline constexpr std::int32_t preset_kilobits[preset_count] = {32,  48,  64,  80, 96,
                                                               128, 160, 192, 0};

// "WMA 2, 128 kbps, 44.1 kHz stereo" or "WMA Lossless"; empty for no preset.
inline std::string preset_summary(std::int32_t index) {
    if (index < 0 || index >= preset_count)
        return {};
    if (index == lossless_preset_index)
        return "WMA Lossless";
    return "WMA 2, " + std::to_string(preset_kilobits[index]) + " kbps, 44.1 kHz stereo";
}

// What a block holds. The index is there when the block has at least 4 bytes,
// the text when its length and all its bytes are there; a text with a zero
// byte ends at it.
struct contents {
    std::optional<std::int32_t> preset_index;
    std::optional<std::string_view> profile_text; // points into the block
};

inline contents read(const void* data, std::size_t size) {
    contents block;
    if (data == nullptr || size < 4)
        return block;
    const auto* bytes = static_cast<const unsigned char*>(data);
    auto u32 = [](const unsigned char* p) {
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    };
    block.preset_index = static_cast<std::int32_t>(u32(bytes));
    if (size < 8)
        return block;
    const std::uint32_t length = u32(bytes + 4);
    if (size - 8 < length)
        return block;
    std::string_view text(reinterpret_cast<const char*>(bytes + 8), length);
    block.profile_text = text.substr(0, text.find('\0'));
    return block;
}

// Writes the block as three writes: the index, N and the text (a write of 0
// bytes when the text is empty). `write(const void* bytes, std::size_t count)`.
template <class Write>
void write(Write&& write_bytes, std::int32_t preset_index, std::string_view profile_text) {
    auto u32 = [](std::uint32_t value) {
        return std::array<unsigned char, 4>{
            static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    };
    const auto index = u32(static_cast<std::uint32_t>(preset_index));
    const auto length = u32(static_cast<std::uint32_t>(profile_text.size()));
    write_bytes(index.data(), index.size());
    write_bytes(length.data(), length.size());
    write_bytes(profile_text.data(), profile_text.size());
}

inline std::vector<std::uint8_t> make(std::int32_t preset_index, std::string_view profile_text) {
    std::vector<std::uint8_t> block;
    block.reserve(8 + profile_text.size());
    write(
        [&block](const void* bytes, std::size_t count) {
            const auto* p = static_cast<const std::uint8_t*>(bytes);
            block.insert(block.end(), p, p + count);
        },
        preset_index, profile_text);
    return block;
}

// The block of a fresh configuration: the default preset, no custom text.
inline std::vector<std::uint8_t> make_default() {
    return make(default_preset_index, {});
}

} // namespace wma_config
