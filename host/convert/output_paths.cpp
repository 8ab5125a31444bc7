#include "convert/output_paths.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

#include "convert/safe_names.h"

namespace fs = std::filesystem;

namespace vantrel {
namespace {

std::string parent_of(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool newer(const timespec& a, const timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// A file that may stand at an output path, as one stat() saw it.
struct OutputFacts {
    bool exists = false;
    FileFacts facts;
};

// The plans of one run, made in a few passes over the things found; every
// look at the disk is cached or made once per file.
class Planner {
public:
    explicit Planner(const OutputRequest& request) : request_(request) {
        std::error_code ec;
        cwd_ = fs::current_path(ec).string();
    }

    RunPlan plan(const std::vector<SourceFile>& found) {
        RunPlan run;
        run.plans.reserve(found.size());
        outputs_.reserve(found.size());
        for (const SourceFile& source : found) {
            run.plans.push_back(first_plan(source));
            outputs_.push_back(look_at_output(run.plans.back()));
            OutputPlan& plan = run.plans.back();
            // A copy onto itself: nothing to do, and no input to protect
            // unless it was named (an earlier result found in a folder).
            if (plan.action == Action::copy && is_itself(outputs_.back(), source)) {
                plan.action = Action::skip;
                plan.skip_reason = SkipReason::already_in_place;
            }
        }
        pass_over_earlier_results(run, found);
        // Inputs are known before any output is judged: the run reads them,
        // so no output may land on one, whatever its position in the run.
        for (std::size_t i = 0; i < found.size(); ++i) {
            const OutputPlan& plan = run.plans[i];
            if (found[i].problem.empty() && found[i].passed_over == SkipReason::none &&
                (found[i].named || plan.action == Action::convert || plan.action == Action::copy))
                inputs_.emplace(identity_of(found[i].facts), i);
        }
        for (std::size_t i = 0; i < found.size(); ++i)
            judge(run, i, found[i]);
        return run;
    }

private:
    OutputPlan first_plan(const SourceFile& source) {
        OutputPlan plan;
        plan.input = source.path;
        if (!source.problem.empty()) {
            plan.action = Action::fail;
            plan.error = source.problem;
            return plan;
        }
        if (source.passed_over != SkipReason::none) {
            plan.action = Action::skip;
            plan.skip_reason = source.passed_over;
            return plan;
        }
        const bool in_output_format = has_extension(source.path, request_.extension);
        plan.action = in_output_format && !request_.reencode ? Action::copy : Action::convert;
        if (request_.output_file) {
            plan.output = *request_.output_file;
        } else {
            std::string folder;
            if (request_.output_dir)
                folder =
                    (fs::path(*request_.output_dir) /
                     (request_.safe_names ? device_safe_path(source.subfolder) : source.subfolder))
                        .string();
            plan.output = output_path_for(source.path, folder,
                                          plan.action == Action::copy ? name_extension(source.path)
                                                                      : request_.extension,
                                          request_.safe_names);
        }
        return plan;
    }

    // "song.wma" beside "song.flac" is, as likely as not, what an earlier run
    // made of it in place: where a copy and a conversion would give one
    // output, the conversion is the one wanted and the copy found in a folder
    // is passed over (one named on the command line collides instead).
    void pass_over_earlier_results(RunPlan& run, const std::vector<SourceFile>& found) {
        std::unordered_set<std::string> converted;
        for (const OutputPlan& plan : run.plans)
            if (plan.action == Action::convert)
                converted.insert(target_key(plan.output));
        if (converted.empty())
            return;
        for (std::size_t i = 0; i < run.plans.size(); ++i) {
            OutputPlan& plan = run.plans[i];
            if (plan.action == Action::copy && !found[i].named &&
                converted.count(target_key(plan.output))) {
                plan.action = Action::skip;
                plan.skip_reason = SkipReason::earlier_result;
            }
        }
    }

    // A copy keeps its name as it is ("A.WMA").
    static std::string name_extension(const std::string& path) {
        return fs::path(path).extension().string().substr(1);
    }

    // Looks at the output of a plan that writes, once: through the cached
    // facts of its folder, so a folder still to be made costs no more calls.
    OutputFacts look_at_output(const OutputPlan& plan) {
        if (plan.action != Action::convert && plan.action != Action::copy)
            return {};
        const FolderFacts& folder = folder_facts(parent_of(plan.output));
        struct stat st {};
        if (!folder.exists || ::stat(plan.output.c_str(), &st) != 0)
            return {};
        return {true, {st.st_dev, st.st_ino, static_cast<mode_t>(st.st_mode & S_IFMT), st.st_mtim}};
    }

    void judge(RunPlan& run, std::size_t index, const SourceFile& source) {
        OutputPlan& plan = run.plans[index];
        if (plan.action != Action::convert && plan.action != Action::copy)
            return;
        const OutputFacts& output = outputs_[index];
        if (is_itself(output, source))
            return fail(plan, "output " + plan.output +
                                  " is the input itself; refusing to "
                                  "overwrite it");
        if (plan.output.size() >= PATH_MAX)
            return fail(plan, "the output's path is longer than " + std::to_string(PATH_MAX - 1) +
                                  " bytes, the most the system takes");
        if (output.exists && S_ISDIR(output.facts.type))
            return fail(plan, "output " + plan.output + " is a folder");
        if (output.exists) {
            const auto input = inputs_.find(identity_of(output.facts));
            if (input != inputs_.end())
                return fail(plan, "output " + plan.output + " is " +
                                      run.plans[input->second].input +
                                      ", an input of this run; refusing to overwrite it");
        }
        const auto [first, unique] = targets_.emplace(target_key(plan.output), index);
        if (!unique)
            return collide(run, first->second, index);
        if (!output.exists || !S_ISREG(output.facts.type))
            return; // a device or a pipe is written as it is
        if (request_.existing == ExistingOutput::keep) {
            plan.action = Action::skip;
            plan.skip_reason = SkipReason::output_exists;
        } else if (request_.existing == ExistingOutput::update &&
                   !newer(source.facts.modified, output.facts.modified)) {
            plan.action = Action::skip;
            plan.skip_reason = SkipReason::output_up_to_date;
        } else {
            plan.replaces = true;
        }
    }

    static bool is_itself(const OutputFacts& output, const SourceFile& source) {
        return output.exists && identity_of(output.facts) == identity_of(source.facts);
    }

    static void fail(OutputPlan& plan, std::string reason) {
        plan.action = Action::fail;
        plan.error = std::move(reason);
    }

    void collide(RunPlan& run, std::size_t first, std::size_t index) {
        OutputPlan& plan = run.plans[index];
        fail(plan, "output " + plan.output + " is also the output of " + run.plans[first].input);
        plan.announced = true;
        auto [group, added] = collision_of_.emplace(first, run.collisions.size());
        if (added)
            run.collisions.push_back({run.plans[first].output,
                                      {run.plans[first].input},
                                      run.plans[first].action == Action::copy});
        run.collisions[group->second].inputs.push_back(plan.input);
    }

    // Two outputs are one file when their folder is one folder (by device and
    // inode) and their names are equal; a folder still to be made is known by
    // its path alone. Names meant for a device are equal regardless of the
    // case of their ASCII letters, as FAT and exFAT compare them.
    std::string target_key(const std::string& output) {
        const FolderFacts& folder = folder_facts(parent_of(output));
        std::string key;
        if (folder.exists) {
            key = std::to_string(folder.identity.device) + ":" +
                  std::to_string(folder.identity.inode) + "/" + name_of(output);
        } else {
            const std::string absolute = output.front() == '/' ? output : cwd_ + "/" + output;
            key = fs::path(absolute).lexically_normal().string();
        }
        if (request_.safe_names)
            std::transform(key.begin(), key.end(), key.begin(),
                           [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
        return key;
    }

    struct FolderFacts {
        bool exists = false;
        FileIdentity identity;
    };

    const FolderFacts& folder_facts(const std::string& folder) {
        auto known = folders_.find(folder);
        if (known != folders_.end())
            return known->second;
        FolderFacts facts;
        struct stat st {};
        if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            facts = {true, {st.st_dev, st.st_ino}};
        return folders_.emplace(folder, facts).first->second;
    }

    const OutputRequest& request_;
    std::string cwd_;
    std::vector<OutputFacts> outputs_;
    std::unordered_map<std::string, FolderFacts> folders_;
    std::unordered_map<FileIdentity, std::size_t, FileIdentityHash> inputs_;
    std::unordered_map<std::string, std::size_t> targets_;      // output -> first plan
    std::unordered_map<std::size_t, std::size_t> collision_of_; // first plan -> collision
};

} // namespace

std::string output_path_for(const std::string& input, const std::string& folder,
                            const std::string& extension, bool device_safe) {
    fs::path in(input);
    fs::path name = in.filename();
    name.replace_extension("." + extension);
    if (device_safe)
        name = device_safe_name(name.string(), extension.size() + 1);
    fs::path base = folder.empty() ? in.parent_path() : fs::path(folder);
    return (base / name).string();
}

std::string check_output_folder(const std::string& output, bool probe) {
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
    struct statvfs volume {};
    if (::statvfs(folder.c_str(), &volume) == 0 && (volume.f_flag & ST_RDONLY))
        return "output folder " + folder.string() + " is not writable: " + std::strerror(EROFS);
    if (!probe)
        return {};
    // Permission bits do not bind the superuser, and a kernel file system
    // passes access(): only making a file tells for sure.
    std::string made = (folder / (".vantrel-probe-" + std::to_string(::getpid()))).string();
    int fd = ::open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST)
        return {}; // left by an earlier process with this id: made there, so writable
    if (fd < 0)
        return "output folder " + folder.string() + " is not writable: " + std::strerror(errno);
    ::close(fd);
    ::unlink(made.c_str());
    return {};
}

RunPlan plan_outputs(const std::vector<SourceFile>& found, const OutputRequest& request) {
    return Planner(request).plan(found);
}

std::unordered_set<std::string> replaced_outputs(const std::vector<OutputPlan>& plans) {
    std::unordered_set<std::string> outputs;
    for (const OutputPlan& plan : plans)
        if (plan.replaces && (plan.action == Action::convert || plan.action == Action::copy))
            outputs.insert(plan.output);
    return outputs;
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
    std::unordered_map<std::string, std::string> checked; // folder -> why it is unusable
    auto check = [&](const fs::path& folder, const fs::path& target) {
        std::error_code ec;
        if (folder.empty() || fs::exists(folder, ec) || !below_root(folder))
            return check_output_folder(target.string(), create);
        if (!create)
            return std::string(); // the real run makes it
        fs::create_directories(folder, ec);
        if (ec)
            return "cannot make output folder " + folder.string() + ": " + ec.message();
        return check_output_folder(target.string(), true);
    };
    for (OutputPlan& plan : plans) {
        if (plan.action != Action::convert && plan.action != Action::copy)
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
        auto known = checked.find(folder.string());
        if (known == checked.end())
            known = checked.emplace(folder.string(), check(folder, target)).first;
        if (!known->second.empty()) {
            plan.action = Action::fail;
            plan.error = known->second;
        }
    }
}

} // namespace vantrel
