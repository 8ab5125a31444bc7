// The face for people: draws the dialog on the terminal with curses and
// takes the keyboard. Tab and Shift-Tab move between controls, Left/Right
// move the slider, typing edits the text box (Enter starts a new line there),
// Enter presses the focused button (elsewhere the default one), Esc cancels.
// Message boxes and the file prompt show as boxes over the dialog.
#pragma once

#include "utf8api/dialog_face.h"

namespace utf8api {

class UTF8API terminal_face final : public dialog_face {
public:
    terminal_face();
    ~terminal_face() override;

    void run(dialog_session& session) override;
    int message_box(dialog_session* owner, const char* text, const char* caption,
                    UINT type) override;
    std::optional<std::string> choose_file(dialog_session* owner,
                                           const file_request& request) override;

private:
    struct state;
    std::unique_ptr<state> state_;
};

} // namespace utf8api
