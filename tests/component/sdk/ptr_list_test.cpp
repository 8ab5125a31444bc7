#include "failing_heap.h"
#include "sdk/bit_array.h"
#include "sdk/ptr_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct counted {
    static inline int alive = 0;
    int value;
    explicit counted(int v) : value(v) { ++alive; }
    ~counted() { --alive; }
};

std::vector<int> values(const ptr_list_t<counted>& list) {
    std::vector<int> out;
    for (std::int32_t i = 0; i < list.item_count(); ++i) {
        out.push_back(list[i]->value);
    }
    return out;
}

class PtrList : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 5; ++i) {
            list.add(new counted(i));
        }
    }
    void TearDown() override {
        list.delete_all();
        EXPECT_EQ(counted::alive, 0);
    }
    ptr_list_t<counted> list;
};

TEST_F(PtrList, InsertRemoveKeepOrder) {
    counted* extra = new counted(9);
    EXPECT_EQ(list.insert(extra, 2), 2);
    EXPECT_EQ(values(list), (std::vector<int>{0, 1, 9, 2, 3, 4}));
    counted* removed = list.take_at(0);
    EXPECT_EQ(removed->value, 0);
    EXPECT_EQ(values(list), (std::vector<int>{1, 9, 2, 3, 4}));
    EXPECT_EQ(counted::alive, 6); // the removed item is the caller's now
    delete removed;
}

TEST_F(PtrList, ItemWidthIsThePointerWidth) {
    EXPECT_EQ(list.block().size, 5 * sizeof(void*));
    EXPECT_EQ(list.block().capacity, 8 * sizeof(void*));
    EXPECT_EQ(list.block().mode, mem_block::mode_pow2);
}

TEST_F(PtrList, InsertPastTheEndAppends) {
    counted* extra = new counted(7);
    EXPECT_EQ(list.insert(extra, 99), 5);
    EXPECT_EQ(values(list), (std::vector<int>{0, 1, 2, 3, 4, 7}));
}

TEST_F(PtrList, KeepWhereAllAndNone) {
    list.keep_where(bit_array_true());
    EXPECT_EQ(list.item_count(), 5);
    std::vector<counted*> items;
    for (std::int32_t i = 0; i < 5; ++i) {
        items.push_back(list[i]);
    }
    list.keep_where(bit_array_not(bit_array_true()));
    EXPECT_EQ(list.item_count(), 0);
    EXPECT_EQ(list.block().data, nullptr);
    for (counted* item : items) {
        delete item;
    }
}

TEST_F(PtrList, KeepWhereKeepsTheMarkedInOrder) {
    std::vector<counted*> dropped = {list[0], list[2], list[3]};
    list.keep_where(bit_array_table{false, true, false, false, true});
    EXPECT_EQ(values(list), (std::vector<int>{1, 4}));
    for (counted* item : dropped) {
        delete item;
    }
}

TEST_F(PtrList, KeepWhereWithANegatedMask) {
    counted* gone = list[3];
    list.keep_where(bit_array_not(bit_array_one(3)));
    EXPECT_EQ(values(list), (std::vector<int>{0, 1, 2, 4}));
    delete gone;
}

TEST_F(PtrList, DeleteAllDestroysEveryItemAndFreesTheBlock) {
    list.add(nullptr);
    list.delete_all();
    EXPECT_EQ(counted::alive, 0);
    EXPECT_EQ(list.item_count(), 0);
    EXPECT_EQ(list.block().data, nullptr);
}

TEST_F(PtrList, RefusedGrowthChangesNothing) {
    list.add(new counted(5));
    list.add(new counted(6));
    list.add(new counted(7)); // 8 items fill the block
    failing_heap refuse;
    counted extra(8);
    EXPECT_EQ(list.add(&extra), -1);
    EXPECT_EQ(list.insert(&extra, 0), -1);
    EXPECT_EQ(values(list), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    // Removal shrinks, and a refused shrink still removes.
    delete list.take_at(7);
    EXPECT_EQ(list.item_count(), 7);
}

TEST(BitArray, FindBitOverRanges) {
    const bit_array_true all;
    EXPECT_EQ(all.find_bit(true, 4, 10), 4u);
    EXPECT_EQ(all.find_bit(false, 4, 10), 14u);
    const bit_array_not none(all);
    EXPECT_EQ(none.find_bit(false, 2, 3), 2u);
    EXPECT_EQ(none.find_bit(true, 2, 3), 5u);
    EXPECT_FALSE(none.bit_at(0));
    const bit_array_table table{false, false, true, false};
    EXPECT_EQ(table.find_bit(true, 0, 4), 2u);
    EXPECT_EQ(table.find_bit(true, 3, 1), 4u);
    EXPECT_EQ(table.find_bit(false, 2, 2), 3u);
    EXPECT_EQ(bit_array_not(table).find_bit(false, 0, 4), 2u);
}

} // namespace
