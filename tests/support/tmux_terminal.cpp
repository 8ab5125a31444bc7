#include "tmux_terminal.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace test_support {

bool TmuxTerminal::Available() {
    return RunCommand("tmux -V", 20).status == 0;
}

TmuxTerminal::TmuxTerminal(std::string name) : name_(std::move(name)) {}

TmuxTerminal::~TmuxTerminal() {
    RunCommand(Tmux() + " kill-server", 20);
}

std::string TmuxTerminal::Tmux() const {
    return "tmux -L " + ShellQuote(name_) + " -f /dev/null";
}

CommandResult TmuxTerminal::Start(const std::string& command, int columns, int rows) {
    return RunCommand(Tmux() + " new-session -d -s main -x " + std::to_string(columns) + " -y " +
                          std::to_string(rows) + " " + ShellQuote(command),
                      20);
}

void TmuxTerminal::Keys(const std::string& names) const {
    RunCommand(Tmux() + " send-keys -t main " + names, 20);
}

void TmuxTerminal::Type(const std::string& literal) const {
    RunCommand(Tmux() + " send-keys -t main -l " + ShellQuote(literal), 20);
}

std::string TmuxTerminal::Screen() const {
    return RunCommand(Tmux() + " capture-pane -p -t main", 20).out;
}

std::string TmuxTerminal::JoinedScreen() const {
    return RunCommand(Tmux() + " capture-pane -p -J -t main", 20).out;
}

void TmuxTerminal::Resize(int columns, int rows) const {
    RunCommand(Tmux() + " resize-window -t main -x " + std::to_string(columns) + " -y " +
                   std::to_string(rows),
               20);
}

bool TmuxTerminal::Shows(std::initializer_list<std::string> parts,
                         std::initializer_list<std::string> absent) {
    return WaitFor([&] {
        lastScreen_ = Screen();
        const auto shown = [this](const std::string& part) {
            return lastScreen_.find(part) != std::string::npos;
        };
        return std::all_of(parts.begin(), parts.end(), shown) &&
               std::none_of(absent.begin(), absent.end(), shown);
    });
}

bool TmuxTerminal::WaitFor(const std::function<bool()>& done, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

} // namespace test_support
