// What a run does with an output that exists already.
#pragma once

namespace vantrel {

enum class ExistingOutput {
    replace, // write the new file over it
    keep,    // -n: leave it untouched, counted as skipped
    update,  // -u: replace it only when its source is newer, else skip it
};

} // namespace vantrel
