// A source that is in the output format already, copied unchanged to its
// output: re-encoding lossy audio to lossy audio only loses quality.
#pragma once

#include "convert/output_paths.h"
#include "convert/track_job.h"

namespace vantrel {

// Copies `plan.input` to `plan.output` through the platform's file writer, so
// a failed copy leaves no half file and an older output untouched, and a run
// that keeps existing outputs never replaces one.
TrackOutcome copy_track(const OutputPlan& plan);

} // namespace vantrel
