#include "ltpadmin/platform/platform.h"

#include <gtest/gtest.h>

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

TEST(CString, AppendsCountsAndEmpties) {
    CString s("ab");
    s += "cd";
    s += CString("e");
    EXPECT_EQ(s.GetLength(), 5);
    EXPECT_TRUE(s == "abcde");
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
        EXPECT_EQ(GetACP(), c.cp);
        EXPECT_EQ(IsDBCSLeadByte(c.byte), c.lead) << c.cp << " " << int(c.byte);
        EXPECT_EQ(IsDBCSLeadByteEx(c.cp, c.byte), c.lead);
    }
    EXPECT_FALSE(SetProcessACP(65001));
    EXPECT_EQ(GetACP(), 950u);
    SetProcessACP(1252);
}
