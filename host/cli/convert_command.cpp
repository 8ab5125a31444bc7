#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <thread>
#include <unistd.h>
#include <unordered_set>

#include "cli/host_session.h"
#include "convert/conversion_run.h"
#include "platform/output_files.h"
#include "platform/unfinished_files.h"
#include "settings/profile_file.h"
#include "settings/settings_store.h"
#include "settings/writer_settings.h"
#include "vantrel/wma_config_block.h"

namespace vantrel {
namespace {

std::atomic<bool> interrupted{false};
std::atomic<int> interrupting_signal{0};

// The first interrupt lets the tracks in progress be abandoned cleanly (their
// unfinished files are removed); a second one ends the program at once, after
// removing the unfinished files itself.
extern "C" void on_interrupt(int signal) {
    if (interrupted.exchange(true)) {
        RemoveUnfinishedOutputFiles();
        _exit(128 + signal);
    }
    interrupting_signal.store(signal);
}

// Ctrl-C, SIGTERM and SIGHUP while a run converts.
class InterruptGuard {
public:
    InterruptGuard() {
        struct sigaction action {};
        action.sa_handler = on_interrupt;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(kSignals); ++i)
            sigaction(kSignals[i], &action, &old_[i]);
    }
    ~InterruptGuard() {
        for (std::size_t i = 0; i < std::size(kSignals); ++i)
            sigaction(kSignals[i], &old_[i], nullptr);
    }

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction old_[std::size(kSignals)]{};
};

std::vector<std::uint8_t> configuration(HostSession& session, const DiskWriterChoice& choice,
                                        std::vector<std::uint8_t> chosen) {
    if (!chosen.empty())
        return chosen;
    std::vector<std::uint8_t> block;
    std::string warning;
    try {
        block = stored_or_default_block(writer_settings_file(choice.guid), warning);
    } catch (const SettingsError& e) {
        warning = std::string(e.what()) + "; using the default settings";
        block = wma_config::make_default();
    }
    if (!warning.empty())
        session.output().error("vantrel: warning: " + warning);
    return block;
}

// The output folder of -d: made when missing. Empty when usable, else why not;
// `usage` tells a command-line mistake (a file in the way) from a failure.
std::string prepare_output_dir(const std::string& dir, bool create, bool& usage) {
    std::error_code ec;
    const auto status = std::filesystem::status(dir, ec);
    usage = std::filesystem::exists(status) && !std::filesystem::is_directory(status);
    if (usage)
        return "output folder " + dir + " is not a folder";
    if (std::filesystem::exists(status) || !create)
        return {};
    std::filesystem::create_directories(dir, ec);
    if (!ec)
        return {};
    usage = ec == std::errc::not_a_directory || ec == std::errc::file_exists;
    return "cannot make output folder " + dir + ": " + ec.message();
}

void announce_collisions(StatusOutput& output, const RunPlan& plan) {
    for (const Collision& c : plan.collisions) {
        std::string sources = c.inputs.front();
        for (std::size_t i = 1; i < c.inputs.size(); ++i)
            sources += (i + 1 < c.inputs.size() ? ", " : " and ") + c.inputs[i];
        output.error("vantrel: " + sources + " would " + (c.inputs.size() == 2 ? "both" : "all") +
                     " be written to " + c.output + "; only " + c.inputs.front() + " is " +
                     (c.first_copied ? "copied" : "converted"));
    }
}

// What a dry run says of one plan, on a line of its own.
std::string plan_line(const OutputPlan& plan) {
    const std::string target = plan.output.empty() ? "" : " -> " + plan.output;
    switch (plan.action) {
    case Action::convert:
        return plan.input + target;
    case Action::copy:
        return plan.input + target + "  (copy)";
    case Action::skip:
        return plan.input + target + "  (skipped: " + skip_note(plan.skip_reason) + ")";
    case Action::fail:
        return plan.input + target + (plan.announced ? "  (collides: " : "  (fails: ") +
               plan.error + ")";
    }
    return plan.input;
}

// Prints the plan on standard output. False when it could not be written
// there (a full disk, a closed pipe): a plan nobody can read is a failure.
bool print_dry_run(const std::vector<OutputPlan>& plans, StatusOutput& output) {
    for (const OutputPlan& plan : plans)
        if (std::fputs((plan_line(plan) + "\n").c_str(), stdout) == EOF)
            break;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return true;
    output.error(std::string("vantrel: cannot write the plan to standard output: ") +
                 std::strerror(errno));
    return false;
}

// Lets the platform's writer replace only the outputs the plan replaces, for
// as long as the run lasts; a run that replaces what exists needs no rule.
class ReplaceRule {
public:
    ReplaceRule(ExistingOutput existing, const std::vector<OutputPlan>& plans) {
        if (existing == ExistingOutput::replace)
            return;
        replaceable_ = replaced_outputs(plans);
        SetOutputReplaceCheck(&ReplaceRule::allows, this);
        installed_ = true;
    }
    ~ReplaceRule() {
        if (installed_)
            SetOutputReplaceCheck(nullptr, nullptr);
    }
    ReplaceRule(const ReplaceRule&) = delete;
    ReplaceRule& operator=(const ReplaceRule&) = delete;

private:
    static BOOL allows(const char* path, void* context) {
        return static_cast<const ReplaceRule*>(context)->replaceable_.count(path) ? TRUE : FALSE;
    }

