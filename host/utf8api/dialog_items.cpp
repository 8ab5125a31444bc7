// The calls a dialog procedure makes on its dialog: control texts, trackbar
// messages and the dialog's user value. A handle that is not a live dialog
// answers 0 / FALSE.
#include "utf8api/dialog_session.h"
#include "vantrel/string_base.h"

#include <algorithm>
#include <cstring>

using utf8api::control_kind;
using utf8api::dialog_control;
using utf8api::dialog_session;

namespace {

dialog_control* find_control(HWND dialog, UINT control_id) {
    dialog_session* session = dialog_session::from_handle(dialog);
    if (!session || control_id > 0xFFFF)
        return nullptr;
    return session->control(static_cast<WORD>(control_id));
}

// Trackbar range ends travel as signed 16-bit words.
int signed_word(std::uintptr_t value) {
    return static_cast<SHORT>(LOWORD(value));
}

LRESULT trackbar_message(dialog_control& bar, UINT message, LPARAM lparam) {
    switch (message) {
    case TBM_GETPOS:
        return bar.position;
    case TBM_GETRANGEMIN:
        return bar.range_min;
    case TBM_GETRANGEMAX:
        return bar.range_max;
    case TBM_SETPOS:
        bar.position = std::clamp(static_cast<int>(lparam), bar.range_min, bar.range_max);
        return 0;
    case TBM_SETRANGE:
        bar.range_min = signed_word(static_cast<std::uintptr_t>(lparam));
        bar.range_max = std::max(bar.range_min, static_cast<int>(static_cast<SHORT>(
                                                    HIWORD(static_cast<std::uintptr_t>(lparam)))));
        break;
    case TBM_SETRANGEMIN:
        bar.range_min = static_cast<int>(lparam);
        bar.range_max = std::max(bar.range_max, bar.range_min);
        break;
    case TBM_SETRANGEMAX:
        bar.range_max = static_cast<int>(lparam);
        bar.range_min = std::min(bar.range_min, bar.range_max);
        break;
    default:
        return 0;
    }
    bar.position = std::clamp(bar.position, bar.range_min, bar.range_max);
    return 0;
}

} // namespace

extern "C" {

BOOL uGetDlgItemText(HWND dialog, UINT control_id, string_base* out) {
    if (!out)
        return FALSE;
    const dialog_control* control = find_control(dialog, control_id);
    if (!control) {
        out->clear();
        return FALSE;
    }
    const auto length = static_cast<std::uint32_t>(
        std::min<std::size_t>(control->text.size(), string_base::until_nul - 1));
    return out->assign_bytes(control->text.c_str(), length) ? TRUE : FALSE;
}

// Text set from code never raises EN_CHANGE; only typing does.
BOOL uSetDlgItemText(HWND dialog, UINT control_id, const char* text) {
    dialog_control* control = find_control(dialog, control_id);
    if (!control || control->kind == control_kind::trackbar)
        return FALSE;
    control->text = text ? text : "";
    return TRUE;
}

LRESULT uSendDlgItemMessage(HWND dialog, UINT control_id, UINT message, WPARAM wparam,
                            LPARAM lparam) {
    (void)wparam; // the redraw flag of the trackbar messages
    dialog_control* control = find_control(dialog, control_id);
    if (!control || control->kind != control_kind::trackbar)
        return 0;
    return trackbar_message(*control, message, lparam);
}

LONG_PTR uGetWindowLong(HWND window, int index) {
    dialog_session* session = dialog_session::from_handle(window);
    if (!session || index != uDWL_USER)
        return 0;
    return session->user_value();
}

LONG_PTR uSetWindowLong(HWND window, int index, LONG_PTR value) {
    dialog_session* session = dialog_session::from_handle(window);
    if (!session || index != uDWL_USER)
        return 0;
    return session->set_user_value(value);
}

} // extern "C"
