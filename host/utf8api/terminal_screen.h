// The terminal while a dialog is shown: curses on the controlling terminal
// (/dev/tty, so redirected standard streams do not matter), a UTF-8 character
// type for the duration, and the terminal restored on every way out,
// including the termination signals.
#pragma once

#include <memory>
#include <string>

namespace utf8api {

class terminal_screen {
public:
    // Null when the process has no usable terminal.
    static std::unique_ptr<terminal_screen> open();
    ~terminal_screen();
    terminal_screen(const terminal_screen&) = delete;
    terminal_screen& operator=(const terminal_screen&) = delete;

private:
    terminal_screen() = default;

    struct state;
    std::unique_ptr<state> state_;
};

} // namespace utf8api
