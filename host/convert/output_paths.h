// Where each converted track goes, and the checks that keep a run from
// overwriting its own inputs or writing two tracks to one file.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantrel {

struct OutputPlan {
    std::string input;
    std::string output;
    std::string error; // why this track cannot be written; empty when it can
};

// One plan per input, in order. `extension` comes without the dot ("wma").
// With `output_file` there must be exactly one input.
std::vector<OutputPlan> plan_outputs(const std::vector<std::string>& inputs,
                                     const std::optional<std::string>& output_file,
                                     const std::optional<std::string>& output_dir,
                                     const std::string& extension);

// The output name of `input` in `folder` (empty folder: beside the input).
std::string output_path_for(const std::string& input, const std::string& folder,
                            const std::string& extension);

// True when both paths name the same file, existing or not.
bool same_file(const std::string& a, const std::string& b);

// Empty when a new file can be made in the folder of `output`; else the reason.
std::string check_output_folder(const std::string& output);

} // namespace vantrel
