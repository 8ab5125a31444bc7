// One control of a running dialog: what its template says and the state the
// runtime keeps for it (text, trackbar range and position).
#pragma once

#include "platform/win32_api.h"

#include <string>

namespace utf8api {

// Style bits of dialog templates, with their usual Win32 values.
namespace style {
inline constexpr DWORD disabled = 0x08000000; // WS_DISABLED
inline constexpr DWORD static_centre = 0x1;   // SS_CENTER
inline constexpr DWORD static_right = 0x2;    // SS_RIGHT
inline constexpr DWORD static_type_mask = 0x1F;
inline constexpr DWORD button_type_mask = 0xF;
inline constexpr DWORD default_push_button = 0x1; // BS_DEFPUSHBUTTON
inline constexpr DWORD group_box = 0x7;           // BS_GROUPBOX
inline constexpr DWORD edit_multi_line = 0x4;     // ES_MULTILINE
inline constexpr DWORD edit_read_only = 0x800;    // ES_READONLY
} // namespace style

enum class control_kind { static_text, group_box, push_button, edit_box, trackbar, other };
enum class text_alignment { left, centre, right };

struct dialog_control {
    WORD id = 0;
    std::string class_name;
    DWORD style = 0;
    SHORT x = 0, y = 0, cx = 0, cy = 0; // dialog units

    control_kind kind = control_kind::other;
    text_alignment alignment = text_alignment::left;
    bool default_button = false;
    bool multi_line = false;
    bool read_only = false;

    std::string text;
    // A trackbar starts like the common control: range 0..100 at 0.
    int range_min = 0;
    int range_max = 100;
    int position = 0;

    bool enabled() const { return (style & style::disabled) == 0; }
    // Controls the user can move to with Tab.
    bool focusable() const {
        return enabled() && (kind == control_kind::push_button || kind == control_kind::edit_box ||
                             kind == control_kind::trackbar);
    }
};

// Builds a control's starting state from its template record.
dialog_control make_control(const DialogControlTemplate& source);

} // namespace utf8api
