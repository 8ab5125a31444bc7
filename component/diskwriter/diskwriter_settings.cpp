// The disk writer's configuration slots: the stored block, its default and the
// one-line description of the current choice.
#include "diskwriter/config_block.h"
#include "diskwriter/diskwriter_wma.h"
#include "diskwriter/profile_name.h"

#include "vantrel/string_base.h"

#include <cstdio>
#include <string>

bool diskwriter_wma::set_config(const void* data, std::uint32_t size) {
    return ReadConfigBlock(data, size, selectedPreset_, customProfile_);
}

void diskwriter_wma::get_config(byte_sink& sink) {
    WriteConfigBlock(sink, selectedPreset_, customProfile_.text());
}

void diskwriter_wma::get_default_config(std::uint32_t, byte_sink& sink) {
    WriteDefaultConfigBlock(sink);
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
