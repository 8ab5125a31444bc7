#include "convert/output_paths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vantrel {

std::string output_path_for(const std::string& input, const std::string& folder,
                            const std::string& extension) {
    fs::path in(input);
    fs::path name = in.filename();
    name.replace_extension("." + extension);
    fs::path base = folder.empty() ? in.parent_path() : fs::path(folder);
    return (base / name).string();
}

bool same_file(const std::string& a, const std::string& b) {
    std::error_code ea, eb;
    if (fs::equivalent(a, b, ea))
        return true;
    fs::path ca = fs::weakly_canonical(fs::absolute(a, ea), ea);
    fs::path cb = fs::weakly_canonical(fs::absolute(b, eb), eb);
    return !ea && !eb && ca == cb;
}

std::string check_output_folder(const std::string& output) {
    fs::path folder = fs::path(output).parent_path();
    if (folder.empty())
        folder = ".";
    std::error_code ec;
    auto status = fs::status(folder, ec);
    if (!fs::exists(status) && ec == std::errc::not_a_directory)
        return "output folder " + folder.string() +
               " does not exist: a part of its path is a file, not a folder";
    if (!fs::exists(status))
        return "output folder " + folder.string() + " does not exist";
    if (!fs::is_directory(status))
        return "output folder " + folder.string() + " is not a folder";
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "output folder " + folder.string() + " is not writable: " + std::strerror(errno);
    // Permission bits do not bind the superuser, and a read-only mount or a
    // kernel file system passes access(): only making a file tells for sure.
    std::string probe = (folder / (".vantrel-probe-" + std::to_string(::getpid()))).string();
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST)
        return {}; // left by an earlier process with this id: made there, so writable
    if (fd < 0)
        return "output folder " + folder.string() + " is not writable: " + std::strerror(errno);
    ::close(fd);
    ::unlink(probe.c_str());
    return {};
}

std::vector<OutputPlan> plan_outputs(const std::vector<std::string>& inputs,
                                     const std::optional<std::string>& output_file,
                                     const std::optional<std::string>& output_dir,
                                     const std::string& extension) {
    std::vector<OutputPlan> plans;
    for (const std::string& input : inputs) {
        OutputPlan plan{input, {}, {}};
        plan.output =
            output_file ? *output_file : output_path_for(input, output_dir.value_or(""), extension);
        std::error_code ec;
        if (same_file(input, plan.output)) {
            plan.error = "output " + plan.output + " is the input itself; refusing to overwrite it";
        } else if (fs::is_directory(plan.output, ec)) {
            plan.error = "output " + plan.output + " is a folder";
        } else {
            for (const OutputPlan& earlier : plans) {
                if (earlier.error.empty() && same_file(earlier.output, plan.output)) {
                    plan.error = "output " + plan.output + " is also the output of " +
                                 earlier.input + "; use -o or rename one input";
                    break;
                }
            }
        }
        if (plan.error.empty())
            plan.error = check_output_folder(plan.output);
        plans.push_back(std::move(plan));
    }
    return plans;
}

} // namespace vantrel
