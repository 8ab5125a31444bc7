#include "cli/options.h"

#include "cli/suggestion.h"
#include "platform/unicode.h"
#include "vantrel/wma_config_block.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace vantrel {
namespace {

// Walks the arguments of one command. Accepts "--name value", "--name=value",
// "-x value" and "-xvalue"; everything after "--" is an operand.
class ArgumentScanner {
public:
    ArgumentScanner(int argc, const char* const* argv, int first) : argc_(argc), argv_(argv) {
        index_ = first;
    }

    bool done() const { return index_ >= argc_; }
    bool operands_only() const { return operands_only_; }

    // The next argument. Returns false for an operand (stored in `operand`).
    bool next(std::string& option, std::string& operand) {
        std::string_view arg = argv_[index_++];
        argument_ = arg;
        inline_value_.reset();
        if (operands_only_ || arg.size() < 2 || arg[0] != '-') {
            operand = std::string(arg);
            return false;
        }
        if (arg == "--") {
            operands_only_ = true;
            option.clear();
            return true;
        }
        if (arg.starts_with("--")) {
            auto equals = arg.find('=');
            if (equals != std::string_view::npos) {
                inline_value_ = std::string(arg.substr(equals + 1));
                arg = arg.substr(0, equals);
            }
            option = std::string(arg);
        } else {
            option = std::string(arg.substr(0, 2));
            if (arg.size() > 2)
                inline_value_ = std::string(arg.substr(2));
        }
        return true;
    }

    std::string value(const std::string& option) {
        if (inline_value_) {
            std::string v = *inline_value_;
            inline_value_.reset();
            return v;
        }
        if (index_ >= argc_)
            throw UsageError("option " + option + " needs a value");
        return argv_[index_++];
    }

    // Options that take no value must not be written as "-qx" or "--quiet=x".
    void no_value(const std::string& option) {
        if (inline_value_)
            throw UsageError("option " + option + " takes no value");
    }

    // The last argument as typed.
    std::string_view argument() const { return argument_; }

private:
    int argc_;
    const char* const* argv_;
    std::string_view argument_;
    int index_ = 0;
    bool operands_only_ = false;
    std::optional<std::string> inline_value_;
};

// The long options of each command, for suggestions when one is mistyped.
const std::vector<std::string_view> kConvertOptions = {
    "--output",       "--output-dir", "--skip-existing", "--update",     "--force", "--safe-names",
    "--reencode-wma", "--dry-run",    "--preset",        "--profile",    "--tag",   "--jobs",
    "--quiet",        "--verbose",    "--no-cover",      "--components", "--help"};
const std::vector<std::string_view> kSettingsOptions = {"--show",    "--reset",      "--preset",
                                                        "--profile", "--components", "--help"};
const std::vector<std::string_view> kComponentsOptions = {"--components", "--help"};
const std::vector<std::string_view> kCommands = {"convert", "components", "settings",
                                                 "tags",    "help",       "version"};

// "unknown option '--presett' for convert; did you mean '--preset'?"
[[noreturn]] void unknown_option(const ArgumentScanner& scanner, const std::string& option,
                                 const std::string& command,
                                 const std::vector<std::string_view>& known) {
    std::string_view typed = scanner.argument();
    typed = typed.substr(0, typed.find('='));
    std::string meant = closest_name(typed, known);
    // "-preset" was read as "-p" with a value; named whole when that is what it resembles.
    if (meant.empty() && !typed.starts_with("--"))
        typed = option;
    std::string message = "unknown option '" + std::string(typed) + "' for " + command;
    if (!meant.empty())
        message += "; did you mean '" + meant + "'?";
    throw UsageError(message);
}

int parse_int(const std::string& text, const std::string& option, int low, int high) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high)
        throw UsageError("option " + option + " needs a whole number from " + std::to_string(low) +
                         " to " + std::to_string(high) + ", not '" + text + "'");
    return value;
}

std::string non_empty(const std::string& text, const std::string& option) {
    if (text.empty())
        throw UsageError("option " + option + " needs a non-empty value");
    return text;
}

