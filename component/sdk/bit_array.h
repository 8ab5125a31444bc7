// Masks over indexes, used to pick the items a list keeps or drops.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

class bit_array {
public:
    // Slot 0.
    virtual bool bit_at(std::uint32_t index) const = 0;
    // Slot 1: the first index in [start, start + count) whose bit equals
    // `value`, or start + count when there is none.
    virtual std::uint32_t find_bit(bool value, std::uint32_t start, std::uint32_t count) const;

protected:
    bit_array() = default;
    bit_array(const bit_array&) = default;
    bit_array& operator=(const bit_array&) = default;
    ~bit_array() = default;
};

// Every bit set.
class bit_array_true final : public bit_array {
public:
    bool bit_at(std::uint32_t) const override { return true; }
    std::uint32_t find_bit(bool value, std::uint32_t start, std::uint32_t count) const override {
        return value ? start : start + count;
    }
};

// The negation of another mask, which must outlive it.
class bit_array_not final : public bit_array {
public:
    explicit bit_array_not(const bit_array& other) : other_(other) {}
    bool bit_at(std::uint32_t index) const override { return !other_.bit_at(index); }
    std::uint32_t find_bit(bool value, std::uint32_t start, std::uint32_t count) const override {
        return other_.find_bit(!value, start, count);
    }

private:
    const bit_array& other_;
};

// Only the bit at one index set.
class bit_array_one final : public bit_array {
public:
    explicit bit_array_one(std::uint32_t index) : index_(index) {}
    bool bit_at(std::uint32_t index) const override { return index == index_; }

private:
    std::uint32_t index_;
};

// Bits listed one by one; indexes past the list are clear.
class bit_array_table final : public bit_array {
public:
    bit_array_table(std::initializer_list<bool> bits) : bits_(bits) {}
    explicit bit_array_table(std::vector<bool> bits) : bits_(std::move(bits)) {}
    bool bit_at(std::uint32_t index) const override { return index < bits_.size() && bits_[index]; }

private:
    std::vector<bool> bits_;
};
