// What the host `vantrel` offers its components: the root object `host_api`
// that hands out the host's services, the services themselves (console, PCM
// converter, file systems and their file objects) and the objects the host
// passes into a component's calls (track handles and byte sinks).
//
// Texts are NUL-terminated UTF-8. These classes are an ABI between the host
// and separately built components: the order of the virtual operations is
// fixed and must not change.
#pragma once

#include "vantrel/service.h"

#include <cstdint>

class file_info;
class sample_chunk;
class string_base;

// The host's root object.
class host_api : public service_base {
public:
    // Slot 3: the index-th service of class `guid` (from 0) with one reference
    // for the caller, or null past the last one.
    virtual service_base* get_service(const GUID& guid, std::uint32_t index) = 0;

    // The index-th service of interface `T` (which names its `class_guid`).
    template <class T> T* get_service_as(std::uint32_t index) {
        return static_cast<T*>(get_service(T::class_guid, index));
    }

protected:
    host_api() = default;
    ~host_api() = default;
};

// Lines for the user.
class console : public service_base {
public:
    // {056B51C7-E78C-4A4E-B84E-6BFF3F8AB8F2}
    static constexpr GUID class_guid = {
        0x056B51C7, 0xE78C, 0x4A4E, {0xB8, 0x4E, 0x6B, 0xFF, 0x3F, 0x8A, 0xB8, 0xF2}};

    static constexpr std::int32_t severity_information = 1;
    static constexpr std::int32_t severity_warning = 2; // something was changed or left out
    static constexpr std::int32_t severity_error = 3;

    // Slot 3: one line with its severity and the name of whoever sends it.
    virtual void print(std::int32_t severity, const char* text, const char* source) = 0;

protected:
    console() = default;
    ~console() = default;
};

// A block of converted samples. The converter owns the bytes; they stay valid
// until the converter's next call.
struct pcm_block {
    const void* data;
    std::uint32_t size; // bytes
};

// Turns a chunk of double-precision samples into integer or float PCM.
class pcm_converter : public service_base {
public:
    // {545F99D1-602D-4175-867F-F7C6AD680A81}
    static constexpr GUID class_guid = {
        0x545F99D1, 0x602D, 0x4175, {0x86, 0x7F, 0xF7, 0xC6, 0xAD, 0x68, 0x0A, 0x81}};

    // Slot 3: interleaved little-endian samples of `bits_per_sample` bits into
    // `out`; answers false (and an empty block) when it cannot convert.
    virtual bool convert(const sample_chunk& chunk, pcm_block& out, std::uint32_t bits_per_sample,
                         bool is_signed, bool is_float) = 0;

protected:
    pcm_converter() = default;
    ~pcm_converter() = default;
};

// An open file of a file system, released by its user.
class file_object : public service_base {
public:
    static constexpr std::int32_t mode_read = 1;

    // Slot 3: opens `path` in `mode`; false when it cannot.
    virtual bool open(const char* path, std::int32_t mode) = 0;
    // Slot 4: the file's size in bytes.
    virtual std::uint64_t get_size() = 0;
    // Slot 5: reads at most `count` bytes; answers the bytes read.
    virtual std::uint64_t read(void* buffer, std::uint64_t count) = 0;

protected:
    file_object() = default;
    ~file_object() = default;
};

// One file system of the host; there may be several, each owning some paths.
class file_system : public service_base {
public:
    // {2FBCE1E5-902E-49E0-B9CF-CE0FBA765348}
    static constexpr GUID class_guid = {
        0x2FBCE1E5, 0x902E, 0x49E0, {0xB9, 0xCF, 0xCE, 0x0F, 0xBA, 0x76, 0x53, 0x48}};

    // Slot 3: true with the canonical form of `path` in `out` when this file
    // system understands the path.
    virtual bool canonicalize(const char* path, string_base& out) = 0;
    // Slot 4: whether this file system is the one that serves `path`.
    virtual bool owns_path(const char* path) = 0;
    // Slot 5.
    virtual bool file_exists(const char* path) = 0;
    // Slot 6: a new, not yet opened file object (one reference), or null.
    virtual file_object* create_file(const char* path) = 0;

protected:
    file_system() = default;
    ~file_system() = default;
};

// A track of the host's library or playlist.
class track_handle {
public:
    // Slot 0: copies the track's information into `out`; `flags` is 0.
    virtual bool get_info(file_info& out, std::uint32_t flags) const = 0;

protected:
    track_handle() = default;
    track_handle(const track_handle&) = default;
    track_handle& operator=(const track_handle&) = default;
    ~track_handle() = default;
};

// Where a component writes a block of bytes (its settings, for instance).
class byte_sink {
public:
    // Slot 0: takes `count` bytes; answers false when they could not be kept.
    virtual bool write(const void* bytes, std::uint32_t count) = 0;

protected:
    byte_sink() = default;
    byte_sink(const byte_sink&) = default;
    byte_sink& operator=(const byte_sink&) = default;
    ~byte_sink() = default;
};
