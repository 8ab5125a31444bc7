#include <atomic>
#include <csignal>
#include <cstdio>
#include <iterator>
#include <thread>

#include "cli/host_session.h"
#include "convert/conversion_run.h"
#include "settings/profile_file.h"
#include "settings/settings_store.h"
#include "settings/writer_settings.h"
#include "vantrel/wma_config_block.h"

namespace vantrel {
namespace {

std::atomic<bool> interrupted{false};
std::atomic<int> interrupting_signal{0};

extern "C" void on_interrupt(int signal) {
    interrupting_signal.store(signal);
    interrupted.store(true);
}

// Ctrl-C, SIGTERM and SIGHUP let the tracks in progress end cleanly (their
// unfinished output is thrown away); a second one ends the program at once.
class InterruptGuard {
public:
    InterruptGuard() {
        struct sigaction action {};
        action.sa_handler = on_interrupt;
        action.sa_flags = SA_RESETHAND;
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
    HostSession session(options, StatusOutput::stderr_is_terminal(), c.quiet);
    session.report_failures();
    const DiskWriterChoice* choice = session.writer();
    if (!choice)
        return 1;

    RunRequest request;
    request.writer_factory = choice->factory;
    request.config = configuration(session, *choice, std::move(chosen));
    session.report_failures();
    request.plans = plan_outputs(c.inputs, c.output_file, c.output_dir, choice->extension);
    for (const auto& [name, value] : c.tags)
        request.overrides.push_back({name, value});
    request.jobs = c.jobs ? c.jobs : std::max(1u, std::thread::hardware_concurrency());

    interrupted.store(false);
    interrupting_signal.store(0);
    RunTotals totals;
    {
        InterruptGuard guard;
        totals = run_conversion(request, session.output(), interrupted);
    }
    session.output().info("vantrel: " + summary_line(totals));
    if (interrupted.load())
        return 128 + interrupting_signal.load(); // as if the signal had ended the program
    return totals.failed ? 1 : 0;
}

} // namespace vantrel
