// ReplayGain values as the player's fields: replaygain_track_gain ("-6.50 dB"),
// replaygain_track_peak ("0.988553"), and the album's two. FFmpeg hands them
// over as tags, or only as the audio stream's side data (from an MP3's LAME
// header, for one).
#pragma once

#include "decode/tag.h"

struct AVReplayGain;
struct AVStream;

namespace vantrel {

// The values that are known (a gain is unknown as INT32_MIN, a peak as 0).
TagList replay_gain_fields(const AVReplayGain& gain);

// The fields of the stream's ReplayGain side data; none when it has none.
TagList replay_gain_side_data(const AVStream& stream);

// Adds each field of `from` whose name is not in `fields` yet.
void add_missing_fields(TagList& fields, const TagList& from);

} // namespace vantrel
