// Everything vantrel tells the person at the terminal, on standard error: lines
// (console messages, errors, the summary) and, on a terminal, a progress display
// with a bar per track being converted and one for the whole run. Lines never
// tear the progress display: it is cleared, the line written, and it is redrawn.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "progress/progress_layout.h"

namespace vantrel {

// How much is said: errors and warnings always; what happened to each track
// unless quiet; the encoder's own information (its timing per track) when verbose.
enum class Verbosity { quiet, normal, verbose };

class StatusOutput {
public:
    // `progress`: draw the progress display (only sensible on a terminal).
    StatusOutput(std::FILE* stream, bool progress, Verbosity verbosity);
    ~StatusOutput();
    StatusOutput(const StatusOutput&) = delete;
    StatusOutput& operator=(const StatusOutput&) = delete;

    void error(const std::string& text);  // always
    void info(const std::string& text);   // unless quiet
    void detail(const std::string& text); // when verbose

    // The run's progress. Slots identify tracks being converted. While a run
    // is on, the display is also redrawn on its own every second, and at once
    // when the terminal changes its width.
    void begin_run(std::size_t tracks);
    int track_started(const std::string& name, double duration_seconds);
    void track_progress(int slot, double seconds_done);
    void track_finished(int slot, double audio_seconds);
    void end_run();

    bool quiet() const { return verbosity_ == Verbosity::quiet; }

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
    void keep_drawing();
    void stop_ticker();

    std::FILE* stream_;
    bool progress_;
    Verbosity verbosity_;
    std::mutex mutex_;
    std::vector<Slot> slots_;
    std::size_t tracks_ = 0;
    std::size_t finished_ = 0;
    double finished_audio_ = 0;
    bool drawn_ = false;
    std::size_t drawn_columns_ = 0;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_draw_;
    bool running_ = false;
    std::condition_variable wake_;
    std::thread ticker_;
};

} // namespace vantrel
