// Every request of the catalogue formatted as the administration interface formats it, compared
// byte for byte with what the server expects on the wire.
#include "ltpadmin/protocol/catalogue.h"

#include "ltpadmin/platform/cstring.h"
#include "ltpadmin/platform/win32_types.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char kUser[] = "admin";
const char kPassword[] = "pw";

// Bare and key rows: one template, user and password first, then the keys.
template <typename... Keys> CString Keyed(int row, Keys... keys) {
    CString request;
    request.Format(ltp::detail::CatalogueRow(row).headTemplate, kUser, kPassword, keys...);
    return request;
}

// Counted rows: the body first, then the head with its byte count.
template <typename... Fields> CString Counted(int row, Fields... fields) {
    const ltp::detail::CommandRow& r = ltp::detail::CatalogueRow(row);
    CString body;
    body.Format(r.bodyTemplate, fields...);
    CString request;
    request.Format(r.headTemplate, kUser, kPassword, body.GetLength());
    return request + body;
}

#define CRED "User-Name: admin\r\nAuthorization: basic pw\r\n"

// Two bytes of a GBK character; Content-Length must count them as two.
#define WIDE "\xD6\xD0"

struct Golden {
    int row;
    CString request;
    const char* expected;
};

TEST(Catalogue, EveryRowFormatsToItsWireBytes) {
    const Golden table[] = {
        {1, Counted(1, "hello\r\nworld"),
         "Add  Infomation  LTP/1.0\r\n" CRED "Content-Length: 12\r\n\r\nhello\r\nworld"},
        {2, Keyed(2), "Get  Infomation  LTP/1.0\r\n" CRED "\r\n"},
        {3, Keyed(3), "Get  SysInfo  LTP/1.0\r\n" CRED "\r\n"},
        {4, Keyed(4), "Get  AllLogEvents  LTP/1.0\r\n" CRED "\r\n"},
        {5, Keyed(5), "Clear  LogEvents  LTP/1.0\r\n" CRED "\r\n"},
        {6, Keyed(6), "Get  AllUsers  LTP/1.0\r\n" CRED "\r\n"},
        {7, Keyed(7), "Get  AllGroups  LTP/1.0\r\n" CRED "\r\n"},
        {8, Keyed(8), "Get  AllPrograms  LTP/1.0\r\n" CRED "\r\n"},
        {9, Keyed(9), "Get  AllChannels  LTP/1.0\r\n" CRED "\r\n"},
        {10, Keyed(10), "Get  AllSchedules  LTP/1.0\r\n" CRED "\r\n"},
        {11, Keyed(11), "Get  AllGlobals  LTP/1.0\r\n" CRED "\r\n"},
        {12, Keyed(12, "alice"), "Find  User  LTP/1.0\r\n" CRED "\r\n<UserID>alice</UserID>\r\n"},
        {13, Keyed(13, "staff"),
         "Find  Group  LTP/1.0\r\n" CRED "\r\n<GroupID>staff</GroupID>\r\n"},
        {14, Keyed(14, -5), "Find  Program  LTP/1.0\r\n" CRED "\r\n<ProgramID>-5</ProgramID>\r\n"},
        {15, Keyed(15, "news"),
         "Find  Channel  LTP/1.0\r\n" CRED "\r\n<ChannelID>news</ChannelID>\r\n"},
        {16, Keyed(16, 7), "Find  Schedule  LTP/1.0\r\n" CRED "\r\n<ScheduleID>7<ScheduleID>\r\n"},
        {17, Keyed(17, "Motd"), "Find  Global  LTP/1.0\r\n" CRED "\r\n<Key>Motd</Key>\r\n"},
        {18, Counted(18, "u1", WIDE, "c", "d", "e", "f"),
         "Add  User  LTP/1.0\r\n" CRED "Content-Length: 28\r\n\r\n"
         "<User>u1|" WIDE "|c|d|e|f</User>\r\n"},
        {19, Counted(19, "g1", "Group one"),
         "Add  Group  LTP/1.0\r\n" CRED
         "Content-Length: 29\r\n\r\n<Group>g1|Group one</Group>\r\n"},
        {20, Counted(20, -1, "a", "b", "c", 1.5, -2, 3, "h", "i", "j", "k", "l", "m"),
         "Add  Program  LTP/1.0\r\n" CRED "Content-Length: 55\r\n\r\n"
         "<Program>-1|a|b|c|1.500000|-2|3|h|i|j|k|l|m</Program>\r\n"},
        {21, Counted(21, "ch", "desc", "x"),
         "Add  Channel  LTP/1.0\r\n" CRED
         "Content-Length: 30\r\n\r\n<Channel>ch|desc|x</Channel>\r\n"},
        {22, Counted(22, 4, "s", 5, 0.5, -0.25, 6),
         "Add  Schedule  LTP/1.0\r\n" CRED "Content-Length: 49\r\n\r\n"
         "<Schedule>4|s|5|0.500000|-0.250000|6</Schedule>\r\n"},
        {23, Counted(23, "Key1", -3, "t3", "t4"),
         "Add  Global  LTP/1.0\r\n" CRED
         "Content-Length: 32\r\n\r\n<Global>Key1|-3|t3|t4</Global>\r\n"},
        {24, Counted(24, "", "", "", "", "", ""),
         "Modify  User  LTP/1.0\r\n" CRED "Content-Length: 20\r\n\r\n<User>|||||</User>\r\n"},
        {25, Counted(25, "g1", ""),
         "Modify  Group  LTP/1.0\r\n" CRED "Content-Length: 20\r\n\r\n<Group>g1|</Group>\r\n"},
        {26,
         Counted(26, 2147483647, "", "", "", 0.0000004, 0, -2147483647 - 1, "", "", "", "", "",
                 "z"),
         "Modify  Program  LTP/1.0\r\n" CRED "Content-Length: 64\r\n\r\n"
         "<Program>2147483647||||0.000000|0|-2147483648||||||z</Program>\r\n"},
        {27, Counted(27, "c", "", ""),
         "Modify  Channel  LTP/1.0\r\n" CRED
         "Content-Length: 24\r\n\r\n<Channel>c||</Channel>\r\n"},
        {28, Counted(28, -4, "s", 0, 1234567.25, 2.0, -1),
         "Modify Schedule  LTP/1.0\r\n" CRED "Content-Length: 56\r\n\r\n"
         "<Schedule>-4|s|0|1234567.250000|2.000000|-1</Schedule>\r\n"},
        {29, Counted(29, "K", 0, "", ""),
         "Modify  Global  LTP/1.0\r\n" CRED "Content-Length: 24\r\n\r\n<Global>K|0||</Global>\r\n"},
        {30, Keyed(30, "bob"), "Delete  User  LTP/1.0\r\n" CRED "\r\n<UserID>bob</UserID>\r\n"},
        {31, Keyed(31, "g"), "Delete  Group  LTP/1.0\r\n" CRED "\r\n<GroupID>g</GroupID>\r\n"},
        {32, Keyed(32, 42),
         "Delete  Program  LTP/1.0\r\n" CRED "\r\n<ProgramID>42</ProgramID>\r\n"},
        {33, Keyed(33, "c"),
         "Delete  Channel  LTP/1.0\r\n" CRED "\r\n<ChannelID>c</ChannelID>\r\n"},
        {34, Keyed(34, -9),
         "Delete  Schedule  LTP/1.0\r\n" CRED "\r\n<ScheduleID>-9<ScheduleID>\r\n"},
        {35, Keyed(35, "k"), "Delete  Global  LTP/1.0\r\n" CRED "\r\n<Key>k</Key>\r\n"},
        {36, Keyed(36, "g"), "Get  GroupUsers  LTP/1.0\r\n" CRED "\r\n<GroupID>g</GroupID>\r\n"},
        {37, Keyed(37, "u"), "Get  UserGroups  LTP/1.0\r\n" CRED "\r\n<UserID>u</UserID>\r\n"},
        {38, Keyed(38, "c"),
         "Get  ChannelSchedules  LTP/1.0\r\n" CRED "\r\n<ChannelID>c</ChannelID>\r\n"},
        {39, Keyed(39, 3),
         "Get  ScheduleChannel  LTP/1.0\r\n" CRED "\r\n<ScheduleID>3<ScheduleID>\r\n"},
        {40, Keyed(40, "u", 8),
         "Get  UserRights  LTP/1.0\r\n" CRED "\r\n<UserID>u</UserID><ProgramID>8</ProgramID>\r\n"},
        {41, Keyed(41, "g", 8),
         "Get  GroupRights  LTP/1.0\r\n" CRED
         "\r\n<GroupID>g</GroupID><ProgramID>8</ProgramID>\r\n"},
        {42, Keyed(42, 8),
         "Get  GrantedGroups  LTP/1.0\r\n" CRED "\r\n<ProgramID>8</ProgramID>\r\n"},
        {43, Keyed(43, 8),
         "Get  GrantedUsers  LTP/1.0\r\n" CRED "\r\n<ProgramID>8</ProgramID>\r\n"},
        {44, Keyed(44, "u", "g"),
         "Add  UserToGroup  LTP/1.0\r\n" CRED "\r\n<UserID>u</UserID><GroupID>g</GroupID>\r\n"},
        {45, Keyed(45, "u", "g"),
         "Delete  UserFromGroup  LTP/1.0\r\n" CRED
         "\r\n<UserID>u</UserID><GroupID>g</GroupID>\r\n"},
        {46, Keyed(46, "u", 8, 3),
         "Add  UserRights  LTP/1.0\r\n" CRED
         "\r\n<UserID>u</UserID><ProgramID>8</ProgramID><UserRights>3</UserRights>\r\n"},
        {47, Keyed(47, "u", 8, -1),
         "Modify  UserRights  LTP/1.0\r\n" CRED
         "\r\n<UserID>u</UserID><ProgramID>8</ProgramID><UserRights>-1</UserRights>\r\n"},
        {48, Keyed(48, "u", 8),
         "Delete  UserRights  LTP/1.0\r\n" CRED
         "\r\n<UserID>u</UserID><ProgramID>8</ProgramID>\r\n"},
        {49, Keyed(49, "g", 8, 3),
         "Add  GroupRights  LTP/1.0\r\n" CRED
         "\r\n<GroupID>g</GroupID><ProgramID>8</ProgramID><GroupRights>3</GroupRights>\r\n"},
        {50, Keyed(50, "g", 8, 4),
         "Modify  GroupRights  LTP/1.0\r\n" CRED
         "\r\n<GroupID>g</GroupID><ProgramID>8</ProgramID><GroupRights>4</GroupRights>\r\n"},
        {51, Keyed(51, "g", 8),
         "Delete  GroupRights  LTP/1.0\r\n" CRED
         "\r\n<GroupID>g</GroupID><ProgramID>8</ProgramID>\r\n"},
        {52, Keyed(52, "u", 8),
         "Get  UserPermission  LTP/1.0\r\n" CRED
         "\r\n<UserID>u</UserID><ProgramID>8</ProgramID>\r\n"},
        {53, Keyed(53, 8),
         "Apply  PermissionToDescentdants  LTP/1.0\r\n" CRED "\r\n<ProgramID>8</ProgramID>\r\n"},
        {54, Keyed(54, 8, 9),
         "Move  Program  LTP/1.0\r\n" CRED
         "\r\n<ProgramID>8</ProgramID><ProgramID>9</ProgramID>\r\n"},
        {55, Keyed(55, 8, -9),
         "Copy  Program  LTP/1.0\r\n" CRED
         "\r\n<ProgramID>8</ProgramID><ProgramID>-9</ProgramID>\r\n"},
        {56, Counted(56, "bob", 45000.5, 45001.25),
         "Get  UserProgramStatistics  LTP/1.0\r\n" CRED "Content-Length: 110\r\n\r\n"
         "<UserName>bob</UserName><DateStarted>45000.500000000</DateStarted>"
         "<DateStopped>45001.250000000</DateStopped>\r\n"},
        {57, Counted(57, 12, 0.0, -1.5),
         "Get  ProgramStatistics  LTP/1.0\r\n" CRED "Content-Length: 104\r\n\r\n"
         "<ProgramID>12</ProgramID><DateStarted>0.000000000</DateStarted>"
         "<DateStopped>-1.500000000</DateStopped>\r\n"},
        {58, Counted(58, 10, 1.0, 2.0),
         "Get  TOPPrograms  LTP/1.0\r\n" CRED "Content-Length: 101\r\n\r\n"
         "<TOPCount>10</TOPCount><DateStarted>1.000000000</DateStarted>"
         "<DateStopped>2.000000000</DateStopped>\r\n"},
        {59, Counted(59, 3, "/a/b", 0.5, 1.5),
         "Add  PathTOProgram  LTP/1.0\r\n" CRED "Content-Length: 59\r\n\r\n"
         "<ProgramPath>3|/a/b|0.500000000|1.500000000</ProgramPath>\r\n"},
        {60, Keyed(60), "Get  AllMTPSvrs  LTP/1.0\r\n" CRED "\r\n"},
        {61, Keyed(61, "mtp1"),
         "Find  MTPSvr  LTP/1.0\r\n" CRED "\r\n<ChannelID>mtp1</ChannelID>\r\n"},
        {62, Counted(62, "m", "t2", "t3", 4, 5),
         "Add  MTPSvr  LTP/1.0\r\n" CRED
         "Content-Length: 30\r\n\r\n<MTPSvr>m|t2|t3|4|5</MTPSvr>\r\n"},
        {63, Counted(63, "m", "", "", -4, 0),
         "Modify  MTPSvr  LTP/1.0\r\n" CRED
         "Content-Length: 27\r\n\r\n<MTPSvr>m|||-4|0</MTPSvr>\r\n"},
        {64, Keyed(64, "m"),
         "Delete  MTPSvr  LTP/1.0\r\n" CRED "\r\n<MTPSvrName>m</MTPSvrName>\r\n"},
        {65, Keyed(65, 3), "Get ProgramPath  LTP/1.0\r\n" CRED "\r\n<ProgramID>3</ProgramID>\r\n"},
        {66, Keyed(66, 3, "/a/b"),
         "Delete  PathFromProgram  LTP/1.0\r\n" CRED
         "\r\n<ProgramID>3</ProgramID><ProgramPath>/a/b</ProgramPath>\r\n"},
    };
    ASSERT_EQ(sizeof table / sizeof table[0], static_cast<size_t>(ltp::detail::kCommandCount));
    for (size_t i = 0; i < sizeof table / sizeof table[0]; ++i) {
        const Golden& g = table[i];
        EXPECT_EQ(g.row, static_cast<int>(i) + 1);
        EXPECT_EQ(std::string(g.request), std::string(g.expected)) << "row " << g.row;
    }
}