    std::unordered_set<std::string> replaceable_;
    bool installed_ = false;
};

std::size_t count_plans(const std::vector<OutputPlan>& plans, Action action) {
    return static_cast<std::size_t>(std::count_if(
        plans.begin(), plans.end(), [action](const OutputPlan& p) { return p.action == action; }));
}

// Outputs that exist are kept unless asked otherwise; said once when that
// passed some over without -n having asked for it.
void tell_how_to_replace(StatusOutput& output, const ConvertOptions& c,
                         const std::vector<OutputPlan>& plans) {
    if (c.existing_given || std::none_of(plans.begin(), plans.end(), [](const OutputPlan& p) {
            return p.skip_reason == SkipReason::output_exists;
        }))
        return;
    output.info("vantrel: outputs that exist are kept; -f replaces them, -u replaces those older "
                "than their source");
}

constexpr std::size_t kFailureLines = 20;

} // namespace

int run_convert(const Options& options) {
    const ConvertOptions& c = options.convert;
    std::vector<std::uint8_t> chosen;
    try {
        chosen = block_for_choice(c.encoding);
    } catch (const ProfileFileError& e) {
        std::fprintf(stderr, "vantrel: %s\n", e.what());
        return 2;
    }
    const Verbosity verbosity = c.quiet     ? Verbosity::quiet
                                : c.verbose ? Verbosity::verbose
                                            : Verbosity::normal;
    HostSession session(options, StatusOutput::stderr_is_terminal() && !c.dry_run, verbosity);
    StatusOutput& output = session.output();
    session.report_failures();
    const DiskWriterChoice* choice = session.writer();
    if (!choice)
        return 1;

    if (c.output_dir) {
        bool usage = false;
        const std::string problem = prepare_output_dir(*c.output_dir, !c.dry_run, usage);
        if (!problem.empty()) {
            output.error("vantrel: " + problem);
            return usage ? 2 : 1;
        }
    }
    WalkResult walk = expand_inputs(c.inputs, WalkRequest{choice->extension});
    for (const std::string& warning : walk.warnings)
        output.error("vantrel: warning: " + warning);
    const std::size_t sources = static_cast<std::size_t>(
        std::count_if(walk.found.begin(), walk.found.end(), [](const SourceFile& f) {
            return f.problem.empty() && f.passed_over == SkipReason::none;
        }));
    const bool problems = std::any_of(walk.found.begin(), walk.found.end(),
                                      [](const SourceFile& f) { return !f.problem.empty(); });
    if (sources == 0 && !problems) {
        output.error("vantrel: no audio files found in " + c.inputs.front() +
                     (c.inputs.size() > 1 ? " and the other inputs" : ""));
        return 1;
    }
    if (c.output_file && sources > 1) {
        output.error("vantrel: -o names one output file, but the inputs hold " +
                     std::to_string(sources) + " files; use -d DIR instead");
        return 2;
    }
    std::error_code ec;
    const auto output_status = c.output_file ? std::filesystem::status(*c.output_file, ec)
                                             : std::filesystem::file_status{};
    // A device or a pipe has no name for players to go by.
    const bool named_file =
        !std::filesystem::exists(output_status) || std::filesystem::is_regular_file(output_status);
    if (c.output_file && named_file &&
        std::filesystem::path(*c.output_file).extension() != "." + choice->extension)
        output.error("vantrel: warning: " + *c.output_file + " does not end in ." +
                     choice->extension + "; players may not recognise it");

    RunPlan plan =
        plan_outputs(walk.found, OutputRequest{c.output_file, c.output_dir, choice->extension,
                                               c.existing, c.reencode_wma, c.safe_names});
    walk = {};
    prepare_output_folders(plan.plans, c.output_dir.value_or(""), !c.dry_run);
    announce_collisions(output, plan);
    if (c.dry_run) {
        const std::size_t failing = count_plans(plan.plans, Action::fail);
        if (!print_dry_run(plan.plans, output))
            return 1;
        tell_how_to_replace(output, c, plan.plans);
        output.info(
            "vantrel: dry run: " + std::to_string(count_plans(plan.plans, Action::convert)) +
            " to convert, " + std::to_string(count_plans(plan.plans, Action::copy)) + " to copy, " +
            std::to_string(count_plans(plan.plans, Action::skip)) + " skipped, " +
            std::to_string(failing) + " would fail; nothing was written");
        return failing ? 1 : 0;
    }

    RunRequest request;
    request.writer_factory = choice->factory;
    const bool from_command_line = !chosen.empty();
    request.config = configuration(session, *choice, std::move(chosen));
    session.report_failures();
    // A profile that cannot encode would fail every track: say so once.
    if (const std::string problem = custom_profile_problem(request.config); !problem.empty()) {
        output.error("vantrel: " + problem +
                     (from_command_line ? "" : " (saved setting; see vantrel settings --show)"));
        return 2;
    }
    request.plans = std::move(plan.plans);
    for (const auto& [name, value] : c.tags)
        request.overrides.push_back({name, value});
    request.jobs = c.jobs ? c.jobs : std::max(1u, std::thread::hardware_concurrency());
    request.cover = c.cover;

    interrupted.store(false);
    interrupting_signal.store(0);
    RunTotals totals;
    {
        ReplaceRule rule(c.existing, request.plans);
        InterruptGuard guard;
        totals = run_conversion(request, output, interrupted);
    }
    output.info("vantrel: " + summary_line(totals));
    if (const std::string skips = skip_summary(totals.skips); !skips.empty())
        output.info("vantrel: skipped: " + skips);
    tell_how_to_replace(output, c, request.plans);
    const std::vector<std::string> failed = failure_lines(totals, kFailureLines);
    if (!failed.empty()) {
        output.error("vantrel: failed:");
        for (const std::string& line : failed)
            output.error(line);
    }
    const std::vector<std::string> unstarted = unstarted_lines(totals, kFailureLines);
    if (!unstarted.empty()) {
        output.error("vantrel: not started:");
        for (const std::string& line : unstarted)
            output.error(line);
    }
    if (interrupted.load())
        return 128 + interrupting_signal.load(); // as if the signal had ended the program
    return totals.failed ? 1 : 0;
}

} // namespace vantrel
