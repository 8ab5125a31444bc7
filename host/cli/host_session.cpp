#include "cli/host_session.h"

#include <filesystem>

namespace vantrel {

std::string program_path() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("vantrel") : self.string();
}

HostSession::HostSession(const Options& options, bool progress, Verbosity verbosity)
    : output_(stderr, progress, verbosity), services_(output_),
      components_(services_, components_folder(options.components_dir.value_or("")),
                  program_path()) {
    writers_ = components_.disk_writers();
}

void HostSession::report_failures() {
    if (!components_.folder_error().empty() && reported_failures_ == 0) {
        output_.error("vantrel: " + components_.folder_error());
        ++reported_failures_;
        return;
    }
    const auto& failures = components_.failures();
    for (; reported_failures_ < failures.size(); ++reported_failures_)
        output_.error("vantrel: component " + failures[reported_failures_].path +
                      " not loaded: " + failures[reported_failures_].reason);
}

const DiskWriterChoice* HostSession::writer() {
    const DiskWriterChoice* choice = pick_disk_writer(writers_);
    if (!choice)
        output_.error("vantrel: no component in " + components_.folder() +
                      " offers a disk writer; nothing can be converted");
    return choice;
}

} // namespace vantrel
