#include "convert/conversion_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "convert/job_slots.h"
#include "convert/track_copy.h"
#include "convert/track_job.h"
#include "progress/status_output.h"

namespace vantrel {
namespace {

diskwriter* make_writer(service_factory_base& factory, std::string& error) {
    try {
        if (service_base* made = factory.create_instance())
            return static_cast<diskwriter*>(made);
        error = "the disk writer could not be made";
    } catch (const std::exception& e) {
        error = std::string("the disk writer could not be made: ") + e.what();
    }
    return nullptr;
}

// A slot taken for one track, given back when the track is over at the latest.
struct SlotHeld {
    JobSlots& slots;
    JobSlots::Ticket ticket;
    bool held = true;
    void leave() {
        if (std::exchange(held, false))
            slots.leave(ticket);
    }
    ~SlotHeld() { leave(); }
};

bool writes(const OutputPlan& plan) {
    return plan.action == Action::convert || plan.action == Action::copy;
}

// Says before the run what will not be converted: failures found while
// planning as errors (unless announced), track skips as information. Outputs
// kept because they exist or are up to date are named only with -v: a run
// again over a library would name every track; the summary counts them.
// Names passed over in a folder are only counted.
void announce_plans(const std::vector<OutputPlan>& plans, StatusOutput& output) {
    for (const OutputPlan& plan : plans) {
        if (plan.action == Action::fail && !plan.announced)
            output.error("vantrel: " + plan.input + ": " + plan.error);
        if (plan.action != Action::skip)
            continue;
        switch (plan.skip_reason) {
        case SkipReason::output_exists:
            output.detail("vantrel: " + plan.input + ": skipped, " + plan.output + " exists");
            break;
        case SkipReason::output_up_to_date:
            output.detail("vantrel: " + plan.input + ": skipped, " + plan.output +
                          " is up to date");
            break;
        case SkipReason::already_in_place:
            output.info("vantrel: " + plan.input + ": skipped, already in place");
            break;
        case SkipReason::earlier_result:
            output.info("vantrel: " + plan.input + ": skipped, " + plan.output +
                        " is converted from the source beside it");
            break;
        case SkipReason::folder_searched:
            output.info("vantrel: " + plan.input +
                        ": not searched, a link to a folder searched already");
            break;
        default:
            break;
        }
    }
}

std::vector<std::string> listed(const std::vector<std::string>& entries, std::size_t most) {
    std::vector<std::string> lines;
    const std::size_t count = entries.size();
    // A count line costs a line too, so a list that just fits is shown whole.
    const std::size_t shown = count <= most ? count : most - 1;
    for (std::size_t i = 0; i < shown; ++i)
        lines.push_back("  " + entries[i]);
    if (shown < count)
        lines.push_back("  ... and " + std::to_string(count - shown) + " more");
    return lines;
}

} // namespace

RunTotals run_conversion(const RunRequest& request, StatusOutput& output,
                         const std::atomic<bool>& stop) {
    auto start = std::chrono::steady_clock::now();
    std::vector<TrackOutcome> outcomes(request.plans.size());
    std::vector<char> attempted(request.plans.size(),
                                0); // not vector<bool>: threads write neighbours
    std::atomic<std::size_t> next{0};
    std::mutex writer_error_mutex;
    std::string writer_error;

    // At most `jobs` tracks are converted at once; a track whose file is only
    // being published gives its slot to the next meanwhile, so there are
    // twice as many workers as slots.
    JobSlots slots(std::max<unsigned>(1, request.jobs));
    PublishNoticeScope notice(slots);

    // Each worker has a disk writer of its own; one that had to abandon a
    // track is released and a fresh one made for the next.
    auto worker = [&] {
        diskwriter* writer = nullptr;
        auto ready_writer = [&]() -> diskwriter* {
            if (writer)
                return writer;
            std::string error;
            writer = make_writer(*request.writer_factory, error);
            if (!writer) {
                std::lock_guard lock(writer_error_mutex);
                writer_error = error;
                return nullptr;
            }
            if (!request.config.empty() &&
                !writer->set_config(request.config.data(),
                                    static_cast<std::uint32_t>(request.config.size())))
                output.error("vantrel: warning: the disk writer did not fully accept its settings");
            return writer;
        };
        for (;;) {
            if (stop.load())
                break;
            SlotHeld slot{slots, slots.enter()};
            if (stop.load())
                break;
            std::size_t index = next.fetch_add(1);
            if (index >= request.plans.size())
                break;
            const OutputPlan& plan = request.plans[index];
            if (!writes(plan)) {
                attempted[index] = true;
                continue;
            }
            slots.writes(slot.ticket, plan.output);
            TrackOutcome outcome;
            if (plan.action == Action::copy) {
                const int shown = output.track_started(plan.input, 0);
                outcome = copy_track(plan);
                output.track_finished(shown, 0);
            } else {
                if (!ready_writer())
                    break;
                outcome =
                    convert_track(*writer, plan, request.overrides, output, stop, request.cover);
            }
            slot.leave();
            if (outcome.written)
                output.info(plan.input + " -> " + plan.output +
                            (plan.action == Action::copy ? " (copied)" : ""));
            else
                output.error("vantrel: " + plan.input + ": " + outcome.error);
            if (outcome.writer_abandoned) {
                writer->release();
                writer = nullptr;
            }
            outcomes[index] = std::move(outcome);
            attempted[index] = true; // each index is written by one thread only
        }
        if (writer)
            writer->release();
    };

    announce_plans(request.plans, output);
    const std::size_t to_convert =
        static_cast<std::size_t>(std::count_if(request.plans.begin(), request.plans.end(), writes));
    const std::size_t threads = std::max<std::size_t>(
        1, std::min<std::size_t>(2 * std::size_t{std::max<unsigned>(1, request.jobs)}, to_convert));
    output.begin_run(to_convert);
    if (threads == 1) {
        worker();
    } else {
        std::vector<std::thread> pool;
        for (std::size_t i = 0; i < threads; ++i)
            pool.emplace_back(worker);
        for (std::thread& thread : pool)
            thread.join();
    }
    output.end_run();

    RunTotals totals;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const OutputPlan& plan = request.plans[i];
        if (plan.action == Action::skip) {
            ++totals.skipped;
            ++totals.skips[static_cast<std::size_t>(plan.skip_reason)];
            continue;
        }
        if (plan.action == Action::fail) {
            ++totals.failed;
            totals.failures.push_back({plan.input, plan.error});
            continue;
        }
        if (!attempted[i] && stop.load()) {
            ++totals.not_started;
            totals.unstarted.push_back(plan.input);
            continue;
        }
        const TrackOutcome& outcome = outcomes[i];
        if (outcome.written) {
            ++(plan.action == Action::copy ? totals.copied : totals.written);
            totals.audio_seconds += outcome.audio_seconds;
            continue;
        }
        std::string reason = outcome.error;
        if (!attempted[i]) {
            reason = writer_error.empty() ? "not converted" : writer_error;
            output.error("vantrel: " + plan.input + ": " + reason);
        }
        ++totals.failed;
        totals.failures.push_back({plan.input, reason});
    }
    totals.wall_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return totals;
}

