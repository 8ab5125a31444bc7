#include "utf8api/terminal_face.h"

#include "platform/unicode.h"

#include "utf8api/curses.h"
#include "utf8api/dialog_session.h"
#include "utf8api/terminal_drawing.h"
#include "utf8api/terminal_screen.h"
#include "utf8api/utf8_text.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace utf8api {

namespace {

constexpr wint_t kEscape = 27;
constexpr wint_t kCtrlC = 3;

struct key {
    bool function = false; // a KEY_* code rather than a character
    wint_t code = 0;
};

key read_key() {
    wint_t code = 0;
    const int kind = get_wch(&code);
    if (kind == ERR)
        return {true, static_cast<wint_t>(ERR)};
    return {kind == KEY_CODE_YES, code};
}

bool is_enter(const key& k) {
    return (k.function && k.code == KEY_ENTER) ||
           (!k.function && (k.code == '\r' || k.code == '\n'));
}
bool is_backspace(const key& k) {
    return (k.function && k.code == KEY_BACKSPACE) ||
           (!k.function && (k.code == 127 || k.code == 8));
}
bool is_cancel(const key& k) {
    return !k.function && (k.code == kEscape || k.code == kCtrlC);
}
bool is_printable(const key& k) {
    return !k.function && k.code >= 0x20 && k.code != 127;
}

WORD default_button_of(const dialog_session& session) {
    for (const dialog_control& control : session.controls())
        if (control.kind == control_kind::push_button && control.default_button)
            return control.id;
    return IDOK;
}

// One dialog being shown (dialogs can open dialogs).
struct shown_dialog {
    dialog_session* session;
    edit_views views;
};

void handle_trackbar_key(dialog_session& session, const dialog_control& bar, const key& k) {
    if (!k.function)
        return;
    const int page = std::max(1, (bar.range_max - bar.range_min) / 5);
    switch (k.code) {
    case KEY_LEFT:
    case KEY_UP:
        session.move_trackbar(bar.id, bar.position - 1, tb_line_up);
        break;
    case KEY_RIGHT:
    case KEY_DOWN:
        session.move_trackbar(bar.id, bar.position + 1, tb_line_down);
        break;
    case KEY_PPAGE:
        session.move_trackbar(bar.id, bar.position - page, 2);
        break;
    case KEY_NPAGE:
        session.move_trackbar(bar.id, bar.position + page, 3);
        break;
    case KEY_HOME:
        session.move_trackbar(bar.id, bar.range_min, tb_top);
        break;
    case KEY_END:
        session.move_trackbar(bar.id, bar.range_max, tb_bottom);
        break;
    default:
        break;
    }
}

// Edits like a text box: each change of the text is one EN_CHANGE.
void handle_edit_key(dialog_session& session, const dialog_control& edit, edit_view& view,
                     const key& k) {
    const std::string& text = edit.text;
    view.cursor = text::clamp_to_boundary(text, view.cursor);
    std::string changed = text;
    std::size_t cursor = view.cursor;
    bool edited = false;
    if (is_enter(k)) {
        if (!edit.multi_line) {
            session.click_button(default_button_of(session));
            return;
        }
        const std::string_view line_break = text::line_break_of(text);
        changed.insert(cursor, line_break);
        cursor += line_break.size();
        edited = true;
    } else if (is_backspace(k)) {
        const std::size_t previous = text::previous_boundary(text, cursor);
        changed.erase(previous, cursor - previous);
        edited = previous != cursor;
        cursor = previous;
    } else if (k.function && k.code == KEY_DC) {
        const std::size_t next = text::next_boundary(text, cursor);
        changed.erase(cursor, next - cursor);
        edited = next != cursor;
    } else if (is_printable(k)) {
        std::string typed;
        unicode::AppendUtf8(typed, static_cast<char32_t>(k.code));
        changed.insert(cursor, typed);
        cursor += typed.size();
        edited = true;
    } else if (k.function) {
        text::line_position at = text::position_of(text, cursor);
        switch (k.code) {
        case KEY_LEFT:
            cursor = text::previous_boundary(text, cursor);
            break;
        case KEY_RIGHT:
            cursor = text::next_boundary(text, cursor);
            break;
        case KEY_UP:
            if (at.line > 0)
                cursor = text::offset_of(text, {at.line - 1, at.column});
            break;
        case KEY_DOWN:
            cursor = text::offset_of(text, {at.line + 1, at.column});
            break;
        case KEY_HOME:
            cursor = text::offset_of(text, {at.line, 0});
            break;
        case KEY_END:
            cursor = text::offset_of(text, {at.line, static_cast<std::size_t>(-1)});
            break;
        default:
            break;
        }
    }
    if (edited && !edit.read_only) {
        // The procedure may change the text while handling EN_CHANGE; the
        // caret is clamped to whatever the text is afterwards.
        view.cursor = cursor;
        session.type_text(edit.id, changed);
    } else if (!edited) {
        view.cursor = cursor;
    }
}

void handle_key(shown_dialog& shown, const key& k) {
    dialog_session& session = *shown.session;
    if (is_cancel(k)) {
        session.click_button(IDCANCEL);
        return;
    }
    if (!k.function && k.code == '\t') {
        session.focus_next(false);
        return;
    }
    if (k.function && k.code == KEY_BTAB) {
        session.focus_next(true);
        return;
    }
    const dialog_control* focused = session.focused();
    if (!focused) {
        if (is_enter(k))
            session.click_button(default_button_of(session));
        return;
    }
    switch (focused->kind) {
    case control_kind::trackbar:
        if (is_enter(k))
            session.click_button(default_button_of(session));
        else
            handle_trackbar_key(session, *focused, k);
        break;
    case control_kind::edit_box:
        handle_edit_key(session, *focused, shown.views[focused], k);
        break;
    case control_kind::push_button:
        if (is_enter(k) || (!k.function && k.code == ' '))
            session.click_button(focused->id);
        else if (k.function && (k.code == KEY_LEFT || k.code == KEY_UP))
            session.focus_next(true);
        else if (k.function && (k.code == KEY_RIGHT || k.code == KEY_DOWN))
            session.focus_next(false);
        break;
    default:
        break;
    }
}

std::string expand_home(const std::string& path) {
    const char* home = std::getenv("HOME");
    if (home && (path == "~" || path.rfind("~/", 0) == 0))
        return home + path.substr(1);
    return path;
}

// Turns what was typed into the path to answer, or an error to show.
std::optional<std::string> resolve_path(const std::string& typed, const file_request& request,
                                        std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::path path = fs::absolute(expand_home(typed), ignored);
    if (path.empty()) {
        error = "Not a valid path.";
        return std::nullopt;
    }
    const bool has_extension = path.has_extension();
    const std::string extension = request.default_extension;
    if (request.save) {
        if (!has_extension && !extension.empty())
            path += "." + extension;
        return path.string();
    }
    if (fs::is_regular_file(path, ignored))
        return path.string();
    if (!has_extension && !extension.empty() &&
        fs::is_regular_file(fs::path(path.string() + "." + extension), ignored))
        return path.string() + "." + extension;
    error = "File not found.";
    return std::nullopt;
}

std::string filter_hint(const file_request& request) {
    if (request.filter_index >= 1 && request.filter_index <= request.filters.size())
        return request.filters[request.filter_index - 1].description;
    if (!request.filters.empty())
        return request.filters.front().description;
    return {};
}

} // namespace

