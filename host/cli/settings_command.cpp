#include <cstdio>
#include <filesystem>

#include "cli/host_session.h"
#include "services/host_string.h"
#include "settings/profile_check.h"
#include "settings/profile_file.h"
#include "settings/settings_store.h"
#include "settings/writer_settings.h"
#include "vantrel/service.h"
#include "vantrel/wma_config_block.h"

namespace vantrel {
namespace {

std::string description(diskwriter& writer) {
    host_string text;
    writer.get_config_description(text);
    return text.str();
}

bool configure(diskwriter& writer, const std::vector<std::uint8_t>& block) {
    return writer.set_config(block.data(), static_cast<std::uint32_t>(block.size()));
}

// The setting in the words of the preset list: "preset 5: WMA 2, 128 kbps, ..."
// for a preset, the writer's own description for a custom profile.
std::string setting_words(int index, diskwriter& writer) {
    if (index >= 0 && index < wma_config::preset_count)
        return "preset " + std::to_string(index) + ": " + wma_config::preset_summary(index);
    if (index == wma_config::custom_profile_index)
        return "custom profile: " + description(writer);
    return description(writer);
}

void show(diskwriter& writer, const DiskWriterChoice& choice, const std::string& file) {
    std::error_code ec;
    bool saved = std::filesystem::exists(file, ec);
    const std::vector<std::uint8_t> block = current_block(writer);
    const int index = wma_config::read(block.data(), block.size()).preset_index.value_or(-1);
    std::printf("Disk writer:   %s\n", choice.format_name.c_str());
    std::printf("Settings file: %s%s\n", file.c_str(), saved ? "" : " (not saved yet)");
    std::printf("Setting:       %s\n", setting_words(index, writer).c_str());
    const std::string problem = custom_profile_problem(block);
    if (!problem.empty())
        std::printf("Warning:       %s; converting will stop until another setting is saved\n",
                    problem.c_str());
    std::printf("Presets (--preset N; --profile FILE for a custom profile):\n%s",
                preset_list("  ", index).c_str());
}

int save(HostSession& session, diskwriter& writer, const std::string& file) {
    try {
        save_settings(file, current_block(writer));
    } catch (const SettingsError& e) {
        session.output().error(std::string("vantrel: ") + e.what());
        return 1;
    }
    std::printf("Saved: %s\n", description(writer).c_str());
    return 0;
}

int run_with_writer(HostSession& session, const Options& options, const DiskWriterChoice& choice,
                    diskwriter& writer) {
    const SettingsOptions& s = options.settings;
    std::string file;
    try {
        file = writer_settings_file(choice.guid);
    } catch (const SettingsError& e) {
        session.output().error(std::string("vantrel: ") + e.what());
        return 1;
    }
    std::string warning;
    configure(writer, stored_or_default_block(file, warning));
    if (!warning.empty())
        session.output().error("vantrel: warning: " + warning);

    switch (s.action) {
    case SettingsAction::show:
        show(writer, choice, file);
        return 0;
    case SettingsAction::reset:
        configure(writer, wma_config::make_default());
        return save(session, writer, file);
    case SettingsAction::store: {
        std::vector<std::uint8_t> block;
        try {
            block = block_for_choice(s.encoding);
        } catch (const ProfileFileError& e) {
            session.output().error(std::string("vantrel: ") + e.what());
            return 2;
        }
        if (s.encoding.profile_file) {
            const wma_config::contents chosen = wma_config::read(block.data(), block.size());
            const std::string problem = profile_problem(std::string(*chosen.profile_text));
            if (!problem.empty()) {
                session.output().error("vantrel: profile " + *s.encoding.profile_file +
                                       " cannot be used: " + problem);
                return 2;
            }
        }
        if (!configure(writer, block)) {
            session.output().error("vantrel: the disk writer refused the settings");
            return 1;
        }
        return save(session, writer, file);
    }
    case SettingsAction::dialog:
        if (!writer.has_settings_dialog()) {
            session.output().error("vantrel: " + choice.format_name + " has no settings dialog");
            return 1;
        }
        // The dialog runs in the terminal through the host's dialog runtime.
        if (!writer.show_settings_dialog(nullptr)) {
            std::printf("Settings unchanged: %s\n", description(writer).c_str());
            return 0;
        }
        // The dialog checks a custom profile itself; a setting that would stop
        // every conversion is not saved whatever the dialog let through.
        if (const std::string problem = custom_profile_problem(current_block(writer));
            !problem.empty()) {
            session.output().error("vantrel: the setting was not saved: " + problem);
            return 1;
        }
        return save(session, writer, file);
    }
    return 1;
}

} // namespace

int run_settings(const Options& options) {
    HostSession session(options, false, Verbosity::normal);
    session.report_failures();
    const DiskWriterChoice* choice = session.writer();
    if (!choice)
        return 1;
    service_base* made = choice->factory->create_instance();
    if (!made) {
        session.output().error("vantrel: the disk writer could not be made");
        return 1;
    }
    auto* writer = static_cast<diskwriter*>(made);
    int status = run_with_writer(session, options, *choice, *writer);
    writer->release();
    std::fflush(stdout);
    return status;
}

} // namespace vantrel
