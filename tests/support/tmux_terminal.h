// A program in a terminal of its own, as a person sees it: a detached session
// on a tmux server private to this object, keys sent to it, the screen read
// back. The server ends with the object, whatever happened.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>

#include "commands.h"

namespace test_support {

class TmuxTerminal {
public:
    static bool Available();

    // `name` names the server; it must be unique among running tests.
    explicit TmuxTerminal(std::string name);
    ~TmuxTerminal();
    TmuxTerminal(const TmuxTerminal&) = delete;
    TmuxTerminal& operator=(const TmuxTerminal&) = delete;

    // Runs the shell command in a new session of `columns` x `rows`.
    CommandResult Start(const std::string& command, int columns, int rows);
    // tmux key names, e.g. "Tab Enter" or "C-u".
    void Keys(const std::string& names) const;
    // Text typed as it is.
    void Type(const std::string& literal) const;
    std::string Screen() const;
    // The screen with the rows of each wrapped line joined into one line.
    std::string JoinedScreen() const;
    // Gives the terminal a new size, as a person resizing its window.
    void Resize(int columns, int rows) const;

    // Waits (bounded) until the screen shows every one of `parts` and none of
    // `absent`; LastScreen() is what it saw last.
    bool Shows(std::initializer_list<std::string> parts,
               std::initializer_list<std::string> absent = {});
    const std::string& LastScreen() const { return lastScreen_; }

    // Polls at a pace that suits a terminal; false when `done` stayed false.
    static bool WaitFor(const std::function<bool()>& done, int seconds = 15);

private:
    std::string Tmux() const;

    std::string name_;
    std::string lastScreen_;
};

} // namespace test_support
