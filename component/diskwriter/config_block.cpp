#include "diskwriter/config_block.h"

#include "vantrel/host_api.h"
#include "vantrel/string_base.h"

#include <cstring>

namespace {

std::uint32_t ReadLittleEndian32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void WriteLittleEndian32(byte_sink& sink, std::uint32_t value) {
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    sink.write(bytes, sizeof bytes);
}

} // namespace

bool ReadConfigBlock(const void* data, std::uint32_t size, std::int32_t& presetIndex,
                     string_base& customText) {
    if (data == nullptr)
        return false;
    const auto* cursor = static_cast<const unsigned char*>(data);
    std::uint32_t remaining = size;
    if (remaining < 4)
        return false;
    presetIndex = static_cast<std::int32_t>(ReadLittleEndian32(cursor));
    cursor += 4;
    remaining -= 4;
    if (remaining < 4)
        return false;
    const std::uint32_t length = ReadLittleEndian32(cursor);
    cursor += 4;
    remaining -= 4;
    if (remaining < length)
        return false;
    return customText.assign_bytes(reinterpret_cast<const char*>(cursor), length) != nullptr;
}

void WriteConfigBlock(byte_sink& sink, std::int32_t presetIndex, const char* customText) {
    const char* text = customText != nullptr ? customText : "";
    const auto length = static_cast<std::uint32_t>(std::strlen(text));
    WriteLittleEndian32(sink, static_cast<std::uint32_t>(presetIndex));
    WriteLittleEndian32(sink, length);
    sink.write(text, length);
}

void WriteDefaultConfigBlock(byte_sink& sink) {
    WriteConfigBlock(sink, kDefaultPresetIndex, "");
}
