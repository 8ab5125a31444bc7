#include "resources/settings_dialog.h"

#include "resources/resource_ids.h"

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

constexpr DialogControlTemplate kControls[] = {
    {"STATIC", "Quality:", IDC_STATIC, kChild | SS_LEFT, 8, 8, 28, 8},
    {"msctls_trackbar32", "", IDC_QUALITY_SLIDER, kChild | TBS_HORZ | TBS_NOTICKS | WS_TABSTOP, 8,
     20, 212, 15},
    {"STATIC", "", IDC_PRESET_NAME, kChild | SS_CENTER, 12, 36, 204, 8},
    {"STATIC", "", IDC_PRESET_DESCRIPTION, kChild | SS_CENTER, 12, 48, 204, 8},
    {"BUTTON", "OK", IDOK, kChild | BS_DEFPUSHBUTTON, 112, 156, 50, 14},
    {"BUTTON", "Cancel", IDCANCEL, kChild | BS_PUSHBUTTON, 168, 156, 50, 14},
    {"BUTTON", "Custom", IDC_STATIC, kChild | BS_GROUPBOX, 8, 60, 208, 88},
    {"EDIT", "", IDC_CUSTOM_PROFILE, kChild | ES_MULTILINE | WS_VSCROLL | WS_BORDER | WS_TABSTOP,
     12, 73, 200, 52},
    {"BUTTON", "Load", IDC_LOAD_PROFILE, kChild | BS_PUSHBUTTON, 160, 129, 50, 14},
};

} // namespace

const DialogTemplate SettingsDialog = {
    IDD_WMA_SETTINGS,
    "WMA encoder settings",
    DS_MODALFRAME | WS_CAPTION | WS_SYSMENU,
    0,
    0,
    224,
    177,
    "Tahoma",
    8,
    kControls,
    static_cast<int>(sizeof kControls / sizeof kControls[0]),
};