// Options shared by every command. Returns true when the option was one of them.
bool shared_option(const std::string& option, ArgumentScanner& scanner, Options& options) {
    if (option == "--components") {
        options.components_dir = non_empty(scanner.value(option), option);
        return true;
    }
    return false;
}

bool encoding_option(const std::string& option, ArgumentScanner& scanner, EncodingChoice& choice) {
    if (option == "--preset") {
        const std::string text = scanner.value(option);
        try {
            choice.preset = parse_int(text, option, 0, wma_config::preset_count - 1);
        } catch (const UsageError& e) {
            const std::optional<int> meant = preset_meant(text);
            if (!meant)
                throw;
            throw UsageError(std::string(e.what()) + "; did you mean --preset " +
                             std::to_string(*meant) + " (" + wma_config::preset_summary(*meant) +
                             ")?");
        }
        return true;
    }
    if (option == "--profile") {
        choice.profile_file = non_empty(scanner.value(option), option);
        return true;
    }
    return false;
}

void check_encoding_choice(const EncodingChoice& choice) {
    if (choice.preset && choice.profile_file)
        throw UsageError("--preset and --profile cannot be used together");
}

std::pair<std::string, std::string> parse_tag(const std::string& text) {
    auto equals = text.find('=');
    if (equals == std::string::npos || equals == 0)
        throw UsageError("--tag needs NAME=VALUE, not '" + text + "'");
    std::string name = text.substr(0, equals);
    if (name.find('\0') != std::string::npos)
        throw UsageError("--tag name contains a NUL byte");
    // A field is text: a malformed piece becomes U+FFFD rather than cut it short.
    return {unicode::ValidUtf8(name), unicode::ValidUtf8(text.substr(equals + 1))};
}

// What -n, -u or -f asks for; two different ones cannot be had together.
ExistingOutput existing_rule(const std::string& option, ExistingOutput before, bool given) {
    const ExistingOutput rule = option == "-u" || option == "--update"  ? ExistingOutput::update
                                : option == "-f" || option == "--force" ? ExistingOutput::replace
                                                                        : ExistingOutput::keep;
    if (given && before != rule)
        throw UsageError("-n (keep existing outputs), -u (update them) and -f (replace them) "
                         "exclude each other");
    return rule;
}

void parse_convert(ArgumentScanner& scanner, Options& options) {
    ConvertOptions& c = options.convert;
    std::string option, operand;
    while (!scanner.done()) {
        if (!scanner.next(option, operand)) {
            c.inputs.push_back(operand);
            continue;
        }
        if (option.empty()) // "--"
            continue;
        if (shared_option(option, scanner, options) || encoding_option(option, scanner, c.encoding))
            continue;
        if (option == "-o" || option == "--output") {
            if (c.output_file)
                throw UsageError("option " + option + " given twice");
            c.output_file = non_empty(scanner.value(option), option);
            if (*c.output_file == "-")
                throw UsageError("-o - (standard output) is not supported; name a file or a "
                                 "named pipe");
        } else if (option == "-d" || option == "--output-dir") {
            if (c.output_dir)
                throw UsageError("option " + option + " given twice");
            c.output_dir = non_empty(scanner.value(option), option);
        } else if (option == "--tag" || option == "-t") {
            c.tags.push_back(parse_tag(scanner.value(option)));
        } else if (option == "-j" || option == "--jobs") {
            c.jobs = static_cast<unsigned>(parse_int(scanner.value(option), option, 1, 1024));
        } else if (option == "-q" || option == "--quiet") {
            scanner.no_value(option);
            c.quiet = true;
        } else if (option == "-v" || option == "--verbose") {
            scanner.no_value(option);
            c.verbose = true;
        } else if (option == "-n" || option == "--skip-existing" || option == "-u" ||
                   option == "--update" || option == "-f" || option == "--force") {
            scanner.no_value(option);
            c.existing = existing_rule(option, c.existing, c.existing_given);
            c.existing_given = true;
        } else if (option == "--reencode-wma") {
            scanner.no_value(option);
            c.reencode_wma = true;
        } else if (option == "--safe-names") {
            scanner.no_value(option);
            c.safe_names = true;
        } else if (option == "--dry-run") {
            scanner.no_value(option);
            c.dry_run = true;
        } else if (option == "--no-cover") {
            scanner.no_value(option);
            c.cover = false;
        } else if (option == "-h" || option == "--help") {
            options.command = Command::help;
            return;
        } else {
            unknown_option(scanner, option, "convert", kConvertOptions);
        }
    }
    if (c.inputs.empty())
        throw UsageError("convert needs at least one input file or folder");
    if (c.quiet && c.verbose)
        throw UsageError("-q and -v cannot be used together");
    if (c.output_file && c.output_dir)
        throw UsageError("-o and -d cannot be used together");
    if (c.output_file && c.inputs.size() > 1)
        throw UsageError("-o names one output file, but " + std::to_string(c.inputs.size()) +
                         " inputs were given; use -d DIR instead");
    check_encoding_choice(c.encoding);
}

