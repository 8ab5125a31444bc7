// Small stand-ins for the host's services, besides the shared ones. Each counts
// the references the code under test holds, so a test can check that every one
// was given back.
#pragma once

#include "host_service_doubles.h"
#include "vantrel/host_api.h"
#include "vantrel/string_base.h"

#include <cstring>
#include <set>
#include <string>
#include <vector>

using test_support::ConsoleDouble;
using test_support::CountedDouble;

class FileDouble : public CountedDouble<file_object> {
public:
    bool open(const char* path, std::int32_t mode) override {
        opened.push_back(path);
        lastMode = mode;
        return opens;
    }
    std::uint64_t get_size() override { return 0; }
    std::uint64_t read(void*, std::uint64_t) override { return 0; }

    bool opens = true;
    std::vector<std::string> opened;
    std::int32_t lastMode = 0;
};

// Understands paths when `canonicalPrefix` is set (their canonical form is the
// prefix followed by the path) and owns the paths that start with `ownedPrefix`.
class FileSystemDouble : public CountedDouble<file_system> {
public:
    bool canonicalize(const char* path, string_base& out) override {
        if (canonicalPrefix.empty())
            return false;
        out.assign_text((canonicalPrefix + path).c_str());
        return true;
    }
    bool owns_path(const char* path) override {
        return !ownedPrefix.empty() &&
               std::strncmp(path, ownedPrefix.c_str(), ownedPrefix.size()) == 0;
    }
    bool file_exists(const char* path) override {
        asked.push_back(path);
        return existing.count(path) != 0;
    }
    file_object* create_file(const char* path) override {
        created.push_back(path);
        if (file == nullptr)
            return nullptr;
        file->add_ref();
        return file;
    }

    std::string canonicalPrefix;
    std::string ownedPrefix;
    std::set<std::string> existing;
    FileDouble* file = nullptr;
    std::vector<std::string> asked;
    std::vector<std::string> created;
};

class HostDouble : public CountedDouble<host_api> {
public:
    service_base* get_service(const GUID& guid, std::uint32_t index) override {
        service_base* found = nullptr;
        if (guid == console::class_guid && index < consoles.size())
            found = consoles[index];
        else if (guid == file_system::class_guid && index < fileSystems.size())
            found = fileSystems[index];
        if (found != nullptr)
            found->add_ref();
        return found;
    }

    std::vector<console*> consoles;
    std::vector<file_system*> fileSystems;
};

class ByteSinkDouble : public byte_sink {
public:
    bool write(const void* bytes, std::uint32_t count) override {
        const auto* first = static_cast<const unsigned char*>(bytes);
        written.insert(written.end(), first, first + count);
        ++writes;
        return true;
    }

    std::vector<unsigned char> written;
    int writes = 0;
};
