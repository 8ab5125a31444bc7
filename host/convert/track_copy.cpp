#include "convert/track_copy.h"

#include "platform/com.h"
#include "platform/output_files.h"
#include "services/platform_error.h"

namespace vantrel {

TrackOutcome copy_track(const OutputPlan& plan) {
    TrackOutcome outcome;
    SetErrorInfo(0, nullptr);
    const HRESULT result = CopyOutputFile(plan.input.c_str(), plan.output.c_str(), TRUE);
    outcome.written = SUCCEEDED(result);
    if (!outcome.written)
        outcome.error = platform_error_text(result, "the copy failed");
    return outcome;
}

} // namespace vantrel
