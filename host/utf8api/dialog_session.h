// A running dialog: its template, the state of its controls, its dialog
// procedure and how it ended. The dialog's window handle (HWND) is a pointer
// to its session; only handles of live sessions are ever dereferenced.
//
// Faces drive a session through the operations below; each one delivers the
// messages a real dialog would send its procedure.
#pragma once

#include "utf8api/dialog_control.h"
#include "vantrel/utf8api.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace utf8api {

class dialog_face;

// Scroll codes in the low word of WM_HSCROLL's wParam.
inline constexpr WORD tb_line_up = 0;
inline constexpr WORD tb_line_down = 1;
inline constexpr WORD tb_thumb_position = 4;
inline constexpr WORD tb_top = 6;
inline constexpr WORD tb_bottom = 7;

class UTF8API dialog_session {
public:
    dialog_session(const DialogTemplate& source, DLGPROC procedure, HWND parent,
                   std::shared_ptr<dialog_face> face);
    ~dialog_session();
    dialog_session(const dialog_session&) = delete;
    dialog_session& operator=(const dialog_session&) = delete;

    // The session behind `window`, or null when it is not a live dialog.
    static dialog_session* from_handle(HWND window);

    HWND handle() const;
    HWND parent() const { return parent_; }
    WORD template_id() const { return template_id_; }
    const std::string& title() const { return title_; }
    SHORT width() const { return width_; } // dialog units
    SHORT height() const { return height_; }
    const std::shared_ptr<dialog_face>& face() const { return face_; }

    // ---- Controls, for drawing and reading ----
    const std::vector<dialog_control>& controls() const { return controls_; }
    // The first control with `id`, or null.
    const dialog_control* control(WORD id) const;
    dialog_control* control(WORD id);
    // A control's window handle (what WM_COMMAND and WM_HSCROLL carry in lParam).
    HWND control_handle(WORD id) const;
    // A control's text; empty for a missing control.
    std::string text_of(WORD id) const;
    // A trackbar's position; 0 for a missing control.
    int trackbar_position(WORD id) const;

    // ---- Focus ----
    const dialog_control* focused() const;
    bool set_focus(WORD id);
    // Moves to the next (or previous) focusable control in template order.
    void focus_next(bool backwards = false);

    // ---- What a user does; false when the dialog has ended or the control
    // cannot take the action ----
    // Moves a trackbar (clamped to its range) and sends WM_HSCROLL.
    bool move_trackbar(WORD id, int position, WORD scroll_code = tb_thumb_position);
    // Replaces an edit box's text as typing would and sends EN_CHANGE.
    bool type_text(WORD id, std::string_view text);
    // Presses a push button: WM_COMMAND with BN_CLICKED. IDOK and IDCANCEL can
    // be pressed without a button of that id, as Enter and Esc do.
    bool click_button(WORD id);

    // ---- Used by the runtime ----
    // Sends WM_INITDIALOG with `init_param`.
    void initialise(LPARAM init_param);
    // Sends a message to the dialog procedure and answers its result.
    INT_PTR send(UINT message, WPARAM wparam, LPARAM lparam);
    // Ends the dialog with `result` (EndDialog); the last call wins.
    void end(INT_PTR result);
    bool ended() const { return ended_; }
    INT_PTR result() const { return result_; }

    LONG_PTR user_value() const { return user_value_; }
    LONG_PTR set_user_value(LONG_PTR value);

private:
    int index_of(WORD id) const;

    WORD template_id_;
    std::string title_;
    SHORT width_;
    SHORT height_;
    DLGPROC procedure_;
    HWND parent_;
    std::shared_ptr<dialog_face> face_;
    std::vector<dialog_control> controls_;
    int focus_ = -1;
    bool ended_ = false;
    INT_PTR result_ = 0;
    LONG_PTR user_value_ = 0;
};

} // namespace utf8api
