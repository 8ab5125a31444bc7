// The in-memory file_info: location, length, and two ordered lists of
// name/value entries (metadata names may repeat, technical-info names are
// unique). Names compare ignoring case; values are never compared.
#pragma once

#include "sdk/heap_object.h"
#include "sdk/heap_text.h"
#include "sdk/playable_location_i.h"
#include "sdk/ptr_list.h"
#include "vantrel/file_info.h"

class file_info_i : public file_info {
public:
    struct entry : heap_object {
        heap_text name;
        heap_text value;

        // A new entry with copies of both texts, or null when memory ran out.
        static entry* create(const char* name, const char* value);
    };

    file_info_i() = default;
    file_info_i(const file_info_i&) = delete;
    file_info_i& operator=(const file_info_i&) = delete;
    ~file_info_i() override;

    void copy_all_from(const file_info& other) override;

    std::int32_t meta_count() const override { return meta_.item_count(); }
    const char* meta_name_at(std::int32_t index) const override;
    const char* meta_value_at(std::int32_t index) const override;
    const char* meta_replace_value_at(std::int32_t index, const char* value) override;
    void meta_insert_at(std::int32_t index, const char* name, const char* value) override;
    std::int32_t meta_append(const char* name, const char* value) override;
    void meta_erase_at(std::int32_t index) override;
    void meta_erase_all() override { meta_.delete_all(); }
    std::int32_t meta_find_nth(const char* name, std::int32_t n) const override;

    std::int32_t info_put(const char* name, const char* value) override;
    std::int32_t info_count() const override { return info_.item_count(); }
    const char* info_name_at(std::int32_t index) const override;
    const char* info_value_at(std::int32_t index) const override;
    void info_erase_at(std::int32_t index) override;
    void info_erase_all() override { info_.delete_all(); }
    std::int32_t info_find(const char* name) const override;

    const playable_location& location() const override { return location_; }
    void assign_location(const playable_location& source) override;
    void assign_length(double seconds) override { length_ = seconds; }
    double length_seconds() const override { return length_; }

private:
    playable_location_i location_;
    double length_ = 0.0;
    ptr_list_t<entry> meta_;
    ptr_list_t<entry> info_;
};
