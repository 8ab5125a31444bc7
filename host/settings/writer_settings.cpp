#include "settings/writer_settings.h"

#include "services/byte_sink_buffer.h"
#include "settings/profile_check.h"
#include "settings/profile_file.h"
#include "settings/settings_store.h"
#include "vantrel/service.h"
#include "vantrel/wma_config_block.h"

namespace vantrel {

std::vector<std::uint8_t> block_for_choice(const EncodingChoice& choice) {
    if (choice.preset)
        return wma_config::make(*choice.preset, "");
    if (choice.profile_file)
        return wma_config::make(wma_config::custom_profile_index,
                                read_profile_file(*choice.profile_file));
    return {};
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

std::vector<std::uint8_t> stored_or_default_block(const std::string& file, std::string& warning) {
    std::optional<std::vector<std::uint8_t>> stored;
    try {
        stored = load_settings(file);
    } catch (const SettingsError& e) {
        warning = std::string(e.what()) + "; using the default settings";
    }
    if (!stored)
        return wma_config::make_default();
    const wma_config::contents block = wma_config::read(stored->data(), stored->size());
    if (block.preset_index &&
        (*block.preset_index < 0 || *block.preset_index > wma_config::custom_profile_index)) {
        warning = "the stored settings in " + file + " name no preset; using the default";
        return wma_config::make_default();
    }
    if (!block.profile_text) {
        warning = "the stored settings in " + file + " are damaged; using the default";
        return wma_config::make_default();
    }
    return *stored;
}

std::string custom_profile_problem(const std::vector<std::uint8_t>& block) {
    const wma_config::contents chosen = wma_config::read(block.data(), block.size());
    if (chosen.preset_index != wma_config::custom_profile_index || !chosen.profile_text)
        return {};
    if (chosen.profile_text->empty())
        return "the custom profile is chosen but its text is empty";
    const std::string problem = profile_problem(std::string(*chosen.profile_text));
    return problem.empty() ? problem : "the custom profile cannot be used: " + problem;
}

} // namespace vantrel
