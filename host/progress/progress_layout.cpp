#include "progress/progress_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "progress/screen_text.h"

namespace vantrel {
namespace {

constexpr std::size_t kTrackIndent = 2;

std::string bar(double fraction, std::size_t width) {
    fraction = std::clamp(fraction, 0.0, 1.0);
    const auto filled = static_cast<std::size_t>(fraction * static_cast<double>(width) + 0.5);
    return "[" + std::string(filled, '#') + std::string(width - filled, '-') + "]";
}

std::string percent(double fraction) {
    char text[8];
    std::snprintf(text, sizeof text, "%3d%%",
                  static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100));
    return text;
}

// Inner width of the bars: a quarter of the line, within reason.
std::size_t bar_width(std::size_t line) {
    return std::clamp<std::size_t>(line / 4, 8, 30);
}

// "  name      [#####-----]  45%", or without the bar on a narrow line.
std::string track_line(const TrackProgress& track, std::size_t line) {
    std::string right = " " + percent(track.fraction);
    const std::size_t with_bar = 1 + bar_width(line) + 2;
    if (line >= kTrackIndent + 10 + with_bar + right.size())
        right = " " + bar(track.fraction, bar_width(line)) + right;
    const std::size_t name_room =
        line > kTrackIndent + right.size() ? line - kTrackIndent - right.size() : 1;
    return std::string(kTrackIndent, ' ') +
           pad_to(fit_path(printable(track.name), name_room), name_room) + right;
}

// "[####------]  45%  12/40 tracks  1:02:03 audio in 0:45  83.2x  about 3:20 left":
// the share done and the time left always stand; the other parts join while
// they fit, in the order of their use, and the bar takes what room is left.
std::string run_line(const RunProgress& run, std::size_t line) {
    const std::string done = percent(run.fraction);
    const std::string left = remaining_time(run.fraction, run.elapsed_seconds);
    const std::string tracks =
        std::to_string(run.finished) + "/" + std::to_string(run.tracks) + " tracks";
    const std::string audio =
        format_duration(run.audio_seconds) + " audio in " + format_duration(run.elapsed_seconds);
    std::string speed;
    if (run.elapsed_seconds > 0.5 && run.audio_seconds > 0) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1fx", run.audio_seconds / run.elapsed_seconds);
        speed = text;
    }
    constexpr std::size_t kGap = 2;
    constexpr std::size_t kSmallestBar = 8;
    std::size_t used = done.size() + (left.empty() ? 0 : kGap + left.size());
    bool with_bar = false, with_tracks = false, with_audio = false, with_speed = false;
    auto take = [&](bool& flag, std::size_t size) {
        if (size > 0 && used + kGap + size <= line) {
            used += kGap + size;
            flag = true;
        }
    };
    take(with_tracks, tracks.size());
    // The bar stands before the share with one space.
    if (used + kSmallestBar + 3 <= line) {
        used += kSmallestBar + 3;
        with_bar = true;
    }
    take(with_audio, audio.size());
    take(with_speed, speed.size());

    std::string text;
    if (with_bar)
        text = bar(run.fraction, std::min<std::size_t>(20, kSmallestBar + (line - used))) + " ";
    text += done;
    if (with_tracks)
        text += "  " + tracks;
    if (with_audio)
        text += "  " + audio;
    if (with_speed)
        text += "  " + speed;
    if (!left.empty())
        text += "  " + left;
    // Only a terminal narrower than the share and the time left cuts them.
    return text.size() <= line ? text : fit_middle(text, line);
}

} // namespace

std::string remaining_time(double done_fraction, double elapsed_seconds) {
    // Too early, the rate of progress says little yet.
    if (done_fraction < 0.01 || done_fraction >= 1 || elapsed_seconds < 2)
        return {};
    const double left = elapsed_seconds * (1 - done_fraction) / done_fraction;
    return "about " + format_duration(left + 0.5) + " left";
}

std::string format_duration(double seconds) {
    auto total = static_cast<long long>(std::max(0.0, std::floor(seconds)));
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                      total % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}

std::vector<std::string> progress_lines(const std::vector<TrackProgress>& tracks,
                                        const RunProgress& run, std::size_t columns,
                                        std::size_t rows) {
    // The last column stays free: a line that fills it leaves the cursor
    // waiting to wrap, which terminals treat differently.
    const std::size_t line = columns > 1 ? columns - 1 : 1;
    const std::size_t room = rows > 2 ? rows - 2 : 0; // lines for tracks
    std::vector<std::string> lines;
    const bool all = tracks.size() <= room;
    const std::size_t shown = all ? tracks.size() : (room > 0 ? room - 1 : 0);
    for (std::size_t i = 0; i < shown; ++i)
        lines.push_back(track_line(tracks[i], line));
    if (!all && room > 0)
        lines.push_back(fit_middle(std::string(kTrackIndent, ' ') + "… and " +
                                       std::to_string(tracks.size() - shown) + " more",
                                   line));
    lines.push_back(run_line(run, line));
    return lines;
}

} // namespace vantrel
