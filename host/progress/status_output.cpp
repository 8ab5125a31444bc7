#include "progress/status_output.h"

#include <algorithm>
#include <cmath>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vantrel {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::size_t characters(const std::string& text) {
    std::size_t count = 0;
    for (unsigned char c : text)
        count += (c & 0xC0) != 0x80;
    return count;
}

// Cuts UTF-8 text to at most `columns` characters, marking the cut with "...".
std::string fit(const std::string& text, std::size_t columns) {
    if (characters(text) <= columns)
        return text;
    std::size_t keep = columns > 3 ? columns - 3 : 0;
    std::size_t i = 0, seen = 0;
    while (i < text.size() && seen <= keep) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && seen++ == keep)
            break;
        ++i;
    }
    return text.substr(0, i) + "...";
}

} // namespace

std::string remaining_time(double done_fraction, double elapsed_seconds) {
    // Too early, the rate of progress says little yet.
    if (done_fraction < 0.01 || done_fraction >= 1 || elapsed_seconds < 2)
        return {};
    const double left = elapsed_seconds * (1 - done_fraction) / done_fraction;
    return "  about " + format_duration(left + 0.5) + " left";
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

StatusOutput::StatusOutput(std::FILE* stream, bool progress, bool quiet)
    : stream_(stream), progress_(progress && !quiet), quiet_(quiet),
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
    if (!quiet_)
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
    auto now = std::chrono::steady_clock::now();
    if (progress_ && now - last_draw_ >= kRedrawInterval) {
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
    std::lock_guard lock(mutex_);
    erase_locked();
    slots_.clear();
    std::fflush(stream_);
}

void StatusOutput::erase_locked() {
    if (drawn_lines_ == 0)
        return;
    std::fputs("\r\x1b[K", stream_);
    for (int i = 1; i < drawn_lines_; ++i)
        std::fputs("\x1b[A\x1b[K", stream_);
    drawn_lines_ = 0;
}

std::string StatusOutput::bar(double fraction, int width) const {
    fraction = std::clamp(fraction, 0.0, 1.0);
    int filled = static_cast<int>(fraction * width + 0.5);
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(width - filled), '-') + "]";
}

int StatusOutput::terminal_width() const {
    winsize size{};
    if (::ioctl(::fileno(stream_), TIOCGWINSZ, &size) == 0 && size.ws_col >= 40)
        return size.ws_col;
    return 80;
}

void StatusOutput::draw_locked() {
    if (!progress_)
        return;
    last_draw_ = std::chrono::steady_clock::now();
    int width = terminal_width() - 1;
    std::vector<std::string> lines;
    double active_fraction = 0, active_audio = 0;
    for (const Slot& slot : slots_) {
        if (!slot.active)
            continue;
        double fraction = slot.duration > 0 ? slot.done / slot.duration : 0;
        active_fraction += std::clamp(fraction, 0.0, 1.0);
        active_audio += slot.done;
        char percent[16];
        std::snprintf(percent, sizeof percent, " %3d%%",
                      static_cast<int>(std::min(fraction, 1.0) * 100));
        std::string right = " " + bar(fraction, 20) + percent;
        int name_width = std::max(10, width - static_cast<int>(right.size()) - 2);
        std::string name = fit(slot.name, static_cast<std::size_t>(name_width));
        std::size_t pad = static_cast<std::size_t>(name_width) - characters(name);
        lines.push_back("  " + name + std::string(pad, ' ') + right);
    }
    double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    double audio = finished_audio_ + active_audio;
    double overall = tracks_ ? (static_cast<double>(finished_) + active_fraction) / tracks_ : 0;
    char summary[160];
    std::snprintf(summary, sizeof summary, " %3d%%  %zu/%zu tracks  %s audio in %s",
                  static_cast<int>(overall * 100), finished_, tracks_,
                  format_duration(audio).c_str(), format_duration(elapsed).c_str());
    std::string total = bar(overall, 20) + summary;
    if (elapsed > 0.5 && audio > 0) {
        char speed[32];
        std::snprintf(speed, sizeof speed, "  %.1fx", audio / elapsed);
        total += speed;
    }
    total += remaining_time(overall, elapsed);
    lines.push_back(fit(total, static_cast<std::size_t>(width)));
    for (std::size_t i = 0; i < lines.size(); ++i)
        std::fprintf(stream_, "%s%s", i ? "\n" : "", lines[i].c_str());
    drawn_lines_ = static_cast<int>(lines.size());
    std::fflush(stream_);
}

} // namespace vantrel
