// A list of pointers in a mem_block that grows and shrinks by powers of two.
// The list does not own its items; ptr_list_t::delete_all destroys them.
#pragma once

#include "sdk/bit_array.h"
#include "sdk/mem_block.h"

#include <cstdint>

class ptr_list_root {
public:
    // Slots 0 to 4.
    virtual std::int32_t item_count() const = 0;
    // No bounds check: index must be below the count.
    virtual void* item_at(std::int32_t index) const = 0;
    // Removes and answers the item; later items move down.
    virtual void* remove_at(std::int32_t index) = 0;
    // Keeps the items whose mask bit is set, in order.
    virtual void keep_where(const bit_array& mask) = 0;
    // Places `item` at index (at most the count); answers the index, or -1
    // (nothing changed) when the list cannot grow.
    virtual std::int32_t insert_at(void* item, std::int32_t index) = 0;

protected:
    ptr_list_root() = default;
    ptr_list_root(const ptr_list_root&) = default;
    ptr_list_root& operator=(const ptr_list_root&) = default;
    ~ptr_list_root() = default;
};

// Items of a trivially copyable type T stored back to back in a mem_block.
template <typename T> class mem_block_list_t {
public:
    mem_block_list_t() = default;
    mem_block_list_t(const mem_block_list_t&) = delete;
    mem_block_list_t& operator=(const mem_block_list_t&) = delete;

    std::uint32_t count() const { return block_.size / sizeof(T); }
    T* items() const { return reinterpret_cast<T*>(block_.data); }
    const mem_block& block() const { return block_; }

protected:
    // Sets the count; false (unchanged) when the block cannot grow.
    bool set_count(std::uint32_t n) {
        if (std::uint64_t{n} * sizeof(T) > 0xFFFFFFFFu) {
            return false;
        }
        return block_.resize(static_cast<std::uint32_t>(n * sizeof(T))) != nullptr || n == 0;
    }

private:
    mem_block block_{mem_block::mode_pow2};
};

class ptr_list : public mem_block_list_t<void*>, public virtual ptr_list_root {
public:
    ptr_list() = default;
    virtual ~ptr_list() = default;

    std::int32_t item_count() const override { return static_cast<std::int32_t>(count()); }
    void* item_at(std::int32_t index) const override { return items()[index]; }
    void* remove_at(std::int32_t index) override;
    void keep_where(const bit_array& mask) override;
    std::int32_t insert_at(void* item, std::int32_t index) override;
    std::int32_t append(void* item) { return insert_at(item, item_count()); }
};

// The typed form. delete_all destroys every item with `delete`.
template <typename T> class ptr_list_t : public ptr_list {
public:
    ~ptr_list_t() override = default;

    T* operator[](std::int32_t index) const { return static_cast<T*>(item_at(index)); }
    std::int32_t add(T* item) { return append(item); }
    std::int32_t insert(T* item, std::int32_t index) { return insert_at(item, index); }
    T* take_at(std::int32_t index) { return static_cast<T*>(remove_at(index)); }

    void delete_all() {
        const std::int32_t n = item_count();
        for (std::int32_t i = 0; i < n; ++i) {
            delete (*this)[i];
        }
        keep_where(bit_array_not(bit_array_true()));
    }
};
