// The lines of the progress display for a terminal of a given size: one line
// per track being converted and one for the whole run. Every line is measured
// by the columns it takes on screen and stays narrower than the terminal, so
// nothing wraps; what gives way first is the least useful.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vantrel {

struct TrackProgress {
    std::string name; // the input's path
    double fraction = 0;
};

struct RunProgress {
    std::size_t tracks = 0;
    std::size_t finished = 0;
    double fraction = 0;      // of the whole run
    double audio_seconds = 0; // converted so far
    double elapsed_seconds = 0;
};

// At most `rows` - 1 lines, each narrower than `columns`.
std::vector<std::string> progress_lines(const std::vector<TrackProgress>& tracks,
                                        const RunProgress& run, std::size_t columns,
                                        std::size_t rows);

// "1:05" for 65 seconds, "1:01:05" past an hour.
std::string format_duration(double seconds);

// "about 3:20 left" for the whole run, from the share done so far and the time
// it took; empty while that says too little.
std::string remaining_time(double done_fraction, double elapsed_seconds);

} // namespace vantrel
