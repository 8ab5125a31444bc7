#include "utf8api/terminal_drawing.h"

#include "utf8api/curses.h"
#include "utf8api/utf8_text.h"

#include <algorithm>
#include <cwchar>

namespace utf8api {

namespace {

int columns_of(char32_t code_point) {
    if (code_point < 0x20)
        return 1;
    const int width = wcwidth(static_cast<wchar_t>(code_point));
    return width < 0 ? 1 : width;
}

void draw_box(int row, int col, int rows, int cols) {
    if (rows < 2 || cols < 2)
        return;
    mvaddch(row, col, ACS_ULCORNER);
    mvhline(row, col + 1, ACS_HLINE, cols - 2);
    mvaddch(row, col + cols - 1, ACS_URCORNER);
    mvvline(row + 1, col, ACS_VLINE, rows - 2);
    mvvline(row + 1, col + cols - 1, ACS_VLINE, rows - 2);
    mvaddch(row + rows - 1, col, ACS_LLCORNER);
    mvhline(row + rows - 1, col + 1, ACS_HLINE, cols - 2);
    mvaddch(row + rows - 1, col + cols - 1, ACS_LRCORNER);
}

void fill_blank(int row, int col, int rows, int cols) {
    for (int r = 0; r < rows; ++r)
        mvhline(row + r, col, ' ', cols);
}

void put_text(int row, int col, int cols, const std::string& text, text_alignment alignment) {
    const std::string shown = fit_text(text, cols);
    const int used = static_cast<int>(text::count_code_points(shown, 0, shown.size()));
    int start = col;
    if (alignment == text_alignment::centre)
        start = col + std::max(0, (cols - used) / 2);
    else if (alignment == text_alignment::right)
        start = col + std::max(0, cols - used);
    mvaddstr(row, start, shown.c_str());
}

// A one-line label may run on to the interior's edge: character cells are
// coarser than the dialog font, so a label that fits there can miss here.
void draw_static(const dialog_control& control, cell_rect cell, int interior_right) {
    if (cell.rows == 1 && control.alignment == text_alignment::left)
        cell.cols = std::max(cell.cols, interior_right - cell.col);
    const auto lines = wrap_text(control.text, cell.cols);
    for (int r = 0; r < cell.rows && r < static_cast<int>(lines.size()); ++r)
        put_text(cell.row + r, cell.col, cell.cols, lines[static_cast<std::size_t>(r)],
                 control.alignment);
}

void draw_group(const dialog_control& control, const cell_rect& cell) {
    draw_box(cell.row, cell.col, std::max(cell.rows, 2), cell.cols);
    if (!control.text.empty() && cell.cols > 4)
        mvaddstr(cell.row, cell.col + 1,
                 (" " + fit_text(control.text, cell.cols - 4) + " ").c_str());
}

void draw_button(const dialog_control& control, const cell_rect& cell, bool focused) {
    const std::string label =
        control.default_button ? "<" + control.text + ">" : "[" + control.text + "]";
    attr_t attributes = focused ? A_REVERSE : A_NORMAL;
    if (control.default_button)
        attributes |= A_BOLD;
    attron(attributes);
    put_text(cell.row, cell.col, cell.cols, label, text_alignment::centre);
    attroff(attributes);
}

void draw_trackbar(const dialog_control& bar, const cell_rect& cell, bool focused) {
    if (cell.cols < 3)
        return;
    const int track = cell.cols - 2;
    mvaddch(cell.row, cell.col, '[');
    mvhline(cell.row, cell.col + 1, '-', track);
    mvaddch(cell.row, cell.col + cell.cols - 1, ']');
    const int span = std::max(1, bar.range_max - bar.range_min);
    const int offset = (bar.position - bar.range_min) * (track - 1) / span;
    attron(focused ? A_REVERSE : A_BOLD);
    mvaddch(cell.row, cell.col + 1 + std::clamp(offset, 0, track - 1), '#');
    attroff(focused ? A_REVERSE : A_BOLD);
}

// Draws an edit box and answers where its caret stands.
std::pair<int, int> draw_edit(const dialog_control& edit, const cell_rect& cell, edit_view& view) {
    const bool boxed = edit.multi_line && cell.rows >= 3 && cell.cols >= 3;
    const int text_row = boxed ? cell.row + 1 : cell.row;
    const int text_col = boxed ? cell.col + 1 : cell.col;
    const int rows = boxed ? cell.rows - 2 : 1;
    const int cols = boxed ? cell.cols - 2 : cell.cols;
    if (boxed)
        draw_box(cell.row, cell.col, cell.rows, cell.cols);

    view.cursor = text::clamp_to_boundary(edit.text, view.cursor);
    const auto lines = text::split_lines(edit.text);
    const text::line_position caret = text::position_of(edit.text, view.cursor);
    // Scroll so that the caret stays in view.
    if (caret.line < view.top_line)
        view.top_line = caret.line;
    if (caret.line >= view.top_line + static_cast<std::size_t>(rows))
        view.top_line = caret.line - static_cast<std::size_t>(rows) + 1;
    if (caret.column < view.left_column)
        view.left_column = caret.column;
    if (caret.column >= view.left_column + static_cast<std::size_t>(cols))
        view.left_column = caret.column - static_cast<std::size_t>(cols) + 1;

    for (int r = 0; r < rows; ++r) {
        const std::size_t line = view.top_line + static_cast<std::size_t>(r);
        if (!boxed)
            mvhline(text_row, text_col, '_', cols);
        if (line >= lines.size())
            continue;
        const std::string_view whole(edit.text);
        const std::size_t begin = text::offset_of(whole, {line, view.left_column});
        const std::string visible(whole.substr(begin, lines[line].end - begin));
        mvaddstr(text_row + r, text_col, fit_text(visible, cols).c_str());
    }
    return {text_row + static_cast<int>(caret.line - view.top_line),
            text_col + static_cast<int>(caret.column - view.left_column)};
}

std::string help_for(const dialog_control* focused) {
    if (!focused)
        return "Enter: OK  Esc: cancel";
    switch (focused->kind) {
    case control_kind::trackbar:
        return "Left/Right: move  Tab: next  Enter: OK  Esc: cancel";
    case control_kind::edit_box:
        return "Type to edit  Tab: next  Esc: cancel";
    default:
        return "Enter: press  Tab: next  Esc: cancel";
    }
}

} // namespace

std::string fit_text(const std::string& text, int cols) {
    std::string out;
    int used = 0;
    std::size_t offset = 0;
    while (offset < text.size()) {
        const std::size_t start = offset;
        const char32_t code_point = text::decode_next(text, offset);
        const int width = columns_of(code_point);
        if (used + width > cols)
            break;
        used += width;
        if (code_point < 0x20 || (code_point >= 0xDC80 && code_point <= 0xDCFF))
            out += ' ';
        else
            out.append(text, start, offset - start);
    }
    return out;
}

std::vector<std::string> wrap_text(const std::string& text, int width) {
    std::vector<std::string> out;
    width = std::max(width, 1);
    for (const text::line_span& span : text::split_lines(text)) {
        std::string rest = text.substr(span.begin, span.end - span.begin);
        do {
            std::string piece = fit_text(rest, width);
            if (piece.size() < rest.size()) {
                const std::size_t space = piece.rfind(' ');
                if (space != std::string::npos && space > 0)
                    piece.resize(space + 1);
            }
            rest.erase(0, std::max<std::size_t>(piece.size(), 1));
            while (!piece.empty() && piece.back() == ' ')
                piece.pop_back();
            out.push_back(piece);
        } while (!rest.empty());
    }
    return out;
}

void draw_dialog(const dialog_session& session, edit_views& views) {
    erase();
    const dialog_layout layout(session.width(), session.height(), LINES, COLS);
    if (!layout.fits()) {
        mvaddstr(0, 0, fit_text("Please enlarge the terminal (Esc cancels).", COLS).c_str());
        curs_set(0);
        return;
    }
    const cell_rect& frame = layout.frame();
    draw_box(frame.row, frame.col, frame.rows, frame.cols);
    if (!session.title().empty())
        put_text(frame.row, frame.col + 1, frame.cols - 2, " " + session.title() + " ",
                 text_alignment::centre);

    const dialog_control* focused = session.focused();
    std::pair<int, int> caret{-1, -1};
    // Group boxes first, so the controls inside them are drawn over them.
    for (const dialog_control& control : session.controls())
        if (control.kind == control_kind::group_box)
            draw_group(control, layout.place(control.x, control.y, control.cx, control.cy));
    for (const dialog_control& control : session.controls()) {
        const cell_rect cell = layout.place(control.x, control.y, control.cx, control.cy);
        const bool has_focus = &control == focused;
        switch (control.kind) {
        case control_kind::static_text:
        case control_kind::other:
            draw_static(control, cell, frame.col + frame.cols - 1);
            break;
        case control_kind::push_button:
            draw_button(control, cell, has_focus);
            break;
        case control_kind::trackbar:
            draw_trackbar(control, cell, has_focus);
            break;
        case control_kind::edit_box: {
            const auto where = draw_edit(control, cell, views[&control]);
            if (has_focus)
                caret = where;
            break;
        }
        case control_kind::group_box:
            break;
        }
    }
    attron(A_DIM);
    put_text(layout.help_row(), frame.col + 1, frame.cols - 2, help_for(focused),
             text_alignment::centre);
    attroff(A_DIM);
    if (caret.first >= 0) {
        curs_set(1);
        ::move(caret.first, caret.second);
    } else {
        curs_set(0);
    }
}

cell_rect draw_popup(const popup& box) {
    int width = box.width;
    for (const std::string& line : box.lines)
        width = std::max(width, static_cast<int>(text::count_code_points(line, 0, line.size())));
    width = std::max(
        {width, static_cast<int>(box.caption.size()) + 4, static_cast<int>(box.button.size()) + 2});
    width = std::min(width, std::max(1, COLS - 4));
    const int rows = static_cast<int>(box.lines.size()) + (box.button.empty() ? 0 : 2);
    const int height = std::min(rows + 2, std::max(3, LINES));
    const int top = std::max(0, (LINES - height) / 2);
    const int left = std::max(0, (COLS - width - 4) / 2);
    fill_blank(top, left, height, width + 4);
    draw_box(top, left, height, width + 4);
    if (!box.caption.empty())
        put_text(top, left + 1, width + 2, " " + box.caption + " ", text_alignment::centre);
    for (std::size_t i = 0; i < box.lines.size() && static_cast<int>(i) < height - 2; ++i)
        mvaddstr(top + 1 + static_cast<int>(i), left + 2, fit_text(box.lines[i], width).c_str());
    if (!box.button.empty()) {
        attron(A_REVERSE);
        put_text(top + height - 2, left + 2, width, box.button, text_alignment::centre);
        attroff(A_REVERSE);
    }
    return {top + 1, left + 2, height - 2, width};
}

} // namespace utf8api