struct terminal_face::state {
    std::unique_ptr<terminal_screen> screen;
    std::vector<shown_dialog*> shown; // innermost last

    void redraw_dialogs() {
        if (!shown.empty())
            draw_dialog(*shown.back()->session, shown.back()->views);
    }
};

terminal_face::terminal_face() : state_(std::make_unique<state>()) {}
terminal_face::~terminal_face() = default;

void terminal_face::run(dialog_session& session) {
    const bool outermost = !state_->screen;
    if (outermost) {
        state_->screen = terminal_screen::open();
        if (!state_->screen) {
            std::fprintf(stderr, "The dialog \"%s\" needs a terminal; it was cancelled.\n",
                         session.title().c_str());
            return;
        }
    }
    shown_dialog shown{&session, {}};
    state_->shown.push_back(&shown);
    while (!session.ended()) {
        draw_dialog(session, shown.views);
        refresh();
        const key k = read_key();
        if (k.function && k.code == static_cast<wint_t>(ERR))
            break; // the terminal went away: give the dialog up
        if (k.function && k.code == KEY_RESIZE)
            continue;
        handle_key(shown, k);
    }
    state_->shown.pop_back();
    if (outermost)
        state_->screen.reset();
}

int terminal_face::message_box(dialog_session*, const char* text, const char* caption, UINT) {
    // A null caption shows the system's usual "Error".
    const std::string title = caption ? caption : "Error";
    if (!state_->screen) {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text ? text : "");
        return IDOK;
    }
    popup box;
    box.caption = title;
    box.button = "[ OK ]";
    box.width = std::min(60, std::max(20, COLS - 8));
    box.lines = wrap_text(text ? text : "", box.width);
    box.width = 0;
    while (true) {
        state_->redraw_dialogs();
        curs_set(0);
        draw_popup(box);
        refresh();
        const key k = read_key();
        if (k.function && k.code == static_cast<wint_t>(ERR))
            return IDOK;
        if (is_enter(k) || is_cancel(k) ||
            (!k.function && (k.code == ' ' || k.code == 'o' || k.code == 'O')))
            return IDOK;
    }
}

