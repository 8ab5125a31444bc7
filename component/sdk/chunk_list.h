// An ordered list of audio chunks, and its in-memory implementation that
// keeps removed chunks in a pool so steady streaming reuses their blocks.
#pragma once

#include "sdk/bit_array.h"
#include "sdk/ptr_list.h"
#include "sdk/sample_chunk_i.h"
#include "vantrel/sample_chunk.h"

#include <cstdint>

class chunk_list {
public:
    // Slots 0 to 4.
    virtual std::uint32_t chunk_count() const = 0;
    // Null when index is not below the count.
    virtual sample_chunk* chunk_at(std::uint32_t index) const = 0;
    virtual void remove_chunk_at(std::uint32_t index) = 0;
    virtual void remove_chunks_where(const bit_array& mask) = 0;
    // A chunk to fill, placed at index (clamped to the count); null when
    // memory ran out (the list is then unchanged).
    virtual sample_chunk* insert_chunk(std::uint32_t index, std::uint32_t capacity_hint) = 0;

    sample_chunk* add_chunk(std::uint32_t capacity_hint = 0) {
        return insert_chunk(chunk_count(), capacity_hint);
    }
    // Removes every chunk that is_valid() rejects and reports it on the
    // console once; answers how many were removed.
    std::uint32_t remove_bad_chunks();

protected:
    chunk_list() = default;
    chunk_list(const chunk_list&) = default;
    chunk_list& operator=(const chunk_list&) = default;
    ~chunk_list() = default;
};

class chunk_list_i final : public chunk_list {
public:
    chunk_list_i() = default;
    chunk_list_i(const chunk_list_i&) = delete;
    chunk_list_i& operator=(const chunk_list_i&) = delete;
    ~chunk_list_i();

    std::uint32_t chunk_count() const override;
    sample_chunk* chunk_at(std::uint32_t index) const override;
    void remove_chunk_at(std::uint32_t index) override;
    void remove_chunks_where(const bit_array& mask) override;
    sample_chunk* insert_chunk(std::uint32_t index, std::uint32_t capacity_hint) override;

    // Chunks kept for reuse, for inspection.
    std::uint32_t pooled_count() const;
    const sample_chunk_i* pooled_at(std::uint32_t index) const;

private:
    // Into the pool, or destroyed when the pool cannot grow.
    void retire(sample_chunk_i* chunk);
    // Index of the pooled chunk to reuse for `capacity_hint`.
    std::uint32_t pick_pooled(std::uint32_t capacity_hint) const;

    ptr_list_t<sample_chunk_i> live_;
    ptr_list_t<sample_chunk_i> pool_;
};
