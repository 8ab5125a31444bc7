// A whole conversion run: the tracks shared out to worker threads, each with a
// disk writer of its own that it makes, configures, uses and releases itself,
// so every call on one writer happens on one thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/output_paths.h"
#include "decode/tag.h"
#include "vantrel/service.h"

namespace vantrel {

class StatusOutput;

struct TrackFailure {
    std::string input;
    std::string reason;
};

struct RunTotals {
    std::size_t written = 0;
    std::size_t copied = 0;
    std::size_t skipped = 0;
    std::size_t failed = 0;
    std::size_t not_started = 0; // left when the run was interrupted
    SkipCounts skips{};          // `skipped` by reason
    double audio_seconds = 0;
    double wall_seconds = 0;
    std::vector<TrackFailure> failures; // in the order of the plans
    std::vector<std::string> unstarted; // inputs never started, in order
};

struct RunRequest {
    service_factory_base* writer_factory = nullptr;
    std::vector<std::uint8_t> config; // handed to each writer with set_config
    std::vector<OutputPlan> plans;
    TagList overrides;
    unsigned jobs = 1;
    bool cover = true; // copy each track's cover picture into its output
};

// Converts (or copies) every planned track; failures are reported on
// `output` as they happen, naming the input (unless the plan's error was
// announced before). Skipped plans are counted, not converted. Stops taking
// new tracks once `stop` is set; those never started are counted as such.
RunTotals run_conversion(const RunRequest& request, StatusOutput& output,
                         const std::atomic<bool>& stop);

// "3 tracks written, 1 copied, 2 skipped, 1 failed, in 0:12 (45.6x real
// time)"; copies and skips are named when there are some, and tracks not
// started when the run was interrupted.
std::string summary_line(const RunTotals& totals);

// The failed files with their reasons, one a line, at most `most` of them and
// then a line that counts the rest; empty when nothing failed.
std::vector<std::string> failure_lines(const RunTotals& totals, std::size_t most);

// The inputs never started, the same way.
std::vector<std::string> unstarted_lines(const RunTotals& totals, std::size_t most);

} // namespace vantrel
