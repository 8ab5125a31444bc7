#include "console_capture.h"
#include "failing_heap.h"
#include "sdk/chunk_list.h"
#include "sdk/host_hooks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A list whose pool holds chunks of the given capacities, in order.
void pool_with(chunk_list_i& list, std::vector<std::uint32_t> capacities) {
    for (std::uint32_t capacity : capacities) {
        list.add_chunk(0)->resize_data(capacity);
    }
    while (list.chunk_count() > 0) {
        list.remove_chunk_at(0);
    }
}

TEST(ChunkListPool, HintPicksTheClosestCapacity) {
    chunk_list_i list;
    pool_with(list, {4096, 1024, 900});
    ASSERT_EQ(list.pooled_count(), 3u);
    sample_chunk* chunk = list.insert_chunk(0, 1000);
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(chunk->data_capacity(), 1024u);
    EXPECT_EQ(list.pooled_count(), 2u);
    EXPECT_EQ(list.pooled_at(0)->data_capacity(), 4096u);
    EXPECT_EQ(list.pooled_at(1)->data_capacity(), 900u);
}

TEST(ChunkListPool, NoHintTakesTheLastPooled) {
    chunk_list_i list;
    pool_with(list, {4096, 1024, 900});
    EXPECT_EQ(list.insert_chunk(0, 0)->data_capacity(), 900u);
}

TEST(ChunkListPool, TiesGoToTheEarlierChunk) {
    chunk_list_i list;
    pool_with(list, {90, 110, 100, 100});
    const sample_chunk_i* exact = list.pooled_at(2);
    EXPECT_EQ(list.insert_chunk(0, 100), exact);
    EXPECT_EQ(list.pooled_count(), 3u);
    EXPECT_EQ(list.pooled_at(2)->data_capacity(), 100u); // the later twin stays
    chunk_list_i tie;
    pool_with(tie, {90, 110});
    EXPECT_EQ(tie.insert_chunk(0, 100)->data_capacity(), 90u);
}

TEST(ChunkListPool, ReusedChunksAreResetButKeepTheirBlock) {
    chunk_list_i list;
    sample_chunk* chunk = list.add_chunk();
    chunk->set_samples(nullptr, 10, 2, 44100);
    list.remove_chunk_at(0);
    sample_chunk* again = list.add_chunk();
    EXPECT_EQ(again, chunk);
    EXPECT_TRUE(again->is_empty());
    EXPECT_EQ(again->data_capacity(), 20u);
}

TEST(ChunkListOrder, InsertPositionsAndClamping) {
    chunk_list_i list;
    sample_chunk* a = list.insert_chunk(0, 0);
    sample_chunk* c = list.insert_chunk(5, 0); // clamped: appended
    sample_chunk* b = list.insert_chunk(1, 0);
    ASSERT_EQ(list.chunk_count(), 3u);
    EXPECT_EQ(list.chunk_at(0), a);
    EXPECT_EQ(list.chunk_at(1), b);
    EXPECT_EQ(list.chunk_at(2), c);
    EXPECT_EQ(list.chunk_at(3), nullptr);
    list.remove_chunk_at(7);
    EXPECT_EQ(list.chunk_count(), 3u);
}

TEST(ChunkListOrder, RemoveWhereKeepsTheRestInOrder) {
    chunk_list_i list;
    std::vector<sample_chunk*> chunks;
    for (int i = 0; i < 5; ++i) {
        chunks.push_back(list.add_chunk());
    }
    list.remove_chunks_where(bit_array_table{true, false, true, false, false});
    ASSERT_EQ(list.chunk_count(), 3u);
    EXPECT_EQ(list.chunk_at(0), chunks[1]);
    EXPECT_EQ(list.chunk_at(1), chunks[3]);
    EXPECT_EQ(list.chunk_at(2), chunks[4]);
    EXPECT_EQ(list.pooled_count(), 2u);
    list.remove_chunks_where(bit_array_true());
    EXPECT_EQ(list.chunk_count(), 0u);
    EXPECT_EQ(list.pooled_count(), 5u);
}

TEST(ChunkListBadChunks, InvalidChunksGoWithOneConsoleLine) {
    chunk_list_i list;
    list.add_chunk()->set_samples(nullptr, 4, 2, 44100);
    list.add_chunk()->set_samples(nullptr, 4, 0, 44100); // no channels
    list.add_chunk()->set_samples(nullptr, 4, 2, 500);   // rate too low
    list.add_chunk()->set_samples(nullptr, 8, 1, 48000);
    sample_chunk* short_block = list.add_chunk();
    short_block->set_samples(nullptr, 2, 2, 44100);
    short_block->set_sample_count(3); // claims more than it holds
    console_capture console;
    EXPECT_EQ(list.remove_bad_chunks(), 3u);
    ASSERT_EQ(list.chunk_count(), 2u);
    EXPECT_EQ(list.chunk_at(0)->channel_count(), 2u);
    EXPECT_EQ(list.chunk_at(1)->sample_rate(), 48000u);
    EXPECT_EQ(list.pooled_count(), 3u);
    EXPECT_TRUE(list.pooled_at(2)->is_empty());
    const std::vector<std::pair<int, std::string>> expected = {
        {3, "one or more bad chunks removed from dsp chunk list"}};
    EXPECT_EQ(console_capture::lines, expected);

    console_capture::lines.clear();
    EXPECT_EQ(list.remove_bad_chunks(), 0u);
    EXPECT_TRUE(console_capture::lines.empty());
}

TEST(ChunkListOutOfMemory, FailedInsertChangesNothing) {
    chunk_list_i list;
    {
        failing_heap refuse;
        EXPECT_EQ(list.add_chunk(), nullptr); // no new chunk can be made
    }
    EXPECT_EQ(list.chunk_count(), 0u);
    EXPECT_EQ(list.pooled_count(), 0u);

    // Three live chunks in a block with room for four, three in the pool.
    for (int i = 0; i < 6; ++i) {
        list.add_chunk();
    }
    list.remove_chunks_where(bit_array_table{true, true, true});
    ASSERT_EQ(list.chunk_count(), 3u);
    ASSERT_EQ(list.pooled_count(), 3u);

    failing_heap refuse;
    const sample_chunk_i* last_pooled = list.pooled_at(2);
    EXPECT_EQ(list.add_chunk(), last_pooled); // fits without allocating
    const sample_chunk_i* next = list.pooled_at(1);
    EXPECT_EQ(list.add_chunk(), nullptr); // the live list cannot grow
    EXPECT_EQ(list.chunk_count(), 4u);
    EXPECT_EQ(list.pooled_count(), 2u);
    EXPECT_EQ(list.pooled_at(1), next);
}

} // namespace
