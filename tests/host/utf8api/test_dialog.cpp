#include "test_dialog.h"

#include "services/host_string.h"
#include "vantrel/utf8api.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace test_dialog {

namespace {

const DialogControlTemplate kControls[] = {
    {"STATIC", "Quality:", IDC_STATIC, 0, 8, 8, 28, 8},
    {"msctls_trackbar32", "", kSlider, TBS_NOTICKS | WS_TABSTOP, 8, 20, 212, 15},
    {"STATIC", "", kNameLabel, SS_CENTER, 12, 36, 204, 8},
    {"STATIC", "", kDescriptionLabel, SS_CENTER, 12, 48, 204, 8},
    {"BUTTON", "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 112, 156, 50, 14},
    {"BUTTON", "Cancel", IDCANCEL, WS_TABSTOP, 168, 156, 50, 14},
    {"BUTTON", "Custom", IDC_STATIC, BS_GROUPBOX, 8, 60, 208, 88},
    {"EDIT", "", kCustomText, ES_MULTILINE | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 12, 73, 200, 52},
    {"BUTTON", "Load", kLoad, WS_TABSTOP, 160, 129, 50, 14},
};

const DialogTemplate kDialogs[] = {
    {kDialogId, kTitle, 0, 0, 0, 224, 177, "Tahoma", 8, kControls,
     static_cast<int>(std::size(kControls))},
};

const ModuleResources kResources{nullptr, 0, kDialogs, static_cast<int>(std::size(kDialogs))};

int slider_position(HWND window) {
    return static_cast<int>(uSendDlgItemMessage(window, kSlider, TBM_GETPOS, 0, 0));
}

void set_slider(HWND window, int position) {
    uSendDlgItemMessage(window, kSlider, TBM_SETPOS, TRUE, position);
}

void refresh_labels(HWND window, const settings& state) {
    const int position = slider_position(window);
    if (position == kPresetCount) {
        uSetDlgItemText(window, kNameLabel, "Custom Profile");
        uSetDlgItemText(window, kDescriptionLabel, profile_name(state.custom).c_str());
    } else {
        uSetDlgItemText(window, kNameLabel, preset_name(position).c_str());
        uSetDlgItemText(window, kDescriptionLabel, preset_description(position).c_str());
    }
}

std::string dialog_text(HWND window, WORD id) {
    vantrel::host_string text;
    uGetDlgItemText(window, id, &text);
    return text.str();
}

void load_custom(HWND window, settings& state) {
    vantrel::host_string path;
    if (uGetOpenFileName(window, kLoadFilter, 2, "prx", kLoadTitle, "", &path, FALSE) != 1)
        return;
    std::ifstream file(path.str(), std::ios::binary);
    if (!file)
        return;
    state.custom.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    uSetDlgItemText(window, kCustomText, state.custom.c_str());
    set_slider(window, kPresetCount);
    refresh_labels(window, state);
}

INT_PTR command(HWND window, settings& state, WORD id, WORD code) {
    if (id == kCustomText && code == EN_CHANGE) {
        set_slider(window, kPresetCount);
        state.custom = dialog_text(window, kCustomText);
        refresh_labels(window, state);
        return TRUE;
    }
    if (code != BN_CLICKED)
        return FALSE;
    switch (id) {
    case kLoad:
        load_custom(window, state);
        return TRUE;
    case IDOK:
        state.selected = slider_position(window);
        state.custom = dialog_text(window, kCustomText);
        if (state.selected == kPresetCount && state.custom.empty()) {
            MessageBoxA(window, kEmptyCustomMessage, nullptr, MB_OK);
            return TRUE;
        }
        EndDialog(window, 1);
        return TRUE;
    case IDCANCEL:
        state.custom = state.saved;
        EndDialog(window, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int settings::count(UINT message, WORD id, WORD code) const {
    int n = 0;
    for (const received& r : log)
        if (r.message == message &&
            (message != WM_COMMAND || (LOWORD(r.wparam) == id && HIWORD(r.wparam) == code)))
            ++n;
    return n;
}

HINSTANCE module() {
    static HINSTANCE handle = RegisterModule("utf8api_test_dialogs", &kResources);
    return handle;
}

INT_PTR dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG)
        uSetWindowLong(window, uDWL_USER, lparam);
    auto* state = reinterpret_cast<settings*>(uGetWindowLong(window, uDWL_USER));
    if (!state)
        return FALSE;
    state->log.push_back({message, wparam, lparam});
    switch (message) {
    case WM_INITDIALOG:
        uSendDlgItemMessage(window, kSlider, TBM_SETRANGE, FALSE, MAKELPARAM(0, kPresetCount));
        set_slider(window, state->selected);
        uSetDlgItemText(window, kCustomText, state->custom.c_str());
        state->saved = state->custom;
        refresh_labels(window, *state);
        return TRUE;
    case WM_HSCROLL:
        refresh_labels(window, *state);
        return TRUE;
    case WM_COMMAND:
        return command(window, *state, LOWORD(wparam), HIWORD(wparam));
    default:
        return FALSE;
    }
}

std::string preset_name(int index) {
    return "Preset " + std::to_string(index);
}

std::string preset_description(int index) {
    return "Description of preset " + std::to_string(index);
}

std::string profile_name(const std::string& text) {
    const std::size_t start = text.find("name=\"");
    if (start == std::string::npos)
        return {};
    const std::size_t end = text.find('"', start + 6);
    return end == std::string::npos ? std::string() : text.substr(start + 6, end - start - 6);
}

} // namespace test_dialog
