// Opens the test dialog with the terminal face and writes how it ended to the
// file named by the first argument: "result=<r> selected=<n> custom=<text>".
// The optional second argument is the starting slider position.
#include "test_dialog.h"
#include "utf8api/terminal_face.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s RESULT_FILE [START_POSITION]\n", argv[0]);
        return 2;
    }
    utf8api::select_dialog_face(std::make_shared<utf8api::terminal_face>());
    test_dialog::settings state;
    state.selected = argc > 2 ? std::atoi(argv[2]) : 0;
    const INT_PTR result = uDialogBox(test_dialog::module(), test_dialog::kDialogId, nullptr,
                                      test_dialog::procedure(), reinterpret_cast<LPARAM>(&state));
    // Written beside and renamed, so a reader never sees half of it.
    const std::string partial = std::string(argv[1]) + ".partial";
    FILE* out = std::fopen(partial.c_str(), "w");
    if (!out)
        return 1;
    std::fprintf(out, "result=%ld selected=%d custom=%s", static_cast<long>(result), state.selected,
                 state.custom.c_str());
    std::fclose(out);
    return std::rename(partial.c_str(), argv[1]) == 0 ? 0 : 1;
}
