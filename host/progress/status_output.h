// Everything vantrel tells the person at the terminal, on standard error: lines
// (console messages, errors, the summary) and, on a terminal, a progress display
// with a bar per track being converted and one for the whole run. Lines never
// tear the progress display: it is cleared, the line written, and it is redrawn.
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace vantrel {

class StatusOutput {
public:
    // `progress`: draw the progress display (only sensible on a terminal).
    // `quiet`: information lines are dropped; errors are always written.
    StatusOutput(std::FILE* stream, bool progress, bool quiet);
    ~StatusOutput();

    void error(const std::string& text);
    void info(const std::string& text);

    // The run's progress. Slots identify tracks being converted.
    void begin_run(std::size_t tracks);
    int track_started(const std::string& name, double duration_seconds);
    void track_progress(int slot, double seconds_done);
    void track_finished(int slot, double audio_seconds);
    void end_run();

    bool quiet() const { return quiet_; }

    // True when standard error is a terminal.
    static bool stderr_is_terminal();

private:
    struct Slot {
        std::string name;
        double duration = 0;
        double done = 0;
        bool active = false;
    };

    void write_line(const std::string& text);
    void erase_locked();
    void draw_locked();
    std::string bar(double fraction, int width) const;
    int terminal_width() const;

    std::FILE* stream_;
    bool progress_;
    bool quiet_;
    std::mutex mutex_;
    std::vector<Slot> slots_;
    std::size_t tracks_ = 0;
    std::size_t finished_ = 0;
    double finished_audio_ = 0;
    int drawn_lines_ = 0;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_draw_;
};

// "1:05" for 65 seconds, "1:01:05" past an hour.
std::string format_duration(double seconds);

// "  about 3:20 left" for the whole run, from the share done so far and the
// time it took; empty while that says too little.
std::string remaining_time(double done_fraction, double elapsed_seconds);

} // namespace vantrel
