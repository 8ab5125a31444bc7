// The host's UTF-8 wrappers around the window, dialog and text calls a
// component makes. Texts are UTF-8; window, dialog and module handles are the
// platform's. The host's shared library implements them; components import
// them.
#pragma once

#include "platform/win32_api.h"

#include <cstdarg>

class string_base;

#define UTF8API __attribute__((visibility("default")))

// The index of a dialog's user value for uGetWindowLong and uSetWindowLong.
inline constexpr int uDWL_USER = 8;

extern "C" {

// Runs dialog `template_id` of `instance` modally; `init_param` reaches the
// dialog procedure with WM_INITDIALOG. Answers the value the dialog ended with.
UTF8API INT_PTR uDialogBox(HINSTANCE instance, UINT template_id, HWND parent, DLGPROC procedure,
                           LPARAM init_param);

// The open (or save) file dialog. `filter` pairs descriptions and patterns,
// all separated by '|'; `filter_index` counts from 1. Answers 1 with the
// chosen path in `out_path`, else 0.
UTF8API BOOL uGetOpenFileName(HWND owner, const char* filter, UINT filter_index,
                              const char* default_extension, const char* title,
                              const char* initial_directory, string_base* out_path, BOOL save);

// The text of a dialog control.
UTF8API BOOL uGetDlgItemText(HWND dialog, UINT control_id, string_base* out);
UTF8API BOOL uSetDlgItemText(HWND dialog, UINT control_id, const char* text);
UTF8API LRESULT uSendDlgItemMessage(HWND dialog, UINT control_id, UINT message, WPARAM wparam,
                                    LPARAM lparam);

// A window's value at `index`; uSetWindowLong answers the previous value.
UTF8API LONG_PTR uGetWindowLong(HWND window, int index);
UTF8API LONG_PTR uSetWindowLong(HWND window, int index, LONG_PTR value);

// printf-style formatting into `out` (its content is replaced).
UTF8API void uPrintfV(string_base* out, const char* format, va_list arguments);

// Compares two texts ignoring case; 0 when equal, else negative or positive
// like strcmp.
UTF8API int stricmp_utf8(const char* a, const char* b);

} // extern "C"
