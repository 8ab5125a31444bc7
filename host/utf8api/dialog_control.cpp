#include "utf8api/dialog_control.h"

#include <strings.h>

namespace utf8api {

namespace {

bool class_is(const char* name, const char* expected) {
    return name && strcasecmp(name, expected) == 0;
}

} // namespace

dialog_control make_control(const DialogControlTemplate& source) {
    dialog_control control;
    control.id = source.id;
    control.class_name = source.className ? source.className : "";
    control.style = source.style;
    control.x = source.x;
    control.y = source.y;
    control.cx = source.cx;
    control.cy = source.cy;
    control.text = source.text ? source.text : "";

    const char* name = source.className;
    if (class_is(name, "STATIC")) {
        control.kind = control_kind::static_text;
        const DWORD type = source.style & style::static_type_mask;
        if (type == style::static_centre)
            control.alignment = text_alignment::centre;
        else if (type == style::static_right)
            control.alignment = text_alignment::right;
    } else if (class_is(name, "BUTTON")) {
        const DWORD type = source.style & style::button_type_mask;
        control.kind =
            type == style::group_box ? control_kind::group_box : control_kind::push_button;
        control.default_button = type == style::default_push_button;
        control.alignment = text_alignment::centre;
    } else if (class_is(name, "EDIT")) {
        control.kind = control_kind::edit_box;
        control.multi_line = (source.style & style::edit_multi_line) != 0;
        control.read_only = (source.style & style::edit_read_only) != 0;
    } else if (class_is(name, "msctls_trackbar32")) {
        control.kind = control_kind::trackbar;
        control.text.clear();
    }
    return control;
}

} // namespace utf8api
