#include "ltpadmin/transport/message.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Content(const CMessage& m) {
    return std::string(m.GetData(), m.GetLength());
}

} // namespace

TEST(CMessage, NewAndEmptiedBuffersHoldNoBlock) {
    CMessage m;
    EXPECT_EQ(m.GetData(), nullptr);
    EXPECT_EQ(m.GetLength(), 0u);
    m.Empty(); // on an empty buffer: no effect
    EXPECT_EQ(m.GetData(), nullptr);
    ASSERT_EQ(m.Append("abc", 3), 1);
    m.Empty();
    EXPECT_EQ(m.GetData(), nullptr);
    EXPECT_EQ(m.GetLength(), 0u);
}

TEST(CMessage, AppendingNothingStillGivesAZeroTerminatedBlock) {
    CMessage m;
    ASSERT_EQ(m.Append("", 0), 1);
    ASSERT_NE(m.GetData(), nullptr);
    EXPECT_EQ(m.GetData()[0], '\0');
    EXPECT_EQ(m.GetLength(), 0u);
}

TEST(CMessage, AppendsKeepOrderAndAZeroByteAfterTheContent) {
    CMessage m;
    m.Append("abc", 3);
    m.Append("de", 2);
    EXPECT_EQ(m.GetLength(), 5u);
    EXPECT_STREQ(m.GetData(), "abcde");
    // A zero byte inside counts; read as a string, the content ends there.
    m.Append("\0f", 2);
    EXPECT_EQ(m.GetLength(), 7u);
    EXPECT_STREQ(m.GetData(), "abcde");
    EXPECT_EQ(m.GetData()[6], 'f');
    EXPECT_EQ(m.GetData()[7], '\0');
}

TEST(CMessage, ManySmallAppendsGrowIntactWithTheZeroByteAlwaysBehind) {
    CMessage m;
    std::string want;
    for (int i = 0; i < 5000; ++i) {
        const std::string piece(static_cast<size_t>(i % 37), static_cast<char>('a' + i % 26));
        ASSERT_EQ(m.Append(piece.data(), static_cast<ULONG>(piece.size())), 1);
        want += piece;
        ASSERT_EQ(m.GetData()[m.GetLength()], '\0');
    }
    EXPECT_EQ(Content(m), want);
}

TEST(CMessage, AppendBeyondThirtyTwoBitsFailsAndKeepsTheContent) {
    CMessage m;
    m.Append("abc", 3);
    EXPECT_EQ(m.Append("x", 0xFFFFFFFFu), 0);
    EXPECT_EQ(Content(m), "abc");
}

// Filling in place: what was not counted by Extend is not content, and the zero byte follows
// what was.
TEST(CMessage, FillsInPlaceThroughReserveAndExtend) {
    CMessage m;
    char* room = m.Reserve(1024);
    ASSERT_NE(room, nullptr);
    ASSERT_NE(m.GetData(), nullptr) << "a block, as after appending nothing";
    EXPECT_EQ(m.GetLength(), 0u);
    EXPECT_EQ(m.GetData()[0], '\0');
    std::memcpy(room, "abcdef", 6);
    m.Extend(4);
    EXPECT_EQ(Content(m), "abcd");
    EXPECT_EQ(m.GetData()[4], '\0');
    room = m.Reserve(3000); // grows: the content moves along
    ASSERT_NE(room, nullptr);
    EXPECT_EQ(Content(m), "abcd");
    std::memcpy(room, "xyz", 3);
    m.Extend(3);
    EXPECT_EQ(Content(m), "abcdxyz");
    m.Extend(0);
    EXPECT_EQ(Content(m), "abcdxyz");
    EXPECT_EQ(m.Reserve(0xFFFFFFFFu), nullptr);
    EXPECT_EQ(Content(m), "abcdxyz");
}

TEST(CMessage, CopiesAreIndependent) {
    CMessage source;
    source.Append("hello", 5);

    CMessage constructed(source);
    CMessage assigned;
    assigned.Append("old content", 11);
    assigned = source;
    ASSERT_NE(constructed.GetData(), source.GetData());
    ASSERT_NE(assigned.GetData(), source.GetData());

    source.Empty();
    EXPECT_STREQ(constructed.GetData(), "hello");
    EXPECT_STREQ(assigned.GetData(), "hello");
    constructed.Append("!", 1);
    EXPECT_STREQ(assigned.GetData(), "hello");
    EXPECT_STREQ(constructed.GetData(), "hello!");
}

TEST(CMessage, CopyOfAnEmptyBufferHoldsJustTheZeroByte) {
    CMessage empty;
    CMessage assigned;
    assigned.Append("x", 1);
    assigned = empty;
    ASSERT_NE(assigned.GetData(), nullptr);
    EXPECT_EQ(assigned.GetData()[0], '\0');
    EXPECT_EQ(assigned.GetLength(), 0u);
}

TEST(CMessage, SelfAssignmentLeavesTheContent) {
    CMessage m;
    m.Append("same", 4);
    CMessage& alias = m;
    m = alias;
    EXPECT_STREQ(m.GetData(), "same");
    EXPECT_EQ(m.GetLength(), 4u);
}
