// The disk writer's configuration slots: the stored block, its default and the
// one-line description of the current choice.
#include "diskwriter/diskwriter_wma.h"
#include "diskwriter/profile_name.h"

#include "vantrel/host_api.h"
#include "vantrel/string_base.h"
#include "vantrel/wma_config_block.h"

#include <cstdio>
#include <string>

namespace {

void WriteBlock(byte_sink& sink, std::int32_t presetIndex, const char* customText) {
    wma_config::write(
        [&sink](const void* bytes, std::size_t count) {
            sink.write(bytes, static_cast<std::uint32_t>(count));
        },
        presetIndex, customText != nullptr ? customText : "");
}

} // namespace

// The index is taken whenever the block holds one, whatever its value; the
// text only when all of it is there. A block too short for its text keeps the
// old text and reports failure.
bool diskwriter_wma::set_config(const void* data, std::uint32_t size) {
    const wma_config::contents block = wma_config::read(data, size);
    if (block.preset_index)
        selectedPreset_ = *block.preset_index;
    if (!block.profile_text)
        return false;
    return customProfile_.assign_bytes(block.profile_text->data(), block.profile_text->size()) !=
           nullptr;
}

void diskwriter_wma::get_config(byte_sink& sink) {
    WriteBlock(sink, selectedPreset_, customProfile_.text());
}

void diskwriter_wma::get_default_config(std::uint32_t, byte_sink& sink) {
    WriteBlock(sink, wma_config::default_preset_index, "");
}

std::string diskwriter_wma::CustomProfileName() const {
    return ExtractProfileName(customProfile_.text());
}

bool diskwriter_wma::get_config_description(string_base& out) {
    const std::int32_t count = presetLoader_.PresetCount();
    if (selectedPreset_ == count) {
        out.assign_text("Custom Profile");
        const std::string name = CustomProfileName();
        if (!name.empty()) {
            out.append_text(" - ");
            out.append_text(name.c_str());
        }
    } else if (selectedPreset_ >= 0 && selectedPreset_ < count) {
        out.assign_text(presetLoader_.PresetName(selectedPreset_).c_str());
    } else {
        // A stored index that names no preset (a damaged or foreign block).
        char text[32];
        std::snprintf(text, sizeof text, "Unknown preset %d", static_cast<int>(selectedPreset_));
        out.assign_text(text);
    }
    return true;
}
