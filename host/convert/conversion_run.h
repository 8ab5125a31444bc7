// A whole conversion run: the tracks shared out to worker threads, each with a
// disk writer of its own that it makes, configures, uses and releases itself,
// so every call on one writer happens on one thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "convert/output_paths.h"
#include "decode/tag.h"
#include "vantrel/service.h"

namespace vantrel {

class StatusOutput;

struct RunTotals {
    std::size_t written = 0;
    std::size_t failed = 0;
    double audio_seconds = 0;
    double wall_seconds = 0;
};

struct RunRequest {
    service_factory_base* writer_factory = nullptr;
    std::vector<std::uint8_t> config; // handed to each writer with set_config
    std::vector<OutputPlan> plans;
    TagList overrides;
    unsigned jobs = 1;
};

// Converts every planned track; failures are reported on `output` as they
// happen, naming the input. Stops taking new tracks once `stop` is set.
RunTotals run_conversion(const RunRequest& request, StatusOutput& output,
                         const std::atomic<bool>& stop);

// "3 tracks written, 1 failed, in 0:12 (45.6x real time)".
std::string summary_line(const RunTotals& totals);

} // namespace vantrel