std::string summary_line(const RunTotals& totals) {
    std::string line = std::to_string(totals.written) +
                       (totals.written == 1 ? " track" : " tracks") + " written, ";
    if (totals.copied)
        line += std::to_string(totals.copied) + " copied, ";
    if (totals.skipped)
        line += std::to_string(totals.skipped) + " skipped, ";
    line += std::to_string(totals.failed) + " failed, ";
    if (totals.not_started)
        line += std::to_string(totals.not_started) + " not started, ";
    line += "in " + format_duration(totals.wall_seconds + 0.5);
    if (totals.wall_seconds > 0 && totals.audio_seconds > 0) {
        char speed[64];
        std::snprintf(speed, sizeof speed, " (%.1fx real time)",
                      totals.audio_seconds / totals.wall_seconds);
        line += speed;
    }
    return line;
}

std::vector<std::string> failure_lines(const RunTotals& totals, std::size_t most) {
    std::vector<std::string> entries;
    entries.reserve(totals.failures.size());
    for (const TrackFailure& failure : totals.failures)
        entries.push_back(failure.input + ": " + failure.reason);
    return listed(entries, most);
}

std::vector<std::string> unstarted_lines(const RunTotals& totals, std::size_t most) {
    return listed(totals.unstarted, most);
}

} // namespace vantrel
