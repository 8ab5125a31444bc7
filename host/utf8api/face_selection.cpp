#include "utf8api/dialog_face.h"
#include "utf8api/terminal_face.h"

#include <mutex>

namespace utf8api {

dialog_face::~dialog_face() = default;

namespace {

struct face_choice {
    std::mutex mutex;
    std::shared_ptr<dialog_face> selected;
};

face_choice& choice() {
    static face_choice* current = new face_choice;
    return *current;
}

} // namespace

void select_dialog_face(std::shared_ptr<dialog_face> face) {
    face_choice& current = choice();
    std::lock_guard lock(current.mutex);
    current.selected = std::move(face);
}

std::shared_ptr<dialog_face> selected_dialog_face() {
    face_choice& current = choice();
    std::lock_guard lock(current.mutex);
    if (!current.selected)
        current.selected = std::make_shared<terminal_face>();
    return current.selected;
}

} // namespace utf8api