std::optional<std::string> terminal_face::choose_file(dialog_session*,
                                                      const file_request& request) {
    const std::string title =
        request.title.empty() ? (request.save ? "Save As" : "Open") : request.title;
    std::string typed = request.initial_directory;
    if (!typed.empty() && typed.back() != '/')
        typed += '/';

    if (!state_->screen) {
        // No dialog on screen: ask on the terminal as a plain prompt.
        std::ifstream input("/dev/tty");
        std::ofstream output("/dev/tty");
        if (!input || !output)
            return std::nullopt;
        output << title << " (" << filter_hint(request) << ")\nPath: " << std::flush;
        std::string line;
        if (!std::getline(input, line) || line.empty())
            return std::nullopt;
        std::string error;
        auto path = resolve_path(line, request, error);
        if (!path)
            output << error << "\n";
        return path;
    }

    std::string error;
    std::size_t cursor = typed.size();
    while (true) {
        state_->redraw_dialogs();
        popup box;
        box.caption = title;
        box.width = std::min(70, std::max(20, COLS - 8));
        box.lines = {filter_hint(request), "Path:", "",
                     error.empty() ? "Enter: open  Esc: cancel" : error};
        const cell_rect inside = draw_popup(box);
        // The input line, scrolled so that the caret shows.
        const std::size_t caret_column = text::count_code_points(typed, 0, cursor);
        const std::size_t width = static_cast<std::size_t>(std::max(1, inside.cols - 1));
        const std::size_t first = caret_column >= width ? caret_column - width + 1 : 0;
        const std::size_t from = text::offset_of(typed, {0, first});
        attron(A_UNDERLINE);
        mvhline(inside.row + 2, inside.col, ' ', inside.cols);
        mvaddstr(inside.row + 2, inside.col, fit_text(typed.substr(from), inside.cols).c_str());
        attroff(A_UNDERLINE);
        curs_set(1);
        ::move(inside.row + 2, inside.col + static_cast<int>(caret_column - first));
        refresh();

        const key k = read_key();
        if (k.function && k.code == static_cast<wint_t>(ERR))
            return std::nullopt;
        if (is_cancel(k))
            return std::nullopt;
        if (is_enter(k)) {
            if (typed.empty())
                return std::nullopt;
            auto path = resolve_path(typed, request, error);
            if (path)
                return path;
            continue;
        }
        error.clear();
        if (is_backspace(k)) {
            const std::size_t previous = text::previous_boundary(typed, cursor);
            typed.erase(previous, cursor - previous);
            cursor = previous;
        } else if (k.function && k.code == KEY_DC) {
            typed.erase(cursor, text::next_boundary(typed, cursor) - cursor);
        } else if (k.function && k.code == KEY_LEFT) {
            cursor = text::previous_boundary(typed, cursor);
        } else if (k.function && k.code == KEY_RIGHT) {
            cursor = text::next_boundary(typed, cursor);
        } else if (k.function && k.code == KEY_HOME) {
            cursor = 0;
        } else if (k.function && k.code == KEY_END) {
            cursor = typed.size();
        } else if (is_printable(k) && k.code != '\t') {
            std::string character;
            unicode::AppendUtf8(character, static_cast<char32_t>(k.code));
            typed.insert(cursor, character);
            cursor += character.size();
        }
    }
}

} // namespace utf8api
