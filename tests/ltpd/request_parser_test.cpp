#include "tools/ltpd/request_parser.h"

#include <gtest/gtest.h>

#include <random>

namespace ltpd {
namespace {

const std::string kCreds = "User-Name: admin\r\nAuthorization: basic s3cret\r\n";

std::string Bare(const std::string& line) {
    return line + kCreds + "\r\n";
}
std::string Keyed(const std::string& line, const std::string& key) {
    return line + kCreds + "\r\n" + key + "\r\n";
}
std::string Counted(const std::string& line, const std::string& body) {
    return line + kCreds + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

struct Good {
    const char* name;
    std::string bytes;
    int row;
    std::string body;
};

TEST(RequestParser, ReadsEveryShapeTheLibrarySends) {
    const Good cases[] = {
        {"bare", Bare("Get  AllUsers  LTP/1.0\r\n"), 6, ""},
        {"key", Keyed("Find  User  LTP/1.0\r\n", "<UserID>bob</UserID>"), 12,
         "<UserID>bob</UserID>"},
        {"schedule key without slash",
         Keyed("Find  Schedule  LTP/1.0\r\n", "<ScheduleID>5<ScheduleID>"), 16,
         "<ScheduleID>5<ScheduleID>"},
        {"one blank after Modify",
         Counted("Modify Schedule  LTP/1.0\r\n", "<Schedule>1|c|0|0.5|1.0|0</Schedule>\r\n"), 28,
         "<Schedule>1|c|0|0.5|1.0|0</Schedule>\r\n"},
        {"one blank after Get", Keyed("Get ProgramPath  LTP/1.0\r\n", "<ProgramID>3</ProgramID>"),
         65, "<ProgramID>3</ProgramID>"},
        {"counted record", Counted("Add  Group  LTP/1.0\r\n", "<Group>g|d</Group>\r\n"), 19,
         "<Group>g|d</Group>\r\n"},
        {"text of row 1 without line end", Counted("Add  Infomation  LTP/1.0\r\n", "hello"), 1,
         "hello"},
        {"empty text of row 1", Counted("Add  Infomation  LTP/1.0\r\n", ""), 1, ""},
        {"lone LF line ends",
         "Get  AllGroups  LTP/1.0\nUser-Name: admin\nAuthorization: basic s3cret\n\n", 7, ""},
    };
    for (const Good& c : cases) {
        SCOPED_TRACE(c.name);
        ParseResult r = ParseRequest(c.bytes);
        ASSERT_EQ(r.state, ParseState::Complete) << r.reason;
        EXPECT_EQ(r.consumed, c.bytes.size());
        ASSERT_NE(r.request.row, nullptr);
        EXPECT_EQ(r.request.row->number, c.row);
        EXPECT_EQ(r.request.body, c.body);
        EXPECT_EQ(r.request.user, "admin");
        EXPECT_EQ(r.request.password, "s3cret");
    }
}

TEST(RequestParser, EveryProperPrefixIsIncomplete) {
    const std::string requests[] = {
        Bare("Get  AllUsers  LTP/1.0\r\n"),
        Keyed("Get  UserRights  LTP/1.0\r\n", "<UserID>a</UserID><ProgramID>1</ProgramID>"),
        Counted("Add  User  LTP/1.0\r\n", "<User>a|b|c|d|e|f</User>\r\n"),
    };
    for (const std::string& req : requests) {
        const size_t headEnd = req.find("\r\n\r\n") + 4;
        for (size_t n = 0; n < req.size(); ++n) {
            const ParseResult r = ParseRequest(std::string_view(req).substr(0, n));
            ASSERT_EQ(r.state, ParseState::Incomplete) << "prefix of " << n << " bytes of " << req;
            // From the end of the head on, the credentials can be checked before the body.
            ASSERT_EQ(r.headComplete, n >= headEnd) << n << " bytes of " << req;
            if (r.headComplete) {
                EXPECT_EQ(r.request.password, "s3cret");
                EXPECT_EQ(r.needed, r.request.hasContentLength ? req.size() : 0u);
            }
        }
        EXPECT_EQ(ParseRequest(req).state, ParseState::Complete);
    }
}

TEST(RequestParser, TakesOnlyTheFirstOfPipelinedRequests) {
    std::string first = Keyed("Delete  User  LTP/1.0\r\n", "<UserID>x</UserID>");
    std::string second = Bare("Get  AllUsers  LTP/1.0\r\n");
    ParseResult r = ParseRequest(first + second);
    ASSERT_EQ(r.state, ParseState::Complete);
    EXPECT_EQ(r.consumed, first.size());
    EXPECT_EQ(r.request.row->number, 30);
    // A bare request never swallows the line after its head.
    r = ParseRequest(second + first);
    ASSERT_EQ(r.state, ParseState::Complete);
    EXPECT_EQ(r.consumed, second.size());
}

TEST(RequestParser, KeepsPasswordBytesAsSent) {
    std::string req = "Get  AllUsers  LTP/1.0\r\nUser-Name:  two\r\n"
                      "Authorization: basic  pass word \r\n\r\n";
    ParseResult r = ParseRequest(req);
    ASSERT_EQ(r.state, ParseState::Complete);
    EXPECT_EQ(r.request.user, " two");
    EXPECT_EQ(r.request.password, " pass word ");

    r = ParseRequest("Get  AllUsers  LTP/1.0\r\nUser-Name: a\r\nAuthorization: basic \r\n\r\n");
    ASSERT_EQ(r.state, ParseState::Complete);
    EXPECT_TRUE(r.request.hasPassword);
    EXPECT_EQ(r.request.password, "");

    r = ParseRequest("Get  AllUsers  LTP/1.0\r\nUser-Name: a\r\nAuthorization: digest x\r\n\r\n");
    ASSERT_EQ(r.state, ParseState::Complete);
    EXPECT_FALSE(r.request.hasPassword);
}

TEST(RequestParser, UnknownRequestWithCountedBodyKeepsTheStream) {
    ParseResult r = ParseRequest(Counted("Frobnicate  User  LTP/1.0\r\n", "<X>1</X>\r\n"));
    ASSERT_EQ(r.state, ParseState::Complete);
    EXPECT_EQ(r.request.row, nullptr);
    EXPECT_EQ(r.request.verb, "Frobnicate");
}

struct Bad {
    const char* name;
    std::string bytes;
    int status;
};

TEST(RequestParser, RefusesWhatCannotBeFollowed) {
    RequestLimits limits;
    const Bad cases[] = {
        {"two tokens", Bare("Get AllUsers\r\n"), 400},
        {"four tokens", Bare("Get  All Users  LTP/1.0\r\n"), 400},
        {"other version", Bare("Get  AllUsers  LTP/2.0\r\n"), 400},
        {"header without colon", "Get  AllUsers  LTP/1.0\r\nUser-Name admin\r\n\r\n", 400},
        {"unknown request without length", Bare("Frobnicate  User  LTP/1.0\r\n"), 400},
        {"letters in length", "Add  User  LTP/1.0\r\n" + kCreds + "Content-Length: 1x\r\n\r\n",
         400},
        {"negative length", "Add  User  LTP/1.0\r\n" + kCreds + "Content-Length: -5\r\n\r\n", 400},
        {"conflicting lengths",
         "Add  User  LTP/1.0\r\n" + kCreds + "Content-Length: 1\r\nContent-Length: 2\r\n\r\n", 400},
        {"body too large", "Add  User  LTP/1.0\r\n" + kCreds + "Content-Length: 1048577\r\n\r\n",
         413},
        {"huge length",
         "Add  User  LTP/1.0\r\n" + kCreds + "Content-Length: 99999999999999999999999\r\n\r\n",
         413},
        {"record without length", Bare("Add  User  LTP/1.0\r\n"), 411},
        {"head without end", "Get  AllUsers  LTP/1.0\r\nX: " + std::string(70000, 'a'), 400},
        {"endless header lines",
         "Get  AllUsers  LTP/1.0\r\n" +
             [] {
                 std::string s;
                 while (s.size() < 70000)
                     s += "X-Pad: aaaaaaaaaaaaaaaa\r\n";
                 return s;
             }(),
         400},
        {"endless key line",
         "Find  User  LTP/1.0\r\n" + kCreds + "\r\n<UserID>" + std::string(70000, 'u'), 400},
    };
    for (const Bad& c : cases) {
        SCOPED_TRACE(c.name);
        ParseResult r = ParseRequest(c.bytes, limits);
        ASSERT_EQ(r.state, ParseState::Failed);
        EXPECT_EQ(r.status, c.status);
        EXPECT_FALSE(r.reason.empty());
    }
}

TEST(RequestParser, ArbitraryBytesNeverBreakIt) {
    std::mt19937 rng(7);
    const std::string seed = Counted("Add  User  LTP/1.0\r\n", "<User>a|b|c|d|e|f</User>\r\n") +
                             Keyed("Find  Schedule  LTP/1.0\r\n", "<ScheduleID>1<ScheduleID>");
    for (int round = 0; round < 3000; ++round) {
        std::string s = seed;
        int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits; ++e) {
            size_t at = rng() % s.size();
            switch (rng() % 3) {
                case 0:
                    s[at] = static_cast<char>(rng());
                    break;
                case 1:
                    s.erase(at, 1 + rng() % 4);
                    break;
                default:
                    s.insert(at, 1, "\r\n :<>|"[rng() % 8]);
                    break;
            }
            if (s.empty())
                s = "x";
        }
        ParseResult r = ParseRequest(s);
        if (r.state == ParseState::Complete) {
            ASSERT_LE(r.consumed, s.size());
        }
        if (r.state == ParseState::Failed) {
            ASSERT_GE(r.status, 400);
        }
    }
}

} // namespace
} // namespace ltpd
