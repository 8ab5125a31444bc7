// The disk writer's configuration block as the host stores it: the selected
// preset index (signed 32-bit), the byte length N of the custom profile text
// (unsigned 32-bit), then the N bytes of that text without a terminator. All
// integers are little-endian; the block has no version or signature.
#pragma once

#include <cstdint>

class byte_sink;
class string_base;

inline constexpr std::int32_t kDefaultPresetIndex = 2;

// Reads as much of the block as it holds: the index when 4 bytes are there,
// then the text when its length and all its bytes are there (an embedded zero
// ends it early). Answers whether the text was read; a block too short for
// the text leaves `customText` unchanged but may still have set the index.
bool ReadConfigBlock(const void* data, std::uint32_t size, std::int32_t& presetIndex,
                     string_base& customText);

// Writes the index, N and the text, one write each (N counts up to the first
// zero byte; the text write has a count of 0 when it is empty).
void WriteConfigBlock(byte_sink& sink, std::int32_t presetIndex, const char* customText);

// The block of a fresh configuration: the default preset and no custom text.
void WriteDefaultConfigBlock(byte_sink& sink);
