// A face for tests: a script given by the test plays the user. It records the
// message boxes shown and the file requests made, and answers file requests
// with a path the test gives. A script that returns while its dialog is still
// open gets the dialog cancelled (IDCANCEL), so nothing waits for a user.
#pragma once

#include "utf8api/dialog_face.h"
#include "utf8api/dialog_session.h"

#include <functional>

namespace utf8api {

class UTF8API scripted_face final : public dialog_face {
public:
    using script = std::function<void(dialog_session&)>;

    struct shown_message {
        HWND owner;
        std::string text;
        std::string caption;
        bool has_caption;
        UINT type;
    };

    explicit scripted_face(script steps = {});

    // The script for the dialogs run from now on (also nested ones).
    void set_script(script steps);
    // What file requests answer; nothing means the user cancelled.
    void set_file_answer(std::optional<std::string> path);
    // What message boxes answer (IDOK unless set).
    void set_message_box_answer(int answer);

    const std::vector<shown_message>& messages() const { return messages_; }
    const std::vector<file_request>& file_requests() const { return file_requests_; }
    int runs() const { return runs_; }

    void run(dialog_session& session) override;
    int message_box(dialog_session* owner, const char* text, const char* caption,
                    UINT type) override;
    std::optional<std::string> choose_file(dialog_session* owner,
                                           const file_request& request) override;

private:
    script script_;
    std::optional<std::string> file_answer_;
    int message_box_answer_ = IDOK;
    std::vector<shown_message> messages_;
    std::vector<file_request> file_requests_;
    int runs_ = 0;
};

} // namespace utf8api
