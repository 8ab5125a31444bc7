// The settings dialog: a quality slider over the nine presets and a tenth
// position for the custom profile text, which can be typed or loaded from a
// ".prx" file.
#include "diskwriter/diskwriter_wma.h"
#include "diskwriter/profile_check.h"
#include "diskwriter/profile_file.h"

#include "entry/module_state.h"
#include "resources/resource_ids.h"
#include "vantrel/utf8api.h"

#include <algorithm>
#include <exception>

namespace {

constexpr char kProfileFileFilter[] = "Windows Media Profiles (*.prx)|*.prx|All Files (*.*)|*.*";
constexpr UINT kAllFilesFilterIndex = 2;

int SliderPosition(HWND dialog) {
    return static_cast<int>(uSendDlgItemMessage(dialog, IDC_QUALITY_SLIDER, TBM_GETPOS, 0, 0));
}

void SetSliderPosition(HWND dialog, int position) {
    uSendDlgItemMessage(dialog, IDC_QUALITY_SLIDER, TBM_SETPOS, TRUE, position);
}

} // namespace

bool diskwriter_wma::show_settings_dialog(HWND parent) {
    const INT_PTR result = uDialogBox(ModuleInstance(), IDD_WMA_SETTINGS, parent, &DialogProc,
                                      reinterpret_cast<LPARAM>(this));
    // 1 after OK, 0 after Cancel; -1 when the dialog could not be shown.
    return result > 0;
}

INT_PTR diskwriter_wma::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    // Nothing may escape into the dialog runtime.
    try {
        if (message == WM_INITDIALOG) {
            uSetWindowLong(dialog, uDWL_USER, lParam);
            auto* writer = reinterpret_cast<diskwriter_wma*>(lParam);
            if (writer == nullptr)
                return FALSE;
            writer->OnDialogInit(dialog);
            return TRUE;
        }
        auto* writer = reinterpret_cast<diskwriter_wma*>(uGetWindowLong(dialog, uDWL_USER));
        if (writer == nullptr)
            return FALSE;
        if (message == WM_HSCROLL) {
            writer->RefreshDialogLabels(dialog);
            return TRUE;
        }
        if (message != WM_COMMAND)
            return FALSE;
        switch (LOWORD(wParam)) {
        case IDC_CUSTOM_PROFILE:
            if (HIWORD(wParam) != EN_CHANGE)
                return FALSE;
            writer->OnCustomTextChanged(dialog);
            return TRUE;
        case IDC_LOAD_PROFILE:
            writer->OnLoadProfileFile(dialog);
            return TRUE;
        case IDOK:
            writer->OnDialogOk(dialog);
            return TRUE;
        case IDCANCEL:
            writer->OnDialogCancel(dialog);
            return TRUE;
        default:
            return FALSE;
        }
    } catch (const std::exception&) {
        return FALSE;
    }
}

void diskwriter_wma::OnDialogInit(HWND dialog) {
    const std::int32_t count = presetLoader_.PresetCount();
    uSendDlgItemMessage(dialog, IDC_QUALITY_SLIDER, TBM_SETRANGE, TRUE, MAKELPARAM(0, count));
    // A stored index outside the slider's range shows as its nearest end.
    SetSliderPosition(dialog, std::clamp(selectedPreset_, 0, count));
    uSetDlgItemText(dialog, IDC_CUSTOM_PROFILE, customProfile_.text());
    savedCustomProfile_ = customProfile_;
    RefreshDialogLabels(dialog);
}

void diskwriter_wma::RefreshDialogLabels(HWND dialog) {
    const int position = SliderPosition(dialog);
    const std::int32_t count = presetLoader_.PresetCount();
    if (position == count) {
        uSetDlgItemText(dialog, IDC_PRESET_NAME, "Custom Profile");
        uSetDlgItemText(dialog, IDC_PRESET_DESCRIPTION, CustomProfileName().c_str());
    } else if (position >= 0 && position < count) {
        uSetDlgItemText(dialog, IDC_PRESET_NAME, presetLoader_.PresetName(position).c_str());
        uSetDlgItemText(dialog, IDC_PRESET_DESCRIPTION,
                        presetLoader_.PresetDescription(position).c_str());
    } else {
        uSetDlgItemText(dialog, IDC_PRESET_NAME, "");
        uSetDlgItemText(dialog, IDC_PRESET_DESCRIPTION, "");
    }
}

void diskwriter_wma::OnCustomTextChanged(HWND dialog) {
    // Typing selects the custom profile on the slider; the stored choice
    // changes only with OK.
    SetSliderPosition(dialog, presetLoader_.PresetCount());
    uGetDlgItemText(dialog, IDC_CUSTOM_PROFILE, &customProfile_);
    RefreshDialogLabels(dialog);
}

void diskwriter_wma::OnLoadProfileFile(HWND dialog) {
    string8 path;
    if (uGetOpenFileName(dialog, kProfileFileFilter, kAllFilesFilterIndex, "prx",
                         "Load Custom Windows Media Profile", "", &path, FALSE) != 1 ||
        path.is_empty())
        return;
    std::string text;
    if (!ReadProfileFile(path.text(), text))
        return;
    // A profile the writer cannot encode with is refused here, naming the file,
    // rather than failing every track later.
    const std::string problem = CustomProfileProblem(presetLoader_, text.c_str());
    if (!problem.empty()) {
        const std::string message =
            std::string("The profile ") + path.text() + " cannot be used: " + problem;
        MessageBoxA(dialog, message.c_str(), "", MB_OK);
        return;
    }
    customProfile_ = text.c_str();
    uSetDlgItemText(dialog, IDC_CUSTOM_PROFILE, customProfile_.text());
    SetSliderPosition(dialog, presetLoader_.PresetCount());
    RefreshDialogLabels(dialog);
}

void diskwriter_wma::OnDialogOk(HWND dialog) {
    const int position = SliderPosition(dialog);
    uGetDlgItemText(dialog, IDC_CUSTOM_PROFILE, &customProfile_);
    if (position == presetLoader_.PresetCount() && customProfile_.is_empty()) {
        // Refused: the stored choice stays as it was, so Cancel still
        // leaves the writer exactly as before the dialog.
        MessageBoxA(dialog, "No custom profile data is loaded.", "", MB_OK);
        return;
    }
    // A typed profile gets the check a loaded one gets: one the writer cannot
    // encode with is refused here, with the reason, and nothing is stored.
    if (position == presetLoader_.PresetCount()) {
        const std::string problem = CustomProfileProblem(presetLoader_, customProfile_.text());
        if (!problem.empty()) {
            const std::string message = "The custom profile cannot be used: " + problem;
            MessageBoxA(dialog, message.c_str(), "", MB_OK);
            return;
        }
    }
    selectedPreset_ = position;
    EndDialog(dialog, 1);
}

void diskwriter_wma::OnDialogCancel(HWND dialog) {
    customProfile_ = savedCustomProfile_;
    EndDialog(dialog, 0);
}
