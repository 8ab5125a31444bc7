// Where each converted track goes, and the checks that keep a run from
// overwriting its own inputs or writing two tracks to one file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "convert/source_files.h"

namespace vantrel {

struct OutputPlan {
    std::string input;
    std::string output;
    std::string error;      // why this track cannot be written; empty when it can
    bool announced = false; // the error was already reported before the run
    bool skipped = false;   // the output exists and the run keeps existing outputs
};

struct OutputRequest {
    std::optional<std::string> output_file;
    std::optional<std::string> output_dir; // mirrors the tree of each input folder
    std::string extension;                 // without the dot ("wma")
    bool skip_existing = false;
};

// A target that several sources would be written to.
struct Collision {
    std::string output;
    std::vector<std::string> inputs; // the first is converted, the others are not
};

struct RunPlan {
    std::vector<OutputPlan> plans;
    std::vector<Collision> collisions;
};

// One plan per source, in order; a file that stands twice (by any path) is
// planned once. With `output_file` there must be exactly one source. Folders
// are not checked here (see prepare_output_folders).
RunPlan plan_outputs(const std::vector<SourceFile>& sources, const OutputRequest& request);

// Checks that the folder of each plan that will be written can take a new
// file; a plan whose folder is unusable gets the reason as its error. Missing
// folders at or below `made_below` (the output folder of -d) are made when
// `create`, and taken as usable when not.
void prepare_output_folders(std::vector<OutputPlan>& plans, const std::string& made_below,
                            bool create);

// The output name of `input` in `folder` (empty folder: beside the input).
std::string output_path_for(const std::string& input, const std::string& folder,
                            const std::string& extension);

// True when both paths name the same file, existing or not.
bool same_file(const std::string& a, const std::string& b);

// Empty when a new file can be made in the folder of `output`; else the reason.
std::string check_output_folder(const std::string& output);

} // namespace vantrel
