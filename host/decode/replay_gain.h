// ReplayGain values as the player's fields: replaygain_track_gain ("-6.50 dB"),
// replaygain_track_peak ("0.988553"), and the album's two. FFmpeg hands them
// over as tags, or only as the audio stream's side data (from an MP3's LAME
// header, for one).
#pragma once

#include <optional>

#include "decode/tag.h"

struct AVReplayGain;
struct AVStream;

namespace vantrel {

// The values that are known (a gain is unknown as INT32_MIN, a peak as 0).
TagList replay_gain_fields(const AVReplayGain& gain);

// The fields of the stream's ReplayGain side data; none when it has none.
TagList replay_gain_side_data(const AVStream& stream);

// The ReplayGain field of an Opus loudness tag: R128_TRACK_GAIN or
// R128_ALBUM_GAIN (name in lower case) holds a gain to -23 LUFS in 1/256 dB,
// ReplayGain one to -18 LUFS, 5 dB more. Nothing for a value that is not a
// whole number from -32768 to 32767.
std::optional<Tag> replay_gain_of_r128(const Tag& tag);

// Adds each field of `from` whose name is not in `fields` yet.
void add_missing_fields(TagList& fields, const TagList& from);

} // namespace vantrel
