// A plain file_info for tests: what a component's own record does, kept in
// vectors, reached only through the virtual operations.
#pragma once

#include <string>
#include <strings.h>
#include <utility>
#include <vector>

#include "vantrel/file_info.h"
#include "vantrel/location_record.h"

namespace vantrel::testing {

class test_file_info final : public file_info {
public:
    using Entries = std::vector<std::pair<std::string, std::string>>;
    Entries meta, info;
    location_record where;
    double length = 0.0;

    void copy_all_from(const file_info& other) override {
        meta.clear();
        info.clear();
        assign_location(other.location());
        length = other.length_seconds();
        for (std::int32_t i = 0; i < other.meta_count(); ++i)
            meta.emplace_back(other.meta_name_at(i), other.meta_value_at(i));
        for (std::int32_t i = 0; i < other.info_count(); ++i)
            info_put(other.info_name_at(i), other.info_value_at(i));
    }
    std::int32_t meta_count() const override { return static_cast<std::int32_t>(meta.size()); }
    const char* meta_name_at(std::int32_t i) const override { return meta[at(i)].first.c_str(); }
    const char* meta_value_at(std::int32_t i) const override { return meta[at(i)].second.c_str(); }
    const char* meta_replace_value_at(std::int32_t i, const char* value) override {
        meta[at(i)].second = value;
        return meta[at(i)].second.c_str();
    }
    void meta_insert_at(std::int32_t i, const char* name, const char* value) override {
        meta.insert(meta.begin() + i, {name, value});
    }
    std::int32_t meta_append(const char* name, const char* value) override {
        meta.emplace_back(name, value);
        return meta_count() - 1;
    }
    void meta_erase_at(std::int32_t i) override { meta.erase(meta.begin() + i); }
    void meta_erase_all() override { meta.clear(); }
    std::int32_t meta_find_nth(const char* name, std::int32_t n) const override {
        for (std::size_t i = 0; i < meta.size(); ++i)
            if (strcasecmp(meta[i].first.c_str(), name) == 0 && n-- == 0)
                return static_cast<std::int32_t>(i);
        return -1;
    }
    std::int32_t info_put(const char* name, const char* value) override {
        std::int32_t old = info_find(name);
        if (old >= 0)
            info.erase(info.begin() + old);
        info.emplace_back(name, value);
        return info_count() - 1;
    }
    std::int32_t info_count() const override { return static_cast<std::int32_t>(info.size()); }
    const char* info_name_at(std::int32_t i) const override { return info[at(i)].first.c_str(); }
    const char* info_value_at(std::int32_t i) const override { return info[at(i)].second.c_str(); }
    void info_erase_at(std::int32_t i) override { info.erase(info.begin() + i); }
    void info_erase_all() override { info.clear(); }
    std::int32_t info_find(const char* name) const override {
        for (std::size_t i = 0; i < info.size(); ++i)
            if (strcasecmp(info[i].first.c_str(), name) == 0)
                return static_cast<std::int32_t>(i);
        return -1;
    }
    const playable_location& location() const override { return where; }
    void assign_location(const playable_location& source) override {
        where.assign_path(source.path());
        where.assign_subsong(source.subsong());
    }
    void assign_length(double seconds) override { length = seconds; }
    double length_seconds() const override { return length; }

private:
    static std::size_t at(std::int32_t i) { return static_cast<std::size_t>(i); }
};

} // namespace vantrel::testing
