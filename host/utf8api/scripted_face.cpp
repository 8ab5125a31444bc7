#include "utf8api/scripted_face.h"

namespace utf8api {

scripted_face::scripted_face(script steps) : script_(std::move(steps)) {}

void scripted_face::set_script(script steps) {
    script_ = std::move(steps);
}

void scripted_face::set_file_answer(std::optional<std::string> path) {
    file_answer_ = std::move(path);
}

void scripted_face::set_message_box_answer(int answer) {
    message_box_answer_ = answer;
}

void scripted_face::run(dialog_session& session) {
    ++runs_;
    // Copied so that a script may replace itself while it runs.
    const script steps = script_;
    if (steps)
        steps(session);
    if (!session.ended())
        session.click_button(IDCANCEL);
}

int scripted_face::message_box(dialog_session* owner, const char* text, const char* caption,
                               UINT type) {
    messages_.push_back({owner ? owner->handle() : nullptr, text ? text : "",
                         caption ? caption : "", caption != nullptr, type});
    return message_box_answer_;
}

std::optional<std::string> scripted_face::choose_file(dialog_session*,
                                                      const file_request& request) {
    file_requests_.push_back(request);
    return file_answer_;
}

} // namespace utf8api
