#include "failing_heap.h"
#include "sdk/string8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(String8Core, FreshStringReadsEmptyWithoutAllocating) {
    string8 s;
    ASSERT_NE(s.text(), nullptr);
    EXPECT_STREQ(s.text(), "");
    EXPECT_EQ(s.byte_length(), 0u);
    EXPECT_EQ(s.block().data, nullptr);
}

TEST(String8Core, AssigningTheEmptyTextReadsBackEmpty) {
    string8 s("abc");
    s.assign_text("");
    EXPECT_STREQ(s.text(), "");
    EXPECT_EQ(s.byte_length(), 0u);
}

TEST(String8Core, NullTextCountsAsEmpty) {
    string8 s(static_cast<const char*>(nullptr));
    EXPECT_STREQ(s.text(), "");
    s.append_text(nullptr);
    EXPECT_STREQ(s.text(), "");
}

TEST(String8Core, ByteLimitsCutTheSource) {
    string8 s;
    s.assign_bytes("abcdef", 3);
    EXPECT_STREQ(s.text(), "abc");
    s.append_bytes("xyz", 0);
    EXPECT_STREQ(s.text(), "abc");
    EXPECT_EQ(s.byte_length(), 3u);
    s.append_bytes("xy\0z", 10);
    EXPECT_STREQ(s.text(), "abcxy");
}

TEST(String8Growth, OneByteAtATimeGrowsTo18Then35) {
    string8 s;
    std::string expected;
    std::vector<std::uint32_t> sizes;
    for (int i = 0; i < 40; ++i) {
        s.append_byte(static_cast<char>('a' + i % 26));
        expected += static_cast<char>('a' + i % 26);
        if (sizes.empty() || sizes.back() != s.block().size) {
            sizes.push_back(s.block().size);
        }
        ASSERT_EQ(s.text(), expected);
    }
    ASSERT_GE(sizes.size(), 2u);
    EXPECT_EQ(sizes[0], 18u);
    EXPECT_EQ(sizes[1], 35u);
    // The 18-byte buffer holds 17 bytes and the terminator; the 18th byte grows it.
    string8 t;
    for (int i = 0; i < 17; ++i) {
        t.append_byte('x');
    }
    EXPECT_EQ(t.block().size, 18u);
    t.append_byte('x');
    EXPECT_EQ(t.block().size, 35u);
}

TEST(String8Growth, CutToShrinksOnlyPastTheSlack) {
    string8 s(std::string(100, 'q').c_str());
    EXPECT_EQ(s.block().size, 117u);
    s.cut_to(100);
    EXPECT_EQ(s.block().size, 117u);
    s.cut_to(2);
    EXPECT_STREQ(s.text(), "qq");
    EXPECT_EQ(s.block().size, 3u);
    EXPECT_EQ(s.block().capacity, 3u);
}

TEST(String8Growth, SizesWithinTheWindowStay) {
    string8 s(std::string(40, 'a').c_str());
    const std::uint32_t size = s.block().size;   // 57
    s.assign_text(std::string(25, 'b').c_str()); // needs 26: 57 <= 26 + 32
    EXPECT_EQ(s.block().size, size);
    s.assign_text(std::string(20, 'b').c_str()); // needs 21: 57 > 53
    EXPECT_EQ(s.block().size, 21u);
}

TEST(String8Copy, CopiesAreDeep) {
    string8 a("first");
    string8 b(a);
    string8 c;
    c = a;
    a.assign_text("changed");
    EXPECT_STREQ(b.text(), "first");
    EXPECT_STREQ(c.text(), "first");
    EXPECT_NE(b.text(), a.text());
}

TEST(String8Copy, MoveLeavesTheSourceEmpty) {
    string8 a("moving text");
    string8 b(std::move(a));
    EXPECT_STREQ(b.text(), "moving text");
    EXPECT_STREQ(a.text(), ""); // NOLINT(bugprone-use-after-move)
    string8 c("x");
    c = std::move(b);
    EXPECT_STREQ(c.text(), "moving text");
    EXPECT_EQ(b.byte_length(), 0u); // NOLINT(bugprone-use-after-move)
}

TEST(String8Aliasing, AppendingItselfSurvivesTheBufferMoving) {
    string8 s("0123456789abcdef"); // every round outgrows and moves the buffer
    for (int i = 0; i < 6; ++i) {
        s.append_text(s.text());
    }
    EXPECT_EQ(s.byte_length(), 16u * 64u);
    EXPECT_EQ(std::string(s.text()).substr(16 * 63), "0123456789abcdef");
}

TEST(String8Aliasing, AssigningAPartOfItself) {
    string8 s(std::string(100, 'z').append("tail").c_str());
    s.assign_text(s.text() + 100); // shrinks the buffer below the source
    EXPECT_STREQ(s.text(), "tail");
    s.assign_text(s.text());
    EXPECT_STREQ(s.text(), "tail");
}

TEST(String8OutOfMemory, FailedAssignKeepsTheContent) {
    string8 s("kept");
    failing_heap refuse;
    EXPECT_EQ(s.assign_text(std::string(200, 'n').c_str()), nullptr);
    EXPECT_STREQ(s.text(), "kept");
    EXPECT_EQ(s.append_text(std::string(200, 'n').c_str()), nullptr);
    EXPECT_STREQ(s.text(), "kept");
    EXPECT_EQ(s.byte_length(), 4u);
    EXPECT_GT(failing_heap::refused(), 0);
}

TEST(String8OutOfMemory, FirstAllocationFailingLeavesAReadableEmptyString) {
    failing_heap refuse;
    string8 s("never stored");
    ASSERT_NE(s.text(), nullptr);
    EXPECT_STREQ(s.text(), "");
    EXPECT_EQ(s.byte_length(), 0u);
    EXPECT_FALSE(s.append_byte('x'));
    EXPECT_STREQ(s.text(), "");
}

TEST(String8OutOfMemory, CutStillWorksWhenTheShrinkIsRefused) {
    string8 s(std::string(100, 'c').c_str());
    failing_heap refuse;
    s.cut_to(1);
    EXPECT_STREQ(s.text(), "c");
    EXPECT_EQ(s.block().size, 2u);
}

TEST(StringBase, WorksThroughTheInterface) {
    string8 s;
    string_base& base = s;
    EXPECT_STREQ(base.assign_text("ab"), "ab");
    EXPECT_STREQ(base.append_text("cd"), "abcd");
    base.cut_to(1);
    EXPECT_EQ(base.byte_length(), 1u);
    EXPECT_FALSE(base.is_empty());
    base.clear();
    EXPECT_TRUE(base.is_empty());
}

TEST(StringPrintf, FormatsOnAGrowOnlyBuffer) {
    string_printf s("%s-%i", "n", 42);
    EXPECT_STREQ(s.text(), "n-42");
    EXPECT_EQ(s.block().mode, mem_block::mode_pow2_no_shrink);
}

} // namespace
