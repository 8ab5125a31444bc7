#include "decode/replay_gain.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/replaygain.h>
}

namespace vantrel {
namespace {

// Gains are in microbels (1/100000 dB), peaks in 1/100000 of full scale.
constexpr double kUnitsPerDecibel = 100000.0;
constexpr double kUnitsPerFullScale = 100000.0;

void add_gain(TagList& fields, const char* name, std::int32_t gain) {
    if (gain == INT32_MIN)
        return;
    char text[32];
    std::snprintf(text, sizeof text, "%+.2f dB", gain / kUnitsPerDecibel);
    fields.push_back({name, text});
}

void add_peak(TagList& fields, const char* name, std::uint32_t peak) {
    if (peak == 0)
        return;
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", peak / kUnitsPerFullScale);
    fields.push_back({name, text});
}

} // namespace

TagList replay_gain_fields(const AVReplayGain& gain) {
    TagList fields;
    add_gain(fields, "replaygain_track_gain", gain.track_gain);
    add_peak(fields, "replaygain_track_peak", gain.track_peak);
    add_gain(fields, "replaygain_album_gain", gain.album_gain);
    add_peak(fields, "replaygain_album_peak", gain.album_peak);
    return fields;
}

TagList replay_gain_side_data(const AVStream& stream) {
    for (int i = 0; i < stream.nb_side_data; ++i) {
        const AVPacketSideData& data = stream.side_data[i];
        if (data.type == AV_PKT_DATA_REPLAYGAIN && data.size >= sizeof(AVReplayGain))
            return replay_gain_fields(*reinterpret_cast<const AVReplayGain*>(data.data));
    }
    return {};
}

std::optional<Tag> replay_gain_of_r128(const Tag& tag) {
    constexpr double kStepsPerDecibel = 256.0;
    constexpr double kReferenceDifference = 5.0; // -18 LUFS against -23 LUFS
    int steps = 0;
    const char* end = tag.value.data() + tag.value.size();
    const auto [stop, error] = std::from_chars(tag.value.data(), end, steps);
    if (tag.value.empty() || error != std::errc() || stop != end || steps < -32768 || steps > 32767)
        return std::nullopt;
    const char* name =
        tag.name == "r128_album_gain" ? "replaygain_album_gain" : "replaygain_track_gain";
    char text[32];
    std::snprintf(text, sizeof text, "%+.2f dB", steps / kStepsPerDecibel + kReferenceDifference);
    return Tag{name, text};
}

void add_missing_fields(TagList& fields, const TagList& from) {
    for (const Tag& tag : from) {
        bool present = std::any_of(fields.begin(), fields.end(),
                                   [&](const Tag& t) { return t.name == tag.name; });
        if (!present)
            fields.push_back(tag);
    }
}

} // namespace vantrel
