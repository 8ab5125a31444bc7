// uDialogBox: loads the template, runs the dialog through the selected face
// and answers the value it ended with. While any dialog runs, the runtime
// provides the platform's MessageBoxA and EndDialog.
#include "utf8api/dialog_face.h"
#include "utf8api/dialog_session.h"

#include <mutex>

namespace utf8api {

namespace {

int show_message_box(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    try {
        dialog_session* session = dialog_session::from_handle(owner);
        const std::shared_ptr<dialog_face> face =
            session ? session->face() : selected_dialog_face();
        return face->message_box(session, text ? text : "", caption, type);
    } catch (...) {
        return 0;
    }
}

BOOL end_dialog(HWND dialog, INT_PTR result) {
    dialog_session* session = dialog_session::from_handle(dialog);
    if (!session)
        return FALSE;
    session->end(result);
    return TRUE;
}

constexpr WindowSystem kWindowCalls{show_message_box, end_dialog};

// Installs the window calls while at least one dialog runs in the process;
// outside dialogs the platform keeps its own console behaviour.
class window_calls_scope {
public:
    window_calls_scope() {
        std::lock_guard lock(mutex());
        if (depth()++ == 0)
            SetWindowSystem(&kWindowCalls);
    }
    ~window_calls_scope() {
        std::lock_guard lock(mutex());
        if (--depth() == 0)
            SetWindowSystem(nullptr);
    }
    window_calls_scope(const window_calls_scope&) = delete;
    window_calls_scope& operator=(const window_calls_scope&) = delete;

private:
    static std::mutex& mutex() {
        static std::mutex* lock = new std::mutex;
        return *lock;
    }
    static int& depth() {
        static int count = 0;
        return count;
    }
};

INT_PTR run_dialog(const DialogTemplate& source, HWND parent, DLGPROC procedure,
                   LPARAM init_param) {
    const std::shared_ptr<dialog_face> face = selected_dialog_face();
    dialog_session session(source, procedure, parent, face);
    window_calls_scope window_calls;
    session.initialise(init_param);
    if (!session.ended())
        face->run(session);
    // A face that gave up leaves the dialog open: press Cancel as Esc would,
    // and if the procedure still keeps it open, end it as cancelled.
    if (!session.ended())
        session.click_button(IDCANCEL);
    if (!session.ended())
        session.end(0);
    return session.result();
}

} // namespace

} // namespace utf8api

extern "C" INT_PTR uDialogBox(HINSTANCE instance, UINT template_id, HWND parent, DLGPROC procedure,
                              LPARAM init_param) {
    if (!procedure || template_id > 0xFFFF)
        return -1;
    const DialogTemplate* source = FindDialogTemplate(instance, static_cast<WORD>(template_id));
    if (!source)
        return -1;
    try {
        return utf8api::run_dialog(*source, parent, procedure, init_param);
    } catch (...) {
        return -1;
    }
}
