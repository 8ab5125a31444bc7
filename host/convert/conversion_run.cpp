#include "convert/conversion_run.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>

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
            std::size_t index = next.fetch_add(1);
            if (index >= request.plans.size())
                break;
            const OutputPlan& plan = request.plans[index];
            if (plan.skipped || !plan.error.empty()) {
                attempted[index] = true;
                continue;
            }
            if (!ready_writer())
                break;
            TrackOutcome outcome =
                convert_track(*writer, plan, request.overrides, output, stop, request.cover);
            if (outcome.written)
                output.info(plan.input + " -> " + plan.output);
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

    std::size_t to_convert = 0;
    for (const OutputPlan& plan : request.plans) {
        if (plan.skipped)
            output.info("vantrel: " + plan.input + ": skipped, " + plan.output + " exists");
        else if (!plan.error.empty() && !plan.announced)
            output.error("vantrel: " + plan.input + ": " + plan.error);
        else if (plan.error.empty())
            ++to_convert;
    }
    std::size_t threads = std::max<std::size_t>(1, std::min<std::size_t>(request.jobs, to_convert));
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
        if (plan.skipped) {
            ++totals.skipped;
            continue;
        }
        std::string reason = plan.error.empty() ? outcomes[i].error : plan.error;
        if (!attempted[i]) {
            reason = stop.load()             ? "not converted: interrupted"
                     : !writer_error.empty() ? writer_error
                                             : "not converted";
            output.error("vantrel: " + plan.input + ": " + reason);
        }
        if (plan.error.empty() && outcomes[i].written) {
            ++totals.written;
            totals.audio_seconds += outcomes[i].audio_seconds;
        } else {
            ++totals.failed;
            totals.failures.push_back({plan.input, reason});
        }
    }
    totals.wall_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return totals;
}

std::string summary_line(const RunTotals& totals) {
    std::string line = std::to_string(totals.written) +
                       (totals.written == 1 ? " track" : " tracks") + " written, ";
    if (totals.skipped)
        line += std::to_string(totals.skipped) + " skipped, ";
    line +=
        std::to_string(totals.failed) + " failed, in " + format_duration(totals.wall_seconds + 0.5);
    if (totals.wall_seconds > 0 && totals.audio_seconds > 0) {
        char speed[64];
        std::snprintf(speed, sizeof speed, " (%.1fx real time)",
                      totals.audio_seconds / totals.wall_seconds);
        line += speed;
    }
    return line;
}

std::vector<std::string> failure_lines(const RunTotals& totals, std::size_t most) {
    std::vector<std::string> lines;
    const std::size_t count = totals.failures.size();
    // A count line costs a line too, so a list that just fits is shown whole.
    const std::size_t shown = count <= most ? count : most - 1;
    for (std::size_t i = 0; i < shown; ++i)
        lines.push_back("  " + totals.failures[i].input + ": " + totals.failures[i].reason);
    if (shown < count)
        lines.push_back("  ... and " + std::to_string(count - shown) + " more");
    return lines;
}

} // namespace vantrel
