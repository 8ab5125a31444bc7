// The command line of vantrel: which command to run and with what.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "convert/existing_output.h"

namespace vantrel {

// A command line that cannot be run as written; the program exits with status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Command { help, version, convert, components, settings, tags };

// How the disk writer should encode in this run (not saved).
struct EncodingChoice {
    std::optional<int> preset;               // 0 .. 8
    std::optional<std::string> profile_file; // a ".prx" file
};

struct ConvertOptions {
    std::vector<std::string> inputs;
    std::optional<std::string> output_file;
    std::optional<std::string> output_dir;
    EncodingChoice encoding;
    // Fields given with --tag, in order; an empty value removes the field.
    std::vector<std::pair<std::string, std::string>> tags;
    unsigned jobs = 0; // 0: one per processor core
    bool quiet = false;
    bool verbose = false; // the encoder's information lines too
    // Outputs that exist are kept unless -f (replace) or -u (update) asks otherwise.
    ExistingOutput existing = ExistingOutput::keep;
    bool existing_given = false; // -n, -u or -f was given
    bool safe_names = false;     // names the run makes hold only what FAT and exFAT can
    bool reencode_wma = false;   // encode .wma sources again instead of copying them
    bool dry_run = false;        // say what would be done, do nothing
    bool cover = true;           // copy the cover picture into the output
};

enum class SettingsAction { dialog, show, reset, store };

struct SettingsOptions {
    SettingsAction action = SettingsAction::dialog;
    EncodingChoice encoding; // for SettingsAction::store
};

struct Options {
    Command command = Command::help;
    std::optional<std::string> components_dir;
    ConvertOptions convert;
    SettingsOptions settings;
};

// Reads argv[1..argc-1]. Throws UsageError with a message that names the problem.
Options parse_options(int argc, const char* const* argv);

// The text of `vantrel --help`.
std::string usage_text();

// One line per built-in preset: its index and what it encodes. The line of
// preset `marked` starts with "* " in place of the indent and ends "(current)".
std::string preset_list(const std::string& indent, int marked = -1);

} // namespace vantrel
