// What every command starts from: the output to the terminal, the host's
// services, the loaded components and the disk writers they offer.
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"
#include "components/component_set.h"
#include "progress/status_output.h"
#include "services/host_services.h"

namespace vantrel {

class HostSession {
public:
    HostSession(const Options& options, bool progress, Verbosity verbosity);

    StatusOutput& output() { return output_; }
    ComponentSet& components() { return components_; }

    // Reports components that failed to load (and why) as errors.
    void report_failures();

    // The disk writer to use; null (with an error reported) when there is none.
    const DiskWriterChoice* writer();

private:
    StatusOutput output_;
    host_services services_;
    ComponentSet components_;
    std::vector<DiskWriterChoice> writers_;
    std::size_t reported_failures_ = 0;
};

// Absolute path of the running program.
std::string program_path();

int run_convert(const Options& options);
int run_components(const Options& options);
int run_settings(const Options& options);

} // namespace vantrel
