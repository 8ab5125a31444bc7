// How a dialog is shown to someone: the face runs the modal loop of a dialog
// session, shows message boxes and picks files. One face serves the whole
// process; the terminal face is used until another one is selected.
#pragma once

#include "vantrel/utf8api.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace utf8api {

class dialog_session;

struct file_filter {
    std::string description;
    std::string patterns; // ';'-separated, e.g. "*.prx"
};

// What a component asked uGetOpenFileName for.
struct file_request {
    std::string title;
    std::vector<file_filter> filters;
    unsigned filter_index = 0; // counts from 1; 0 means none
    std::string default_extension;
    std::string initial_directory;
    bool save = false;
};

class UTF8API dialog_face {
public:
    virtual ~dialog_face();

    // Runs the dialog until it ends (session.ended()). Returning earlier
    // gives the dialog up: the runtime then presses Cancel for it.
    virtual void run(dialog_session& session) = 0;
    // Shows a message box; `owner` is null when the owner is not a live
    // dialog, `caption` may be null. Answers the button pressed (IDOK, ...).
    virtual int message_box(dialog_session* owner, const char* text, const char* caption,
                            UINT type) = 0;
    // Asks for a file; nothing when the user cancelled.
    virtual std::optional<std::string> choose_file(dialog_session* owner,
                                                   const file_request& request) = 0;
};

// Selects the face for every dialog opened from now on; null goes back to
// the terminal face.
UTF8API void select_dialog_face(std::shared_ptr<dialog_face> face);
UTF8API std::shared_ptr<dialog_face> selected_dialog_face();

} // namespace utf8api