TEST(Catalogue, RowOneSendsTheCallersTextUnchanged) {
    EXPECT_EQ(std::string(Counted(1, "")),
              "Add  Infomation  LTP/1.0\r\n" CRED "Content-Length: 0\r\n\r\n");
    // A "%" in the caller's text is data, not a conversion.
    EXPECT_EQ(std::string(Counted(1, "100%d")),
              "Add  Infomation  LTP/1.0\r\n" CRED "Content-Length: 5\r\n\r\n100%d");
}

TEST(Catalogue, RowsDescribeThemselvesConsistently) {
    for (int n = 1; n <= ltp::detail::kCommandCount; ++n) {
        const ltp::detail::CommandRow& row = ltp::detail::CatalogueRow(n);
        SCOPED_TRACE(n);
        EXPECT_EQ(row.number, n);
        // The head starts with the request line; the request line names verb and object.
        EXPECT_EQ(std::strncmp(row.headTemplate, row.requestLine, std::strlen(row.requestLine)), 0);
        EXPECT_EQ(std::strncmp(row.requestLine, row.verb, std::strlen(row.verb)), 0);
        EXPECT_NE(std::strstr(row.requestLine, row.object), nullptr);
        EXPECT_EQ(row.hasContentLength, std::strstr(row.headTemplate, "Content-Length") != nullptr);
        EXPECT_EQ(row.bodyTemplate != nullptr, row.body != ltp::detail::BodyKind::None);
        EXPECT_EQ(row.responseTag != nullptr, row.response == ltp::detail::ResponseKind::Records ||
                                                  row.response == ltp::detail::ResponseKind::Value);
        // A server reading the request finds the same row again.
        EXPECT_EQ(ltp::detail::FindCommand(row.verb, std::strlen(row.verb), row.object,
                                           std::strlen(row.object)),
                  &row);
    }
}

