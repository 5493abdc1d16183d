#include "ltpadmin/platform/platform.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

TEST(CString, FormatsLikePrintf) {
    struct Case {
        const char* what;
        CString got;
        const char* want;
    };
    CString a, b, c, d;
    a.Format("%s|%d", "x", -7);
    b.Format("%f", 1.5);
    c.Format("%.9f", -1.25);
    d.Format("%.9f", 1e10);
    const Case cases[] = {{"text and negative", a, "x|-7"},
                          {"six decimals", b, "1.500000"},
                          {"nine decimals", c, "-1.250000000"},
                          {"no exponent", d, "10000000000.000000000"}};
    for (const Case& k : cases)
        EXPECT_STREQ(static_cast<const char*>(k.got), k.want) << k.what;
}

TEST(CString, FormatsTextsLongerThanItsFirstBuffer) {
    std::string big(100000, 'q');
    CString s;
    s.Format("<%s>", big.c_str());
    ASSERT_EQ(s.GetLength(), 100002);
    EXPECT_EQ(std::string(s), "<" + big + ">");
}

// Whatever way Format takes (plain texts and numbers, a guessed length, a second pass when the
// guess was short), the text is the one printf writes.
TEST(CString, FormatsAsSnprintfOnEveryPath) {
    const std::string big(3000, 'b');
    const char unterminated[3] = {'x', 'y', 'z'}; // read only up to the precision
    auto reference = [](const char* format, auto... args) {
        const int n = std::snprintf(nullptr, 0, format, args...);
        std::string out(static_cast<size_t>(n), '\0');
        std::snprintf(&out[0], out.size() + 1, format, args...);
        return out;
    };
    struct Case {
        const char* what;
        CString got;
        std::string want;
    };
    CString s[10];
    s[0].Format("%s%%%d|%d", big.c_str(), INT_MIN, INT_MAX);
    s[1].Format("%.3s|%5s|%-4d|", unterminated, "ab", 7);
    s[2].Format("%*d|%.*s|%s", 6, 42, 2, "abcdef", big.c_str());
    s[3].Format("%ld|%lu|%lld|%x|%c|%s", LONG_MIN, ULONG_MAX, LLONG_MAX, 255u, 'q', big.c_str());
    s[4].Format("%.9f|%s", 1e300, big.c_str()); // the guess falls short: a second pass
    s[5].Format("%s|%.9f|%f", "t", -1.25, 0.5);
    s[6].Format("%s", "");
    s[7].Format("plain text, no conversion");
    s[8].Format("%zu|%hd|%s", static_cast<size_t>(123456789), static_cast<short>(-3), big.c_str());
    s[9].Format("%5.1f%%|%+d|%03d", 99.95, 5, 7);
    const Case cases[] = {
        {"plain", s[0], reference("%s%%%d|%d", big.c_str(), INT_MIN, INT_MAX)},
        {"precision, width, flags", s[1], "xyz|   ab|7   |"},
        {"star width and precision", s[2],
         reference("%*d|%.*s|%s", 6, 42, 2, "abcdef", big.c_str())},
        {"long sizes", s[3],
         reference("%ld|%lu|%lld|%x|%c|%s", LONG_MIN, ULONG_MAX, LLONG_MAX, 255u, 'q',
                   big.c_str())},
        {"short guess", s[4], reference("%.9f|%s", 1e300, big.c_str())},
        {"small with doubles", s[5], "t|-1.250000000|0.500000"},
        {"empty", s[6], ""},
        {"no conversion", s[7], "plain text, no conversion"},
        {"size modifiers", s[8],
         reference("%zu|%hd|%s", static_cast<size_t>(123456789), static_cast<short>(-3),
                   big.c_str())},
        {"flags with percent", s[9], reference("%5.1f%%|%+d|%03d", 99.95, 5, 7)},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(k.got.GetLength(), static_cast<int>(k.want.size())) << k.what;
        EXPECT_TRUE(std::string(k.got) == k.want) << k.what;
    }
}

TEST(CString, FormatsItsOwnTextIntoItself) {
    for (size_t length : {5u, 2000u}) {
        const std::string text(length, 'r');
        CString s(text.c_str());
        s.Format("%s-%s", static_cast<const char*>(s), static_cast<const char*>(s));
        EXPECT_TRUE(std::string(s) == text + "-" + text) << length;
    }
}

