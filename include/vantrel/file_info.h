// Track information shared between the host and its components: where the
// track is (`playable_location`), how long it is, its metadata (names may
// repeat) and its technical information (names unique). Both interfaces have
// a fixed slot order because host objects are passed through them.
//
// Indexes are signed 32-bit. Texts are NUL-terminated UTF-8 and point into the
// object; they stay valid until their entry is changed or removed.
//
// The non-virtual helpers work through the virtual slots only, so they serve
// host objects as well; their definitions live in the component's sdk library.
#pragma once

#include <cstdint>

class playable_location {
public:
    // Slot 0: the path text; never null.
    virtual const char* path() const = 0;
    // Slot 1: stores a copy of `text` and answers the stored text, or null
    // (the old path kept) when memory runs out.
    virtual const char* assign_path(const char* text) = 0;
    // Slot 2 and 3: the sub-song index.
    virtual std::int32_t subsong() const = 0;
    virtual void assign_subsong(std::int32_t index) = 0;
    // Slot 4.
    virtual ~playable_location() = default;

protected:
    playable_location() = default;
    playable_location(const playable_location&) = default;
    playable_location& operator=(const playable_location&) = default;
};

class file_info {
public:
    // Slot 0.
    virtual ~file_info() = default;
    // Slot 1: replaces everything with a copy of `other`, order and repeated
    // names kept.
    virtual void copy_all_from(const file_info& other) = 0;

    // Slots 2 to 10: metadata.
    virtual std::int32_t meta_count() const = 0;
    virtual const char* meta_name_at(std::int32_t index) const = 0;
    virtual const char* meta_value_at(std::int32_t index) const = 0;
    // Answers the stored value, or null (entry unchanged) when memory runs out.
    virtual const char* meta_replace_value_at(std::int32_t index, const char* value) = 0;
    // `index` may equal meta_count(); nothing is inserted when memory runs out.
    virtual void meta_insert_at(std::int32_t index, const char* name, const char* value) = 0;
    // Answers the new entry's index, or -1 when memory runs out.
    virtual std::int32_t meta_append(const char* name, const char* value) = 0;
    virtual void meta_erase_at(std::int32_t index) = 0;
    virtual void meta_erase_all() = 0;
    // The n-th (from 0) entry named `name`, ignoring case; -1 when there is none.
    virtual std::int32_t meta_find_nth(const char* name, std::int32_t n) const = 0;

    // Slots 11 to 17: technical information.
    // Replaces any entry of that name; answers the new index, or -1 when
    // memory runs out (the old entry is then kept).
    virtual std::int32_t info_put(const char* name, const char* value) = 0;
    virtual std::int32_t info_count() const = 0;
    virtual const char* info_name_at(std::int32_t index) const = 0;
    virtual const char* info_value_at(std::int32_t index) const = 0;
    virtual void info_erase_at(std::int32_t index) = 0;
    virtual void info_erase_all() = 0;
    virtual std::int32_t info_find(const char* name) const = 0;

    // Slots 18 to 21: location and length.
    virtual const playable_location& location() const = 0;
    virtual void assign_location(const playable_location& source) = 0;
    virtual void assign_length(double seconds) = 0;
    virtual double length_seconds() const = 0;

    // ---- Helpers over the slots (not virtual) --------------------------------
    void reset_info();
    // Value of the n-th entry named `name`, or null.
    const char* meta_value_of(const char* name, std::int32_t n = 0) const;
    std::int32_t meta_count_of(const char* name) const;
    void meta_erase_named(const char* name);
    std::int32_t meta_set(const char* name, const char* value);
    std::int32_t meta_append_bytes(const char* name, std::uint32_t name_max, const char* value,
                                   std::uint32_t value_max);
    std::int32_t meta_append_wide(const char16_t* name, const char16_t* value);
    std::int32_t meta_set_wide(const char16_t* name, const char16_t* value);
    std::int32_t meta_append_ansi(const char* name, const char* value);
    std::int32_t meta_set_ansi(const char* name, const char* value);

    const char* info_value_of(const char* name) const;
    void info_erase_named(const char* name);
    std::int32_t info_put_int(const char* name, std::int64_t value);
    std::int64_t info_int_of(const char* name) const;
    double info_real_of(const char* name) const;

    std::int32_t put_track_gain(double gain);
    std::int32_t put_album_gain(double gain);
    std::int32_t put_track_peak(double peak);
    std::int32_t put_album_peak(double peak);

    // Samples per channel from the length and "samplerate"; 0 when unknown.
    std::int64_t length_in_samples() const;
    // "decoded_bitspersample" or else "bitspersample" when in 1..256; else 0.
    std::uint32_t bits_per_sample_hint() const;

    // Lists location, metadata and technical information on the host console.
    void dump_to_console() const;

protected:
    file_info() = default;
    file_info(const file_info&) = default;
    file_info& operator=(const file_info&) = default;
};