TEST(Catalogue, LookupsOutsideTheTableFindNothing) {
    EXPECT_EQ(ltp::detail::CatalogueRow(0).number, 0);
    EXPECT_EQ(ltp::detail::CatalogueRow(67).number, 0);
    EXPECT_STREQ(ltp::detail::CatalogueRow(-1).headTemplate, "");
    EXPECT_EQ(ltp::detail::FindCommand("Get", 3, "Information", 11), nullptr);
    EXPECT_EQ(ltp::detail::FindCommand("get", 3, "AllUsers", 8),
              nullptr); // verbs are matched exactly
    EXPECT_EQ(ltp::detail::FindCommand("Get", 3, "AllUser", 7), nullptr);
    EXPECT_EQ(ltp::detail::FindCommand("Get", 3, "AllUsersX", 8)->number,
              6); // counted, not terminated
}

TEST(Catalogue, ResponsesNameWhatTheDecodersRead) {
    struct Case {
        int row;
        ltp::detail::ResponseKind kind;
        const char* tag;
    };
    const Case cases[] = {
        {2, ltp::detail::ResponseKind::FreeText, nullptr},
        {3, ltp::detail::ResponseKind::Records, "SysInfo"},
        {4, ltp::detail::ResponseKind::Records, "LogEvent"},
        {20, ltp::detail::ResponseKind::Value, "ProgramID"},
        {22, ltp::detail::ResponseKind::Value, "ScheduleID"},
        {39, ltp::detail::ResponseKind::Records, "Channel"},
        {40, ltp::detail::ResponseKind::Value, "UserRights"},
        {41, ltp::detail::ResponseKind::Value, "GroupRights"},
        {52, ltp::detail::ResponseKind::Value, "UserPermission"},
        {56, ltp::detail::ResponseKind::Records, "ProgramStatistic"},
        {58, ltp::detail::ResponseKind::Records, "TOPProgram"},
        {61, ltp::detail::ResponseKind::Records, "MTPSvr"},
        {65, ltp::detail::ResponseKind::Records, "ProgramPath"},
        {66, ltp::detail::ResponseKind::Status, nullptr},
    };
    for (const Case& c : cases) {
        const ltp::detail::CommandRow& row = ltp::detail::CatalogueRow(c.row);
        EXPECT_EQ(row.response, c.kind) << c.row;
        if (c.tag)
            EXPECT_STREQ(row.responseTag, c.tag) << c.row;
        else
            EXPECT_EQ(row.responseTag, nullptr) << c.row;
    }
}

} // namespace

