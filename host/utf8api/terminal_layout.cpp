#include "utf8api/terminal_layout.h"

#include <algorithm>
#include <cmath>

namespace utf8api {

namespace {

constexpr double kUnitsPerCol = 4.0;
constexpr double kUnitsPerRow = 8.0;
constexpr int kMinimumRows = 12;
constexpr int kMinimumCols = 40;

int scaled(double units, double per_cell) {
    return static_cast<int>(std::lround(units / per_cell));
}

} // namespace

dialog_layout::dialog_layout(SHORT dialog_width, SHORT dialog_height, int screen_rows,
                             int screen_cols) {
    const double width = std::max<SHORT>(dialog_width, 1);
    const double height = std::max<SHORT>(dialog_height, 1);
    // The interior plus one row for key help, inside a one-cell frame.
    const int wanted_cols = static_cast<int>(std::ceil(width / kUnitsPerCol));
    const int wanted_rows = static_cast<int>(std::ceil(height / kUnitsPerRow)) + 1;
    const int cols = std::max(1, std::min(wanted_cols, screen_cols - 2));
    const int rows = std::max(2, std::min(wanted_rows, screen_rows - 2));
    units_per_col_ = std::max(kUnitsPerCol, width / cols);
    // Controls use every interior row but the help row.
    units_per_row_ = std::max(kUnitsPerRow, height / (rows - 1));
    frame_.rows = rows + 2;
    frame_.cols = cols + 2;
    frame_.row = std::max(0, (screen_rows - frame_.rows) / 2);
    frame_.col = std::max(0, (screen_cols - frame_.cols) / 2);
    fits_ = screen_rows >= kMinimumRows && screen_cols >= kMinimumCols;
}

cell_rect dialog_layout::place(SHORT x, SHORT y, SHORT cx, SHORT cy) const {
    const int interior_rows = frame_.rows - 3; // less the frame and the help row
    const int interior_cols = frame_.cols - 2;
    const int top = std::clamp(scaled(y, units_per_row_), 0, interior_rows - 1);
    const int bottom = std::clamp(scaled(y + cy, units_per_row_), top + 1, interior_rows);
    const int left = std::clamp(scaled(x, units_per_col_), 0, interior_cols - 1);
    const int right = std::clamp(scaled(x + cx, units_per_col_), left + 1, interior_cols);
    return {frame_.row + 1 + top, frame_.col + 1 + left, bottom - top, right - left};
}

} // namespace utf8api
