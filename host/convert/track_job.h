// One track through a disk writer, on the calling thread: decode, describe,
// open, set_info, process_chunk per chunk, close, then check and publish.
#pragma once

#include <atomic>
#include <string>

#include "convert/output_paths.h"
#include "decode/audio_decoder.h"
#include "decode/tag.h"
#include "services/track_info.h"
#include "vantrel/service.h"

namespace vantrel {

class StatusOutput;

// Frames per chunk handed to the disk writer. Each chunk is one hand-over to the
// encoder's thread, so larger chunks mean fewer wake-ups; the encoder sizes its
// buffer from the first chunk, so memory stays bounded whatever the track length.
constexpr std::size_t kChunkFrames = 16384;

struct TrackOutcome {
    bool written = false;
    std::string error;        // the reason when not written
    double audio_seconds = 0; // audio decoded and handed over
    // The track was abandoned in the writer: it must be released, not reused.
    bool writer_abandoned = false;
};

// The track as the player describes it: the container's tags in the player's
// field names, one entry per value, ReplayGain included (from tags or the
// stream's side data), with `overrides` applied and a "year" beside a "date"
// left out; and its technical information.
track_info describe_track(const std::string& input, const AudioDecoder& decoder,
                          const TagList& overrides);

// Converts `plan.input` to `plan.output`. The platform's file writer replaces
// the output only when the file is complete, so a failed track leaves no half
// file and an older output untouched. A track fails when decoding fails,
// process_chunk answers false, the encoder prints an error line while working
// on it, or no new output file stands at the path after close. `stop`
// interrupts. A written track then gets its pictures (`with_cover`: the
// source's, and folder art without a front cover among them) and the values
// too long for the encoder's header attributes; failing that is a warning, not
// a failed track. Fields changed to fit a header are named in warnings.
TrackOutcome convert_track(diskwriter& writer, const OutputPlan& plan, const TagList& overrides,
                           StatusOutput& output, const std::atomic<bool>& stop,
                           bool with_cover = true);

} // namespace vantrel
