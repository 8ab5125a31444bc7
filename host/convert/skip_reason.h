// Why a run passes over something on purpose. A skip is counted and said in
// the summary, but is no failure: the exit status stays 0.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace vantrel {

enum class SkipReason : unsigned char {
    none,
    output_exists,     // -n: an output stands at the path already
    output_up_to_date, // -u: the output is not older than its source
    already_in_place,  // a source in the output format that is its own output
    earlier_result,    // a source in the output format whose output another source
                       // converts to: an earlier result of that one, beside it
    not_audio,         // in a folder: a name without an audio file's extension
    hidden,            // in a folder: a name starting with a dot
    folder_searched,   // in a folder: a link to a folder that was searched already
};

constexpr std::size_t kSkipReasons = 8;

// Counts of skips by reason.
using SkipCounts = std::array<std::size_t, kSkipReasons>;

// What the dry run says of one skip: "exists", "not an audio file", ...
std::string skip_note(SkipReason reason);

// "2 outputs exist, 1 hidden": the reasons with counts above zero, in the
// order of the enumeration; empty when nothing was skipped.
std::string skip_summary(const SkipCounts& counts);

} // namespace vantrel
