// Drawing a dialog session and pop-up boxes with curses.
#pragma once

#include "utf8api/dialog_session.h"
#include "utf8api/terminal_layout.h"

#include <map>
#include <string>
#include <vector>

namespace utf8api {

// Where the caret of an edit box stands and which part of its text shows.
struct edit_view {
    std::size_t cursor = 0; // byte offset, always on a character boundary
    std::size_t top_line = 0;
    std::size_t left_column = 0;
};

using edit_views = std::map<const dialog_control*, edit_view>;

// Draws the dialog; leaves the caret in the focused edit box (or hides it).
void draw_dialog(const dialog_session& session, edit_views& views);

// A centred box with a caption on its top border and the given lines.
struct popup {
    std::string caption;
    std::vector<std::string> lines;
    std::string button; // drawn highlighted on the last row; empty for none
    int width = 0;      // interior columns; 0 fits the lines
};
// Draws the box and answers the screen position of its first interior cell.
cell_rect draw_popup(const popup& box);

// Wraps text at `width` columns, breaking at spaces where it can; line
// breaks in the text are kept.
std::vector<std::string> wrap_text(const std::string& text, int width);

// The longest prefix of `text` that fits `cols` columns, control characters
// shown as spaces.
std::string fit_text(const std::string& text, int cols);

} // namespace utf8api
