#include "sdk/file_info_i.h"

#include "sdk/host_hooks.h"

#include <new>

file_info_i::entry* file_info_i::entry::create(const char* name, const char* value) {
    entry* made = new (std::nothrow) entry;
    if (made == nullptr) {
        return nullptr;
    }
    if (!made->name.set(name) || !made->value.set(value)) {
        delete made;
        return nullptr;
    }
    return made;
}

file_info_i::~file_info_i() {
    meta_.delete_all();
    info_.delete_all();
}

void file_info_i::copy_all_from(const file_info& other) {
    if (&other == this) {
        return;
    }
    meta_erase_all();
    info_erase_all();
    assign_location(other.location());
    assign_length(other.length_seconds());
    for (std::int32_t i = 0; i < other.meta_count(); ++i) {
        meta_append(other.meta_name_at(i), other.meta_value_at(i));
    }
    for (std::int32_t i = 0; i < other.info_count(); ++i) {
        info_put(other.info_name_at(i), other.info_value_at(i));
    }
}

const char* file_info_i::meta_name_at(std::int32_t index) const {
    return meta_[index]->name.get();
}

const char* file_info_i::meta_value_at(std::int32_t index) const {
    return meta_[index]->value.get();
}

const char* file_info_i::meta_replace_value_at(std::int32_t index, const char* value) {
    if (!meta_[index]->value.set_or_clear(value)) {
        return nullptr;
    }
    return meta_value_at(index);
}

void file_info_i::meta_insert_at(std::int32_t index, const char* name, const char* value) {
    entry* made = entry::create(name, value);
    if (made != nullptr && meta_.insert(made, index) < 0) {
        delete made;
    }
}

std::int32_t file_info_i::meta_append(const char* name, const char* value) {
    entry* made = entry::create(name, value);
    if (made == nullptr) {
        return -1;
    }
    const std::int32_t index = meta_.add(made);
    if (index < 0) {
        delete made;
    }
    return index;
}

void file_info_i::meta_erase_at(std::int32_t index) {
    delete meta_.take_at(index);
}

std::int32_t file_info_i::meta_find_nth(const char* name, std::int32_t n) const {
    const std::int32_t count = meta_count();
    for (std::int32_t i = 0; i < count; ++i) {
        if (sdk_host::compare_names(meta_name_at(i), name) == 0) {
            if (n == 0) {
                return i;
            }
            --n;
        }
    }
    return -1;
}

std::int32_t file_info_i::info_put(const char* name, const char* value) {
    // The new entry goes in before the old ones leave, so running out of
    // memory keeps the old entry; the name is compared through the copy
    // because `name` may be the text of an entry about to be erased.
    entry* made = entry::create(name, value);
    if (made == nullptr) {
        return -1;
    }
    std::int32_t index = info_.add(made);
    if (index < 0) {
        delete made;
        return -1;
    }
    for (std::int32_t i = index - 1; i >= 0; --i) {
        if (sdk_host::compare_names(info_name_at(i), made->name.get()) == 0) {
            info_erase_at(i);
            --index;
        }
    }
    return index;
}

const char* file_info_i::info_name_at(std::int32_t index) const {
    return info_[index]->name.get();
}

const char* file_info_i::info_value_at(std::int32_t index) const {
    return info_[index]->value.get();
}

void file_info_i::info_erase_at(std::int32_t index) {
    delete info_.take_at(index);
}

std::int32_t file_info_i::info_find(const char* name) const {
    const std::int32_t count = info_count();
    for (std::int32_t i = 0; i < count; ++i) {
        if (sdk_host::compare_names(info_name_at(i), name) == 0) {
            return i;
        }
    }
    return -1;
}

void file_info_i::assign_location(const playable_location& source) {
    location_.assign_path(source.path());
    location_.assign_subsong(source.subsong());
}
