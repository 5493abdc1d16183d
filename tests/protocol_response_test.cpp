// Reading a response: the status line, the record count, the record walk, value elements and the
// free-text body.
#include "ltpadmin/protocol/response.h"

#include "ltpadmin/platform/codepage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class CodePage {
public:
    explicit CodePage(UINT cp) { EXPECT_TRUE(SetProcessACP(cp)); }
    ~CodePage() { SetProcessACP(1252); }
};

ULONG Len(const std::string& s) {
    return static_cast<ULONG>(s.size());
}

TEST(ParseResponse, ReadsTheCodeAfterTheFirstBlank) {
    struct Case {
        const char* what;
        std::string response;
        int ok;
        const char* error; // the error text afterwards; it held "earlier" before
    };
    const Case cases[] = {
        {"success", "LTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", 1, "earlier"},
        {"refused with a reason", "LTP/1.0 404 Not Found\r\n", 0, " Not Found"},
        {"leading zero", "LTP/1.0 0200 OK\r\n", 1, "earlier"},
        {"letters straight after the code", "LTP/1.0 200OK\r\n", 1, "earlier"},
        {"blanks and tabs before the code", "LTP/1.0  \t 200 OK\r\n", 1, "earlier"},
        {"tab as the first separator", "LTP/1.0\t200 OK\r\n", 0, "OK"},
        {"no reason", "LTP/1.0 500\r\n", 0, ""},
        {"reason ends at a lone LF", "LTP/1.0 403 Forbidden\nMore", 0, " Forbidden"},
        {"reason ends at a lone CR", "LTP/1.0 403 No\rMore", 0, " No"},
        {"reason runs to the end", "LTP/1.0 401 Who", 0, " Who"},
        {"code without digits", "LTP/1.0 abc\r\n", 0, "abc"},
        {"no blank at all", "garbage", 0, ""},
        // Codes too long for 32 bits used to wrap, 2^32 + 200 reading as success.
        {"2^32 + 200", "LTP/1.0 4294967496 Bad\r\n", 0, " Bad"},
        {"2^33 + 200 after zeros", "LTP/1.0 008589934792 Bad", 0, " Bad"},
        {"2^64 + 200", "LTP/1.0 18446744073709551816 Bad\r\n", 0, " Bad"},
        {"no bytes", "", 0, "earlier"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CString error("earlier");
        EXPECT_EQ(ltp::detail::ParseResponse(c.response.data(), Len(c.response), error), c.ok);
        EXPECT_EQ(std::string(error), c.error);
    }
}

TEST(ParseResponse, KeepsTheLastReasonUntilTheNextRefusal) {
    CString error;
    const std::string steps[] = {"LTP/1.0 404 Gone\r\n", "LTP/1.0 500 Broken\r\n",
                                 "LTP/1.0 200 OK\r\n", ""};
    const char* after[] = {" Gone", " Broken", " Broken", " Broken"};
    for (int i = 0; i < 4; ++i) {
        ltp::detail::ParseResponse(steps[i].data(), Len(steps[i]), error);
        EXPECT_EQ(std::string(error), after[i]) << i;
    }
}

TEST(GetParamCount, HalvesTheNumberOfOpeningBrackets) {
    struct Case {
        const char* what;
        UINT codePage;
        std::string response;
        UINT count;
    };
    const Case cases[] = {
        {"status only", 1252, "LTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", 0},
        {"empty", 1252, "", 0},
        {"one bracket", 1252, "<", 0},
        {"three brackets", 1252, "<a<b<c", 1},
        {"two records", 1252, "LTP/1.0 200 OK\r\n\r\n<User>a</User>\r\n<User>b</User>\r\n", 2},
        {"value element", 1252, "<ProgramID>12</ProgramID>", 1},
        {"bracket as a trail byte is no bracket", 936, "<a>\xD6<", 0},
        {"same bytes in a single-byte page", 1252, "<a>\xD6<", 1},
        {"lead byte last", 936, "<a></a>\x81", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CodePage cp(c.codePage);
        EXPECT_EQ(ltp::detail::GetParamCount(c.response.data(), Len(c.response)), c.count);
    }
}

std::vector<std::string> Walk(const std::string& response, UINT records) {
    std::vector<std::string> spans;
    ltp::detail::CRecordWalk walk(response.data(), Len(response));
    for (UINT i = 0; i < records; ++i) {
        const char* start = nullptr;
        UINT length = 99;
        walk.Next(start, length);
        EXPECT_GE(start, response.data());
        EXPECT_LE(start + length, response.data() + response.size());
        spans.emplace_back(start, length);
    }
    return spans;
}

TEST(RecordWalk, CutsEachElementUpToItsClosingTag) {
    struct Case {
        const char* what;
        std::string response;
        std::vector<std::string> spans;
    };
    const std::string head = "LTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\n";
    const Case cases[] = {
        {"two users",
         head + "<User>a|b|c</User>\r\n<User>d</User>\r\n",
         {"<User>a|b|c", "<User>d"}},
        {"mismatched closing tag",
         head + "<User>a</Group><Group>g</Group>",
         {"<User>a", "<Group>g"}},
        {"no closing tag: one byte short of the end", head + "<User>abc", {"<User>ab"}},
        {"walked past the last record", head + "<User>a</User>", {"<User>a", ""}},
        {"nothing at all", "", {"", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Walk(c.response, static_cast<UINT>(c.spans.size())), c.spans);
    }
}

TEST(RecordWalk, FeedsTheDecoders) {
    const std::string response = "LTP/1.0 200 OK\r\nContent-Length: 60\r\n\r\n"
                                 "<User>u1|a|b|c|d|e</User>\r\n<User>u2|||||z</User>\r\n";
    const UINT n = ltp::detail::GetParamCount(response.data(), Len(response));
    ASSERT_EQ(n, 2u);
    ltp::detail::CRecordWalk walk(response.data(), Len(response));
    tagUser users[2] = {};
    for (UINT i = 0; i < n; ++i) {
        const char* span;
        UINT length;
        walk.Next(span, length);
        EXPECT_EQ(ltp::detail::DecodeRecord(span, length, &users[i]), 1);
    }
    EXPECT_STREQ(users[0].UserID, "u1");
    EXPECT_STREQ(users[0].Text6, "e");
    EXPECT_STREQ(users[1].UserID, "u2");
    EXPECT_STREQ(users[1].Text5, "");
    EXPECT_STREQ(users[1].Text6, "z");
}

TEST(GetParamIDValue, CopiesTheValueWhenItFits) {
    struct Case {
        const char* what;
        std::string response;
        const char* tag;
        int found;
        std::string value; // what the zero-filled 60-byte buffer holds afterwards
    };
    const std::string head = "LTP/1.0 200 OK\r\n\r\n";
    const std::string v59(59, '7'), v60(60, '7');
    const Case cases[] = {
        {"program number", head + "<ProgramID>12</ProgramID>\r\n", "ProgramID", 1, "12"},
        {"letters folded", head + "<programid>12</programid>", "ProgramID", 1, "12"},
        {"longer name is another element", head + "<ProgramIDs>12</ProgramIDs>", "ProgramID", 0,
         ""},
        {"digit ends the name", head + "<UserRights2>5</UserRights2>", "UserRights", 1, "5"},
        {"second element", head + "<A>1</A><UserPermission>3</UserPermission>", "UserPermission", 1,
         "3"},
        {"59 bytes fit", head + "<ScheduleID>" + v59 + "</ScheduleID>", "ScheduleID", 1, v59},
        {"60 bytes do not", head + "<ScheduleID>" + v60 + "</ScheduleID>", "ScheduleID", 1, ""},
        {"empty value", head + "<GroupRights></GroupRights>", "GroupRights", 1, ""},
        {"no closing tag", head + "<UserRights>42", "UserRights", 1, "42"},
        {"absent", head, "UserRights", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        char out[61] = {}; // one guard byte beyond the 60 the callers hand in
        const int found =
            ltp::detail::GetParamIDValue(c.response.data(), Len(c.response), c.tag,
                                         static_cast<UINT>(std::strlen(c.tag)), out, 60);
        EXPECT_EQ(found, c.found);
        EXPECT_EQ(std::string(out), c.value);
        EXPECT_EQ(out[60], 0);
    }
}

TEST(FindInformationBody, PassesTheWholeHead) {
    struct Case {
        const char* what;
        std::string response;
        const char* body;
    };
    const Case cases[] = {
        {"usual head", "LTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello", "hello"},
        {"body with line ends", "LTP/1.0 200 OK\r\nContent-Length: 7\r\n\r\na\r\nb\r\n",
         "a\r\nb\r\n"},
        {"bare line feeds", "LTP/1.0 200 OK\nContent-Length: 5\n\nhello", "hello"},
        {"no header line", "LTP/1.0 200 OK\r\n\r\nhello", "hello"},
        // A second header line used to be handed out as the start of the text.
        {"two header lines", "LTP/1.0 200 OK\r\nA: 1\r\nB: 2\r\n\r\nx", "x"},
        {"no header line, body opens with a line end", "LTP/1.0 200 OK\r\n\r\n\r\nx", "\r\nx"},
        {"empty body", "LTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", ""},
        {"head cut short", "LTP/1.0 200 OK", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const char* body = ltp::detail::FindInformationBody(c.response.data(), Len(c.response));
        ASSERT_GE(body, c.response.data());
        ASSERT_LE(body, c.response.data() + c.response.size());
        EXPECT_EQ(std::string(body, c.response.data() + c.response.size()), c.body);
    }
}

} // namespace
