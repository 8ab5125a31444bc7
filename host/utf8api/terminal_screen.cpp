#include "utf8api/terminal_screen.h"

#include "utf8api/curses.h"

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <langinfo.h>

namespace utf8api {

namespace {

constexpr int kRestoredSignals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};
constexpr int kSignalCount = sizeof(kRestoredSignals) / sizeof(kRestoredSignals[0]);
struct sigaction g_previous[kSignalCount];

// Puts the terminal back, then lets the signal do what it did before.
void restore_and_reraise(int signal_number) {
    endwin();
    for (int i = 0; i < kSignalCount; ++i)
        if (kRestoredSignals[i] == signal_number)
            sigaction(signal_number, &g_previous[i], nullptr);
    raise(signal_number);
}

bool codeset_is_utf8() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

} // namespace

struct terminal_screen::state {
    FILE* input = nullptr;
    FILE* output = nullptr;
    SCREEN* screen = nullptr;
    std::string saved_locale;
};

std::unique_ptr<terminal_screen> terminal_screen::open() {
    std::unique_ptr<terminal_screen> result(new terminal_screen);
    result->state_ = std::make_unique<state>();
    state& s = *result->state_;

    const char* current = std::setlocale(LC_CTYPE, nullptr);
    s.saved_locale = current ? current : "C";
    if (!std::setlocale(LC_CTYPE, "") || !codeset_is_utf8())
        if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
            std::setlocale(LC_CTYPE, s.saved_locale.c_str());

    s.input = std::fopen("/dev/tty", "r");
    s.output = std::fopen("/dev/tty", "w");
    if (s.input && s.output)
        s.screen = newterm(nullptr, s.output, s.input);
    if (!s.screen)
        return nullptr; // the destructor closes what was opened
    set_term(s.screen);
    raw();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    set_escdelay(25);

    struct sigaction action {};
    action.sa_handler = restore_and_reraise;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i)
        sigaction(kRestoredSignals[i], &action, &g_previous[i]);
    return result;
}

terminal_screen::~terminal_screen() {
    state& s = *state_;
    if (s.screen) {
        for (int i = 0; i < kSignalCount; ++i)
            sigaction(kRestoredSignals[i], &g_previous[i], nullptr);
        curs_set(1);
        endwin();
        delscreen(s.screen);
    }
    if (s.input)
        std::fclose(s.input);
    if (s.output)
        std::fclose(s.output);
    std::setlocale(LC_CTYPE, s.saved_locale.c_str());
}

} // namespace utf8api