// An operation's arguments must be those its row's template formats, in order; a mismatch does not
// compile. Each line is one case.
namespace {
using ltp::detail::ArgumentsFit;
using ltp::detail::ConversionsAre;
using ltp::detail::Row;
static_assert(ArgumentsFit<Row::GetAllUsers>());
static_assert(!ArgumentsFit<Row::GetAllUsers, const char*>(), "a bare row takes nothing");
static_assert(ArgumentsFit<Row::FindUser, const char*>());
static_assert(!ArgumentsFit<Row::FindUser, LONG>(), "a number for a text");
static_assert(ArgumentsFit<Row::GetUserRights, char*, LONG>());
static_assert(!ArgumentsFit<Row::GetUserRights, LONG, char*>(), "right kinds, wrong order");
static_assert(!ArgumentsFit<Row::GetUserRights, char*>(), "one missing");
static_assert(!ArgumentsFit<Row::GetUserRights, char*, LONG, LONG>(), "one too many");
static_assert(ArgumentsFit<Row::AddPathTOProgram, LONG, char*, double, double>(), "%.9f");
static_assert(!ArgumentsFit<Row::FindProgram, double>(), "a decimal for a whole number");
static_assert(!ArgumentsFit<Row::FindProgram, long long>(), "wider than 32 bits");
static_assert(!ArgumentsFit<Row::FindProgram, bool>());
static_assert(ArgumentsFit<Row::AddInfomation, const char*>());
static_assert(ArgumentsFit<Row::AddGroup, char[50], char[255]>(), "arrays are texts");
static_assert(ConversionsAre("100%% <a>%d</a>", "d"), "a literal percent takes nothing");
static_assert(ConversionsAre(nullptr, ""));
static_assert(static_cast<int>(Row::DeletePathFromProgram) == 66);
} // namespace
