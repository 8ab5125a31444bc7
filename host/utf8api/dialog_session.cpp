#include "utf8api/dialog_session.h"

#include "utf8api/dialog_face.h"

#include <algorithm>
#include <mutex>
#include <unordered_set>

namespace utf8api {

namespace {

// Live sessions, so that a stale or foreign handle is recognised instead of
// being dereferenced.
struct live_sessions {
    std::mutex mutex;
    std::unordered_set<const void*> sessions;
};

live_sessions& registry() {
    static live_sessions* sessions = new live_sessions;
    return *sessions;
}

WPARAM command_wparam(WORD id, WORD notification) {
    return static_cast<WPARAM>(id) | (static_cast<WPARAM>(notification) << 16);
}

} // namespace

dialog_session::dialog_session(const DialogTemplate& source, DLGPROC procedure, HWND parent,
                               std::shared_ptr<dialog_face> face)
    : template_id_(source.id), title_(source.caption ? source.caption : ""), width_(source.cx),
      height_(source.cy), procedure_(procedure), parent_(parent), face_(std::move(face)) {
    if (source.controls) {
        controls_.reserve(static_cast<std::size_t>(std::max(source.controlCount, 0)));
        for (int i = 0; i < source.controlCount; ++i)
            controls_.push_back(make_control(source.controls[i]));
    }
    focus_next();
    live_sessions& live = registry();
    std::lock_guard lock(live.mutex);
    live.sessions.insert(this);
}

dialog_session::~dialog_session() {
    live_sessions& live = registry();
    std::lock_guard lock(live.mutex);
    live.sessions.erase(this);
}

dialog_session* dialog_session::from_handle(HWND window) {
    if (!window)
        return nullptr;
    live_sessions& live = registry();
    std::lock_guard lock(live.mutex);
    if (!live.sessions.contains(window))
        return nullptr;
    return reinterpret_cast<dialog_session*>(window);
}

HWND dialog_session::handle() const {
    return reinterpret_cast<HWND>(const_cast<dialog_session*>(this));
}

int dialog_session::index_of(WORD id) const {
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (controls_[i].id == id)
            return static_cast<int>(i);
    return -1;
}

const dialog_control* dialog_session::control(WORD id) const {
    const int index = index_of(id);
    return index < 0 ? nullptr : &controls_[static_cast<std::size_t>(index)];
}

dialog_control* dialog_session::control(WORD id) {
    const int index = index_of(id);
    return index < 0 ? nullptr : &controls_[static_cast<std::size_t>(index)];
}

HWND dialog_session::control_handle(WORD id) const {
    const dialog_control* found = control(id);
    return found ? reinterpret_cast<HWND>(const_cast<dialog_control*>(found)) : nullptr;
}

std::string dialog_session::text_of(WORD id) const {
    const dialog_control* found = control(id);
    return found ? found->text : std::string();
}

int dialog_session::trackbar_position(WORD id) const {
    const dialog_control* found = control(id);
    return found ? found->position : 0;
}

const dialog_control* dialog_session::focused() const {
    return focus_ < 0 ? nullptr : &controls_[static_cast<std::size_t>(focus_)];
}

bool dialog_session::set_focus(WORD id) {
    const int index = index_of(id);
    if (index < 0 || !controls_[static_cast<std::size_t>(index)].focusable())
        return false;
    focus_ = index;
    return true;
}

void dialog_session::focus_next(bool backwards) {
    const int count = static_cast<int>(controls_.size());
    for (int step = 1; step <= count; ++step) {
        const int start = focus_ < 0 ? (backwards ? 0 : -1) : focus_;
        const int candidate = ((start + (backwards ? -step : step)) % count + count) % count;
        if (controls_[static_cast<std::size_t>(candidate)].focusable()) {
            focus_ = candidate;
            return;
        }
    }
}

bool dialog_session::move_trackbar(WORD id, int position, WORD scroll_code) {
    dialog_control* bar = control(id);
    if (ended_ || !bar || bar->kind != control_kind::trackbar || !bar->enabled())
        return false;
    bar->position = std::clamp(position, bar->range_min, bar->range_max);
    const auto reported = static_cast<WORD>(static_cast<SHORT>(bar->position));
    send(WM_HSCROLL, command_wparam(scroll_code, reported),
         reinterpret_cast<LPARAM>(control_handle(id)));
    return true;
}

bool dialog_session::type_text(WORD id, std::string_view text) {
    dialog_control* edit = control(id);
    if (ended_ || !edit || edit->kind != control_kind::edit_box || !edit->enabled() ||
        edit->read_only)
        return false;
    edit->text.assign(text);
    send(WM_COMMAND, command_wparam(id, EN_CHANGE), reinterpret_cast<LPARAM>(control_handle(id)));
    return true;
}

bool dialog_session::click_button(WORD id) {
    if (ended_)
        return false;
    const dialog_control* button = control(id);
    const bool standard = id == IDOK || id == IDCANCEL;
    if (button && (button->kind != control_kind::push_button || !button->enabled()))
        return false;
    if (!button && !standard)
        return false;
    send(WM_COMMAND, command_wparam(id, BN_CLICKED),
         reinterpret_cast<LPARAM>(button ? control_handle(id) : nullptr));
    return true;
}

void dialog_session::initialise(LPARAM init_param) {
    const dialog_control* first = focused();
    const HWND focus_handle = first ? control_handle(first->id) : nullptr;
    send(WM_INITDIALOG, reinterpret_cast<WPARAM>(focus_handle), init_param);
}

INT_PTR dialog_session::send(UINT message, WPARAM wparam, LPARAM lparam) {
    return procedure_(handle(), message, wparam, lparam);
}

void dialog_session::end(INT_PTR result) {
    ended_ = true;
    result_ = result;
}

LONG_PTR dialog_session::set_user_value(LONG_PTR value) {
    const LONG_PTR previous = user_value_;
    user_value_ = value;
    return previous;
}

} // namespace utf8api
