#include "failing_heap.h"
#include "sdk/mem_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(MemBlock, NewBlockIsAllZero) {
    mem_block block;
    EXPECT_EQ(block.data, nullptr);
    EXPECT_EQ(block.capacity, 0u);
    EXPECT_EQ(block.size, 0u);
    EXPECT_EQ(block.mode, mem_block::mode_exact);
}

struct ResizeStep {
    std::uint32_t size;
    std::uint32_t capacity; // afterwards
    bool holdsMemory;       // afterwards
};

struct GrowthCase {
    mem_block::mode_t mode;
    std::vector<ResizeStep> steps;
};

// Exact blocks hold what is asked; power-of-two blocks round up, and give
// memory back unless told never to shrink.
const GrowthCase kGrowthCases[] = {
    {mem_block::mode_exact, {{10, 10, true}, {3, 3, true}, {0, 0, false}}},
    {mem_block::mode_pow2, {{5, 8, true}, {33, 64, true}, {9, 16, true}, {0, 0, false}}},
    {mem_block::mode_pow2_no_shrink, {{100, 128, true}, {3, 128, true}, {0, 128, true}}},
};

TEST(MemBlock, EachModeSizesItsCapacity) {
    for (const GrowthCase& growth : kGrowthCases) {
        mem_block block(growth.mode);
        for (const ResizeStep& step : growth.steps) {
            SCOPED_TRACE(::testing::Message() << "mode " << growth.mode << ", size " << step.size);
            void* data = block.resize(step.size);
            EXPECT_EQ(data, block.data);
            EXPECT_EQ(block.size, step.size);
            EXPECT_EQ(block.capacity, step.capacity);
            EXPECT_EQ(block.data != nullptr, step.holdsMemory);
        }
    }
}

TEST(MemBlock, ReserveActsOnlyWithoutShrinking) {
    mem_block exact;
    EXPECT_TRUE(exact.reserve(64));
    EXPECT_EQ(exact.capacity, 0u);

    mem_block keep(mem_block::mode_pow2_no_shrink);
    keep.resize(4);
    EXPECT_TRUE(keep.reserve(100));
    EXPECT_EQ(keep.capacity, 128u);
    EXPECT_EQ(keep.size, 4u);
}

TEST(MemBlock, WriteAtGrowsAndZeroFillsForNullSource) {
    mem_block block;
    ASSERT_TRUE(block.write_at("abc", 3, 2));
    EXPECT_EQ(block.size, 5u);
    EXPECT_EQ(std::memcmp(block.data + 2, "abc", 3), 0);
    ASSERT_TRUE(block.write_at(nullptr, 2, 1));
    EXPECT_EQ(block.size, 5u);
    EXPECT_EQ(block.data[1], 0);
    EXPECT_EQ(block.data[2], 0);
    EXPECT_EQ(block.data[3], 'b');
}

TEST(MemBlockOutOfMemory, RefusedGrowthKeepsTheOldBlock) {
    mem_block block;
    block.resize(4);
    std::memcpy(block.data, "wxyz", 4);
    std::uint8_t* before = block.data;
    failing_heap refuse;
    EXPECT_EQ(block.resize(100), nullptr);
    EXPECT_EQ(block.data, before);
    EXPECT_EQ(block.size, 4u);
    EXPECT_EQ(block.capacity, 4u);
    EXPECT_EQ(std::memcmp(block.data, "wxyz", 4), 0);
    EXPECT_FALSE(block.write_at("a", 1, 50));
    EXPECT_EQ(block.size, 4u);
}

TEST(MemBlockOutOfMemory, RefusedShrinkStillSetsTheSize) {
    mem_block block;
    block.resize(64);
    failing_heap refuse;
    EXPECT_NE(block.resize(8), nullptr);
    EXPECT_EQ(block.size, 8u);
    EXPECT_EQ(block.capacity, 64u);
}

TEST(MemBlockOutOfMemory, Pow2CapacityBeyond32BitsFails) {
    mem_block block(mem_block::mode_pow2);
    block.resize(16);
    EXPECT_EQ(block.resize(0x80000001u), nullptr);
    EXPECT_EQ(block.size, 16u);
}

TEST(MemBlock, TakeStorageMovesTheBytesAndKeepsModes) {
    mem_block from(mem_block::mode_pow2);
    from.resize(5);
    std::uint8_t* bytes = from.data;
    mem_block to;
    to.resize(3);
    to.take_storage(from);
    EXPECT_EQ(to.data, bytes);
    EXPECT_EQ(to.size, 5u);
    EXPECT_EQ(to.mode, mem_block::mode_exact);
    EXPECT_EQ(from.data, nullptr);
    EXPECT_EQ(from.size, 0u);
    EXPECT_EQ(from.mode, mem_block::mode_pow2);
}

} // namespace