TEST(CString, AppendsCountsAndEmpties) {
    CString s("ab");
    s += "cd";
    s += CString("e");
    EXPECT_EQ(s.GetLength(), 5);
    EXPECT_TRUE(s == "abcde");
    // A counted append takes bytes beyond a zero and ignores what has no length.
    s.Preallocate(64);
    s.Append("f\0g", 3);
    s.Append("xyz", 0);
    s.Append(nullptr, 4);
    EXPECT_EQ(s.GetLength(), 8);
    EXPECT_EQ(std::string(s.GetString(), 8), std::string("abcdef\0g", 8));
    s = "abcde";
    EXPECT_EQ(s.Find('c'), 2);
    EXPECT_EQ(s.Find("de"), 3);
    EXPECT_EQ(s.Find('z'), -1);
    s.Empty();
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_STREQ(s, "");
}

TEST(CList, KeepsAppendOrderAndWalksByPosition) {
    CList<int*, int*> list;
    int v[4] = {1, 2, 3, 0};
    list.AddTail(&v[1]);
    list.AddTail(&v[2]);
    list.AddHead(&v[0]);
    ASSERT_EQ(list.GetCount(), 3);
    EXPECT_EQ(list.GetHead(), &v[0]);
    EXPECT_EQ(list.GetTail(), &v[2]);
    int expected = 1;
    for (POSITION pos = list.GetHeadPosition(); pos;)
        EXPECT_EQ(*list.GetNext(pos), expected++);
    EXPECT_EQ(list.RemoveHead(), &v[0]);
    EXPECT_EQ(list.GetCount(), 2);
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
}

// Nodes come from blocks: many of them, added at both ends, removed from both ends down to none
// and added again, keep their order and their values (ASan sees a node used after its block went).
TEST(CList, NodesFromBlocksKeepOrderThroughGrowthAndEmptying) {
    for (int blockSize : {1, 3, 10}) {
        CList<std::string, const std::string&> list(blockSize);
        for (int round = 0; round < 2; ++round) {
            for (int i = 0; i < 25; ++i) {
                list.AddTail("tail" + std::to_string(i));
                list.AddHead("head" + std::to_string(i));
            }
            ASSERT_EQ(list.GetCount(), 50);
            int i = 24;
            for (POSITION pos = list.GetHeadPosition(); i >= 0; --i)
                EXPECT_EQ(list.GetNext(pos), "head" + std::to_string(i)) << blockSize;
            EXPECT_EQ(list.GetTail(), "tail24");
            for (int k = 0; k < 24; ++k) {
                list.RemoveHead();
                list.RemoveTail();
            }
            list.AddTail("again");
            ASSERT_EQ(list.GetCount(), 3);
            EXPECT_EQ(list.RemoveHead(), "head0");
            EXPECT_EQ(list.RemoveHead(), "tail0");
            EXPECT_EQ(list.RemoveHead(), "again");
            EXPECT_TRUE(list.IsEmpty());
            EXPECT_EQ(list.GetHeadPosition(), nullptr);
        }
        list.AddTail("left for the destructor");
    }
}

TEST(CodePage, LeadBytesFollowTheProcessCodePage) {
    struct Case {
        UINT cp;
        BYTE byte;
        BOOL lead;
    };
    const Case cases[] = {{1252, 0x81, FALSE}, {932, 0x81, TRUE},  {932, 0x9F, TRUE},
                          {932, 0xA0, FALSE},  {932, 0xE0, TRUE},  {932, 0xFD, FALSE},
                          {936, 0x81, TRUE},   {936, 0xFE, TRUE},  {936, 0xFF, FALSE},
                          {936, 0x7C, FALSE},  {949, 0x80, FALSE}, {950, 0xA4, TRUE}};
    for (const Case& c : cases) {
        ASSERT_TRUE(SetProcessACP(c.cp));
        EXPECT_EQ(IsDBCSLeadByteEx(c.cp, c.byte), c.lead);
        // What the library reads text with.
        EXPECT_EQ(GetACPLeadByteTable()[c.byte] != 0, c.lead != FALSE)
            << c.cp << " " << int(c.byte);
        EXPECT_EQ(HasLeadBytes(GetACPLeadByteTable()) != FALSE, c.cp != 1252) << c.cp;
#if !defined(_WIN32) // the system's own where a process cannot change its code page
        EXPECT_EQ(GetACP(), c.cp);
        EXPECT_EQ(IsDBCSLeadByte(c.byte), c.lead) << c.cp << " " << int(c.byte);
#endif
    }
#if defined(_WIN32)
    EXPECT_FALSE(SetProcessACP(12345)); // no such page
#else
    EXPECT_FALSE(SetProcessACP(65001));
    EXPECT_EQ(GetACP(), 950u);
#endif
    SetProcessACP(1252);
}
