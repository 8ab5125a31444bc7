// A settings dialog for exercising the dialog runtime: a quality slider with
// two labels, a custom text box and Load / OK / Cancel, registered in a module
// of its own. Its procedure keeps the labels in step with the slider and the
// text box and logs every message it receives.
#pragma once

#include "platform/win32_api.h"

#include <string>
#include <vector>

namespace test_dialog {

inline constexpr WORD kDialogId = 116;
inline constexpr WORD kSlider = 1000;
inline constexpr WORD kNameLabel = 1001;
inline constexpr WORD kDescriptionLabel = 1003;
inline constexpr WORD kCustomText = 1004;
inline constexpr WORD kLoad = 1005;
inline constexpr int kPresetCount = 9;
inline constexpr const char* kTitle = "Test encoder settings";
inline constexpr const char* kEmptyCustomMessage = "No custom profile data is loaded.";
inline constexpr const char* kLoadTitle = "Load Custom Profile";
inline constexpr const char* kLoadFilter = "Profiles (*.prx)|*.prx|All Files (*.*)|*.*";

struct received {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

// What the dialog edits; its address is the dialog's start value.
struct settings {
    int selected = 0;
    std::string custom;
    std::string saved;
    std::vector<received> log;

    int count(UINT message, WORD id = 0, WORD code = 0) const;
};

// Registers the module once and answers its handle.
HINSTANCE module();
INT_PTR dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
inline DLGPROC procedure() {
    return &dialog_procedure;
}

std::string preset_name(int index);
std::string preset_description(int index);
// The value of the first name="..." in a text, or empty.
std::string profile_name(const std::string& text);

} // namespace test_dialog