void parse_settings(ArgumentScanner& scanner, Options& options) {
    SettingsOptions& s = options.settings;
    std::string option, operand;
    int actions = 0;
    while (!scanner.done()) {
        if (!scanner.next(option, operand))
            throw UsageError("settings takes no file operands ('" + operand + "')");
        if (option.empty() || shared_option(option, scanner, options))
            continue;
        if (encoding_option(option, scanner, s.encoding)) {
            if (s.action != SettingsAction::store)
                ++actions;
            s.action = SettingsAction::store;
        } else if (option == "--show") {
            scanner.no_value(option);
            s.action = SettingsAction::show;
            ++actions;
        } else if (option == "--reset") {
            scanner.no_value(option);
            s.action = SettingsAction::reset;
            ++actions;
        } else if (option == "-h" || option == "--help") {
            options.command = Command::help;
            return;
        } else {
            unknown_option(scanner, option, "settings", kSettingsOptions);
        }
    }
    if (actions > 1)
        throw UsageError("settings takes one of --show, --reset, or --preset/--profile");
    check_encoding_choice(s.encoding);
}

void parse_components(ArgumentScanner& scanner, Options& options) {
    std::string option, operand;
    while (!scanner.done()) {
        if (!scanner.next(option, operand))
            throw UsageError("components takes no operands ('" + operand + "')");
        if (option.empty() || shared_option(option, scanner, options))
            continue;
        if (option == "-h" || option == "--help") {
            options.command = Command::help;
            return;
        }
        unknown_option(scanner, option, "components", kComponentsOptions);
    }
}

} // namespace

Options parse_options(int argc, const char* const* argv) {
    Options options;
    int first = 1;
    // Options shared by all commands may stand before the command name.
    while (first < argc && std::strcmp(argv[first], "--components") == 0) {
        if (first + 1 >= argc)
            throw UsageError("option --components needs a value");
        options.components_dir = non_empty(argv[first + 1], "--components");
        first += 2;
    }
    if (first >= argc)
        throw UsageError("no command given");
    std::string_view command = argv[first];
    ArgumentScanner scanner(argc, argv, first + 1);
    if (command == "-h" || command == "--help" || command == "help") {
        options.command = Command::help;
    } else if (command == "--version" || command == "version") {
        options.command = Command::version;
    } else if (command == "convert") {
        options.command = Command::convert;
        parse_convert(scanner, options);
    } else if (command == "components") {
        options.command = Command::components;
        parse_components(scanner, options);
    } else if (command == "tags") {
        options.command = Command::tags;
        if (first + 1 < argc)
            throw UsageError("tags takes no arguments ('" + std::string(argv[first + 1]) + "')");
    } else if (command == "settings") {
        options.command = Command::settings;
        parse_settings(scanner, options);
    } else {
        const std::string meant = closest_name(command, kCommands);
        throw UsageError("unknown command '" + std::string(command) + "'" +
                         (meant.empty() ? "" : "; did you mean '" + meant + "'?"));
    }
    return options;
}

} // namespace vantrel
