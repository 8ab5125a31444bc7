#include "progress/status_output.h"

#include <algorithm>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vantrel {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr auto kTickInterval = std::chrono::milliseconds(100);
constexpr auto kClockInterval = std::chrono::seconds(1);

struct TerminalSize {
    std::size_t columns = 80;
    std::size_t rows = 24;
};

TerminalSize terminal_size(std::FILE* stream) {
    winsize size{};
    TerminalSize terminal;
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        terminal.columns = size.ws_col;
        terminal.rows = size.ws_row > 0 ? size.ws_row : terminal.rows;
    }
    return terminal;
}

} // namespace

StatusOutput::StatusOutput(std::FILE* stream, bool progress, Verbosity verbosity)
    : stream_(stream), progress_(progress && verbosity != Verbosity::quiet), verbosity_(verbosity),
      start_(std::chrono::steady_clock::now()) {}

StatusOutput::~StatusOutput() {
    end_run();
}

bool StatusOutput::stderr_is_terminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

void StatusOutput::error(const std::string& text) {
    write_line(text);
}

void StatusOutput::info(const std::string& text) {
    if (verbosity_ != Verbosity::quiet)
        write_line(text);
}

void StatusOutput::detail(const std::string& text) {
    if (verbosity_ == Verbosity::verbose)
        write_line(text);
}

void StatusOutput::write_line(const std::string& text) {
    std::lock_guard lock(mutex_);
    erase_locked();
    std::fprintf(stream_, "%s\n", text.c_str());
    draw_locked();
    std::fflush(stream_);
}

void StatusOutput::begin_run(std::size_t tracks) {
    std::lock_guard lock(mutex_);
    tracks_ = tracks;
    finished_ = 0;
    finished_audio_ = 0;
    start_ = std::chrono::steady_clock::now();
    if (progress_ && !running_) {
        running_ = true;
        ticker_ = std::thread([this] { keep_drawing(); });
    }
}

int StatusOutput::track_started(const std::string& name, double duration_seconds) {
    std::lock_guard lock(mutex_);
    auto free = std::find_if(slots_.begin(), slots_.end(), [](const Slot& s) { return !s.active; });
    if (free == slots_.end())
        free = slots_.insert(slots_.end(), Slot{});
    *free = Slot{name, duration_seconds, 0, true};
    erase_locked();
    draw_locked();
    return static_cast<int>(free - slots_.begin());
}

void StatusOutput::track_progress(int slot, double seconds_done) {
    std::lock_guard lock(mutex_);
    slots_[static_cast<std::size_t>(slot)].done = seconds_done;
    if (progress_ && std::chrono::steady_clock::now() - last_draw_ >= kRedrawInterval) {
        erase_locked();
        draw_locked();
    }
}

void StatusOutput::track_finished(int slot, double audio_seconds) {
    std::lock_guard lock(mutex_);
    slots_[static_cast<std::size_t>(slot)].active = false;
    ++finished_;
    finished_audio_ += audio_seconds;
    erase_locked();
    draw_locked();
}

void StatusOutput::end_run() {
    stop_ticker();
    std::lock_guard lock(mutex_);
    erase_locked();
    slots_.clear();
    std::fflush(stream_);
}

void StatusOutput::stop_ticker() {
    {
        std::lock_guard lock(mutex_);
        if (!running_)
            return;
        running_ = false;
    }
    wake_.notify_all();
    ticker_.join();
}

// Between events the clock and the time left still move, and a terminal made
// narrower has wrapped the display's lines: both call for a redraw.
void StatusOutput::keep_drawing() {
    std::unique_lock lock(mutex_);
    while (running_) {
        wake_.wait_for(lock, kTickInterval);
        if (!running_)
            break;
        const bool resized = drawn_ && terminal_size(stream_).columns != drawn_columns_;
        if (resized || std::chrono::steady_clock::now() - last_draw_ >= kClockInterval) {
            erase_locked();
            draw_locked();
            std::fflush(stream_);
        }
    }
}

// The cursor rests at the start of the display's first line. Clearing from
// there to the end of the screen removes every line of it, however many rows
// the terminal has wrapped them into since they were drawn.
void StatusOutput::erase_locked() {
    if (!drawn_)
        return;
    std::fputs("\r\x1b[J", stream_);
    drawn_ = false;
}

void StatusOutput::draw_locked() {
    if (!progress_)
        return;
    const auto now = std::chrono::steady_clock::now();
    last_draw_ = now;
    std::vector<TrackProgress> tracks;
    RunProgress run;
    double active_fraction = 0;
    for (const Slot& slot : slots_) {
        if (!slot.active)
            continue;
        const double fraction =
            slot.duration > 0 ? std::clamp(slot.done / slot.duration, 0.0, 1.0) : 0;
        active_fraction += fraction;
        run.audio_seconds += slot.done;
        tracks.push_back({slot.name, fraction});
    }
    run.tracks = tracks_;
    run.finished = finished_;
    run.audio_seconds += finished_audio_;
    run.elapsed_seconds = std::chrono::duration<double>(now - start_).count();
    run.fraction =
        tracks_ ? (static_cast<double>(finished_) + active_fraction) / static_cast<double>(tracks_)
                : 0;
    const TerminalSize terminal = terminal_size(stream_);
    const std::vector<std::string> lines =
        progress_lines(tracks, run, terminal.columns, terminal.rows);
    for (std::size_t i = 0; i < lines.size(); ++i)
        std::fprintf(stream_, "%s%s", i ? "\n" : "", lines[i].c_str());
    // Back to the start of the first line.
    if (lines.size() > 1)
        std::fprintf(stream_, "\r\x1b[%zuA", lines.size() - 1);
    else
        std::fputs("\r", stream_);
    drawn_ = true;
    drawn_columns_ = terminal.columns;
    std::fflush(stream_);
}

} // namespace vantrel
