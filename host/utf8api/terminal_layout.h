// Where a dialog and its controls land on a character terminal. A dialog unit
// is a quarter of a character's width and an eighth of its height, so one
// cell is 4 x 8 units; a terminal too small for that squeezes the scale.
#pragma once

#include "platform/win32_types.h"

namespace utf8api {

struct cell_rect {
    int row = 0;
    int col = 0;
    int rows = 0;
    int cols = 0;
};

class dialog_layout {
public:
    dialog_layout(SHORT dialog_width, SHORT dialog_height, int screen_rows, int screen_cols);

    // The dialog with its frame, centred on the screen.
    const cell_rect& frame() const { return frame_; }
    // Screen cells of a rectangle in dialog units, clipped to the interior.
    cell_rect place(SHORT x, SHORT y, SHORT cx, SHORT cy) const;
    // The interior's last row, kept for key help and prompts.
    int help_row() const { return frame_.row + frame_.rows - 2; }
    // The smallest screen on which the dialog is drawn at all.
    bool fits() const { return fits_; }

private:
    cell_rect frame_;
    double units_per_col_;
    double units_per_row_;
    bool fits_;
};

} // namespace utf8api
