#include "convert/output_paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
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

RunPlan plan_outputs(const std::vector<SourceFile>& sources, const OutputRequest& request) {
    RunPlan run;
    std::vector<std::string> planned_inputs;
    for (const SourceFile& source : sources) {
        // The same file given twice, or found through two paths, is converted once.
        if (std::any_of(
                planned_inputs.begin(), planned_inputs.end(),
                [&](const std::string& earlier) { return same_file(earlier, source.path); }))
            continue;
        planned_inputs.push_back(source.path);
        OutputPlan plan{source.path, {}, {}};
        if (request.output_file) {
            plan.output = *request.output_file;
        } else {
            std::string folder;
            if (request.output_dir)
                folder = (fs::path(*request.output_dir) / source.subfolder).string();
            plan.output = output_path_for(source.path, folder, request.extension);
        }
        std::error_code ec;
        if (same_file(source.path, plan.output)) {
            plan.error = "output " + plan.output + " is the input itself; refusing to overwrite it";
        } else if (fs::is_directory(plan.output, ec)) {
            plan.error = "output " + plan.output + " is a folder";
        } else {
            auto first = std::find_if(run.plans.begin(), run.plans.end(), [&](const OutputPlan& p) {
                return p.error.empty() && same_file(p.output, plan.output);
            });
            if (first != run.plans.end()) {
                plan.error = "output " + plan.output + " is also the output of " + first->input;
                plan.announced = true;
                auto collision = std::find_if(
                    run.collisions.begin(), run.collisions.end(),
                    [&](const Collision& c) { return c.inputs.front() == first->input; });
                if (collision == run.collisions.end())
                    collision = run.collisions.insert(run.collisions.end(),
                                                      Collision{first->output, {first->input}});
                collision->inputs.push_back(plan.input);
            } else if (request.skip_existing && fs::exists(plan.output, ec)) {
                plan.skipped = true;
            }
        }
        run.plans.push_back(std::move(plan));
    }
    return run;
}

void prepare_output_folders(std::vector<OutputPlan>& plans, const std::string& made_below,
                            bool create) {
    const fs::path root = fs::path(made_below).lexically_normal();
    auto below_root = [&](const fs::path& folder) {
        if (made_below.empty())
            return false;
        const fs::path relative = folder.lexically_normal().lexically_relative(root);
        return !relative.empty() && *relative.begin() != "..";
    };
    std::map<fs::path, std::string> checked; // folder -> why it is unusable
    for (OutputPlan& plan : plans) {
        if (!plan.error.empty() || plan.skipped)
            continue;
        std::error_code ec;
        fs::path target(plan.output);
        // A link is written through to its target; a device or pipe in place.
        if (fs::is_symlink(fs::symlink_status(target, ec)))
            target = fs::weakly_canonical(target, ec);
        const auto status = fs::status(target, ec);
        if (fs::exists(status) && !fs::is_regular_file(status))
            continue;
        const fs::path folder = target.parent_path();
        if (!folder.empty() && !fs::exists(folder, ec) && below_root(folder)) {
            if (!create)
                continue;
            fs::create_directories(folder, ec);
            if (ec) {
                plan.error = "cannot make output folder " + folder.string() + ": " + ec.message();
                continue;
            }
        }
        auto known = checked.find(folder);
        if (known == checked.end())
            known = checked.emplace(folder, check_output_folder(target.string())).first;
        plan.error = known->second;
    }
}

} // namespace vantrel
