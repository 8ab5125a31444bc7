#include "settings/writer_settings.h"

#include "services/byte_sink_buffer.h"
#include "settings/config_block.h"
#include "settings/profile_file.h"
#include "settings/settings_store.h"
#include "vantrel/service.h"

namespace vantrel {

std::vector<std::uint8_t> block_for_choice(const EncodingChoice& choice) {
    if (choice.preset)
        return make_config_block(*choice.preset, "");
    if (choice.profile_file)
        return make_config_block(kCustomProfileIndex, read_profile_file(*choice.profile_file));
    return {};
}

std::vector<std::uint8_t> default_block(diskwriter& writer) {
    byte_sink_buffer sink;
    writer.get_default_config(0, sink);
    return sink.data;
}

std::vector<std::uint8_t> current_block(diskwriter& writer) {
    byte_sink_buffer sink;
    writer.get_config(sink);
    return sink.data;
}

std::string writer_settings_file(const GUID& guid) {
    char text[kGuidTextLength + 1];
    GuidToString(guid, text);
    return settings_file(settings_folder(), text);
}

std::vector<std::uint8_t> stored_or_default_block(diskwriter& writer, const std::string& file,
                                                  std::string& warning) {
    std::optional<std::vector<std::uint8_t>> stored;
    try {
        stored = load_settings(file);
    } catch (const SettingsError& e) {
        warning = e.what();
    }
    // The index must name a preset (0 to 8) or the custom profile (9).
    if (stored && stored->size() >= 4) {
        const std::vector<std::uint8_t>& b = *stored;
        auto index = static_cast<std::int32_t>(b[0] | b[1] << 8 | b[2] << 16 |
                                               static_cast<std::uint32_t>(b[3]) << 24);
        if (index < 0 || index > kCustomProfileIndex) {
            warning = "the stored settings in " + file + " name no preset; using the default";
            stored.reset();
        }
    }
    if (stored) {
        if (writer.set_config(stored->data(), static_cast<std::uint32_t>(stored->size())))
            return *stored;
        warning = "the stored settings in " + file + " are damaged; using the default";
    }
    std::vector<std::uint8_t> fallback = default_block(writer);
    writer.set_config(fallback.data(), static_cast<std::uint32_t>(fallback.size()));
    return fallback;
}

} // namespace vantrel
