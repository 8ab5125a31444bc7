// What a run does with each thing it found, decided before any work: where
// each output goes, which outputs exist, and the checks that keep a run from
// writing over any of its inputs or writing two tracks to one file. Every
// decision costs a bounded number of system calls per file and hash-table
// look-ups, so a library of any size is planned in one pass.
#pragma once

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "convert/existing_output.h"
#include "convert/skip_reason.h"
#include "convert/source_files.h"

namespace vantrel {

enum class Action : unsigned char {
    convert, // encode the source to the output
    copy,    // the source is in the output format already: copy it unchanged
    skip,    // pass it over on purpose (see skip_reason)
    fail,    // it cannot be done (see error)
};

struct OutputPlan {
    std::string input;
    std::string output; // empty for what has none (a folder, a name passed over)
    Action action = Action::convert;
    SkipReason skip_reason = SkipReason::none;
    std::string error;      // why it fails
    bool announced = false; // the error was reported before the run
    bool replaces = false;  // a file stands at the output and this run replaces it
};

struct OutputRequest {
    std::optional<std::string> output_file;
    std::optional<std::string> output_dir; // mirrors the tree of each input folder
    std::string extension;                 // without the dot ("wma")
    ExistingOutput existing = ExistingOutput::replace;
    bool reencode = false; // sources with `extension` are encoded, not copied
    // The names the run makes (file names, and folders below output_dir) are
    // made fit for FAT and exFAT (see safe_names.h).
    bool safe_names = false;
};

// A target that several sources would be written to.
struct Collision {
    std::string output;
    std::vector<std::string> inputs; // the first is written, the others are not
    bool first_copied = false;       // the first is copied, not converted
};

struct RunPlan {
    std::vector<OutputPlan> plans;
    std::vector<Collision> collisions;
};

// One plan per thing found, in order. An output that would land on any input
// of the run (by path or, where it exists, by device and inode) fails its
// track; so do the second and later sources of one output. With
// `output_file` there must be exactly one source. Folders are checked later
// (see prepare_output_folders).
RunPlan plan_outputs(const std::vector<SourceFile>& found, const OutputRequest& request);

// The outputs of plans that replace a file: the only ones a run that keeps
// or updates existing outputs lets the writer replace.
std::unordered_set<std::string> replaced_outputs(const std::vector<OutputPlan>& plans);

// Checks that the folder of each plan that will be written can take a new
// file; a plan whose folder is unusable fails with the reason. Missing
// folders at or below `made_below` (the output folder of -d) are made when
// `create`, and taken as usable when not. Without `create` nothing at all is
// written: a folder is judged by its permissions alone.
void prepare_output_folders(std::vector<OutputPlan>& plans, const std::string& made_below,
                            bool create);

// The output name of `input` in `folder` (empty folder: beside the input),
// made fit for FAT and exFAT when `device_safe`.
std::string output_path_for(const std::string& input, const std::string& folder,
                            const std::string& extension, bool device_safe = false);

// Empty when a new file can be made in the folder of `output`; else the
// reason. With `probe` a file is made there and removed again, the only sure
// test for the superuser and for kernel file systems.
std::string check_output_folder(const std::string& output, bool probe = true);

} // namespace vantrel
