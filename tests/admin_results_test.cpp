// What CLTPCreater's operations give the caller from the server's answers: lists, looked-up
// records, values, the system information and the information text; and what a refusal, a lost
// connection and a time-out leave behind.
#include "ltpadmin/admin/cycle.h"
#include "ltpadmin/ltpadmin.h"
#include "support/loopback_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using ltptest::LoopbackPeer;
using ltptest::MakeResponse;

namespace {

std::string Ok(const std::string& body) {
    return MakeResponse(200, " OK", body);
}

template <class T> bool IsAllZero(const T& record) {
    static const T zero{};
    return std::memcmp(&record, &zero, sizeof(T)) == 0;
}

template <class T> bool SameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

template <class T> std::vector<T*> Items(CList<T*, T*>& list) {
    std::vector<T*> items;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;)
        items.push_back(list.GetNext(pos));
    return items;
}

template <class T> void Release(CList<T*, T*>& list) {
    while (!list.IsEmpty())
        delete list.RemoveHead();
}

tagUser* NewUser(const char* id) {
    tagUser* user = new tagUser{};
    std::strcpy(user->UserID, id);
    return user;
}

class AdminResults : public ::testing::Test {
protected:
    // The peer answers each request with the next response; then the administrator logs in.
    void Answer(const std::vector<std::string>& responses) {
        peer.Serve(responses).Start();
        LogIn();
    }
    void LogIn() {
        admin.SetServerAddressPort(peer.Address(), peer.Port());
        ASSERT_EQ(admin.LogIn("127.0.0.1", "admin", "pw"), 1);
    }
    void TearDown() override {
        admin.LogOut();
        EXPECT_TRUE(peer.Finish());
        Release(users);
    }

    LoopbackPeer peer;
    CLTPCreater admin;
    CList<tagUser*, tagUser*> users;
};

} // namespace

TEST_F(AdminResults, ListRecordsFollowTheCallersInResponseOrder) {
    Answer({Ok("<User>a|1</User>\r\n<User>b|2|x3|x4|x5|x6</User>\r\n<User>c</User>\r\n"), Ok("")});
    users.AddTail(NewUser("old1"));
    users.AddTail(NewUser("old2"));
    ASSERT_EQ(admin.GetUsers(&users), 1);
    std::vector<tagUser*> items = Items(users);
    ASSERT_EQ(items.size(), 5u);
    const char* ids[] = {"old1", "old2", "a", "b", "c"};
    for (size_t k = 0; k < items.size(); ++k)
        EXPECT_STREQ(items[k]->UserID, ids[k]);
    EXPECT_STREQ(items[2]->Text2, "1");
    EXPECT_STREQ(items[3]->Text6, "x6");
    // Fields the response leaves out read empty in a record the library allocated.
    EXPECT_EQ(items[2]->Text6[0], '\0');
    EXPECT_EQ(items[4]->Text2[0], '\0');

    // A response without records leaves the list as it was.
    ASSERT_EQ(admin.GetUsers(&users), 1);
    EXPECT_EQ(users.GetCount(), 5);
}

TEST_F(AdminResults, ARecordOfAnotherTagIsAppendedAllZero) {
    Answer({Ok("<User>a</User><Group>x|y</Group><User>c</User>\r\n")});
    ASSERT_EQ(admin.GetGrantedUsers(1, &users), 1);
    std::vector<tagUser*> items = Items(users);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_STREQ(items[0]->UserID, "a");
    EXPECT_TRUE(IsAllZero(*items[1]));
    EXPECT_STREQ(items[2]->UserID, "c");
}

TEST_F(AdminResults, ARefusalKeepsItsReasonUntilTheNextRefusal) {
    Answer({MakeResponse(404, " Not Found", "<User>a</User>"), Ok("<User>b</User>"),
            MakeResponse(500, " Busy", "")});
    users.AddTail(NewUser("old"));
    EXPECT_EQ(admin.GetUsers(&users), 0);
    EXPECT_EQ(admin.GetLastError(), 0u);
    EXPECT_STREQ(admin.GetErrorDescription(), " Not Found");
    EXPECT_EQ(users.GetCount(), 1) << "a refused response decodes nothing";

    EXPECT_EQ(admin.GetUsers(&users), 1);
    EXPECT_STREQ(admin.GetErrorDescription(), " Not Found") << "success keeps the old reason";
    CMessage empty;
    EXPECT_EQ(admin.ParseResponse(empty), 0);
    EXPECT_STREQ(admin.GetErrorDescription(), " Not Found") << "so does an empty response";

    EXPECT_EQ(admin.DeleteUser("b"), 0);
    EXPECT_STREQ(admin.GetErrorDescription(), " Busy");
}

TEST_F(AdminResults, LookupFillsOnlyWhatTheFirstElementCarries) {
    Answer({Ok("<Group>g|d</Group>\r\n"), Ok("<User>u9|n</User>")});
    tagUser user;
    std::memset(&user, 'k', sizeof user);
    user.Text3[0] = 'T';
    user.Text3[1] = '\0';
    const tagUser before = user;
    ASSERT_EQ(admin.FindUser("u9", &user), 1) << "no User element is no failure";
    EXPECT_TRUE(SameBytes(user, before));

    ASSERT_EQ(admin.FindUser("u9", &user), 1);
    // Each text stored now ends in a zero: old bytes used to show through after "u9".
    EXPECT_STREQ(user.UserID, "u9");
    EXPECT_STREQ(user.Text2, "n");
    EXPECT_STREQ(user.Text3, "T") << "a field the element leaves out keeps its contents";
}

// A lookup reads its element's own text, as a list does: the closing tag and what follows it
// used to run into the last field read ("c1</Channel>").
TEST_F(AdminResults, ALookupStopsAtItsElementsClosingTag) {
    struct Case {
        const char* body;
        std::function<std::string(CLTPCreater&)> find; // the field the element ends in
        const char* text;
    };
    const Case cases[] = {
        {"<User>u1</User>\r\n",
         [](CLTPCreater& a) {
             tagUser r{};
             a.FindUser("u1", &r);
             return std::string(r.UserID);
         },
         "u1"},
        {"<Group>g1</Group><User>x</User>",
         [](CLTPCreater& a) {
             tagGroup r{};
             a.FindGroup("g1", &r);
             return std::string(r.GroupID);
         },
         "g1"},
        {"<Program>7|p</Program>\r\n",
         [](CLTPCreater& a) {
             tagProgram r{};
             a.FindProgram(7, &r);
             return std::string(r.Text2);
         },
         "p"},
        {"<Channel>c1</Channel>",
         [](CLTPCreater& a) {
             tagChannel r{};
             a.FindChannel("c1", &r);
             return std::string(r.ChannelID);
         },
         "c1"},
        {"<Schedule>3|s</Schedule>",
         [](CLTPCreater& a) {
             tagSchedule r{};
             a.FindSchedule(3, &r);
             return std::string(r.Text2);
         },
         "s"},
        {"<Global>k</Global>",
         [](CLTPCreater& a) {
             tagGlobal r{};
             a.FindGlobal("k", &r);
             return std::string(r.Key);
         },
         "k"},
        {"<Channel>c2|t</Channel>",
         [](CLTPCreater& a) {
             tagChannel r{};
             a.GetScheduleChannel(3, &r);
             return std::string(r.Text2);
         },
         "t"},
        {"<MTPSvr>m</MTPSvr>",
         [](CLTPCreater& a) {
             MTPSVR r{};
             a.FindMTPSvr("m", &r);
             return std::string(r.MTPSvrName);
         },
         "m"},
    };
    std::vector<std::string> responses;
    for (const Case& c : cases)
        responses.push_back(Ok(c.body));
    Answer(responses);
    for (const Case& c : cases)
        EXPECT_EQ(c.find(admin), c.text) << c.body;
}

TEST_F(AdminResults, ValueReadsTheNamedElementAsANumber) {
    struct Case {
        const char* what;
        std::string body;
        bool permission; // GetUserPermission instead of GetUserRights
        LONG expected;
    };
    const Case cases[] = {
        {"digits then letters", "<UserRights>123abc</UserRights>", false, 123},
        {"negative", "<UserRights>-3</UserRights>", false, -3},
        {"tag in small letters", "<userrights>7</userrights>", false, 7},
        {"59 bytes", "<UserRights>" + std::string(57, ' ') + "42</UserRights>", false, 42},
        {"60 bytes", "<UserRights>" + std::string(58, ' ') + "42</UserRights>", false, 0},
        {"missing", "<GroupRights>5</GroupRights>", false, 0},
        {"another element's name", "<UserRights>7</UserRights>", true, 0},
        {"permission", "<UserPermission>12</UserPermission>", true, 12},
    };
    std::vector<std::string> responses;
    for (const Case& c : cases)
        responses.push_back(Ok(c.body));
    responses.push_back(MakeResponse(403, " Forbidden", "<UserRights>5</UserRights>"));
    Answer(responses);
    for (const Case& c : cases) {
        LONG value = 99;
        const int result = c.permission ? admin.GetUserPermission("u", 1, &value)
                                        : admin.GetUserRights("u", 1, &value);
        EXPECT_EQ(result, 1) << c.what;
        EXPECT_EQ(value, c.expected) << c.what;
    }
    LONG value = 99;
    EXPECT_EQ(admin.GetGroupRights("g", 1, &value), 0);
    EXPECT_EQ(value, 99) << "a refused value read leaves the out value";
}

TEST_F(AdminResults, AddingAProgramOrScheduleStoresTheNewIdentifier) {
    Answer({Ok("<ProgramID>17</ProgramID>"),
            MakeResponse(409, " Exists", "<ProgramID>3</ProgramID>"), Ok("")});
    tagProgram program = {};
    ASSERT_EQ(admin.AddProgram(&program), 1);
    EXPECT_EQ(program.ProgramID, 17);
    EXPECT_EQ(admin.AddProgram(&program), 0);
    EXPECT_EQ(program.ProgramID, 17) << "a refused add keeps the identifier";
    tagSchedule schedule = {};
    schedule.ScheduleID = 8;
    ASSERT_EQ(admin.AddSchedule(&schedule), 1);
    EXPECT_EQ(schedule.ScheduleID, 0) << "no ScheduleID element reads as 0";
    ASSERT_TRUE(peer.Finish());
    EXPECT_NE(peer.Requests()[0].find("\r\n\r\n<Program>0|"), std::string::npos);
}

TEST_F(AdminResults, SystemInformationComesFromTheFirstRecordOnly) {
    Answer({Ok(""), Ok("<User>a</User><SysInfo>1|2|3|4.5|5</SysInfo>"),
            Ok("<sYsInFo>1|2|3|4.5|5</sYsInFo><SysInfo>6|6|6|6|6</SysInfo>")});
    tagSysInfo info = {9, 9, 9, 9.0, 9};
    EXPECT_EQ(admin.GetSysInfo(&info), 0) << "no record";
    EXPECT_EQ(admin.GetLastError(), 0u);
    EXPECT_EQ(info.Number1, 9);
    EXPECT_EQ(admin.GetSysInfo(&info), 1) << "a first record of another tag";
    EXPECT_EQ(info.Number1, 9);
    EXPECT_EQ(admin.GetSysInfo(&info), 1);
    EXPECT_EQ(info.Number1, 1);
    EXPECT_EQ(info.Number2, 2);
    EXPECT_EQ(info.Number3, 3);
    EXPECT_EQ(info.Real4, 4.5);
    EXPECT_EQ(info.Number5, 5);
}

TEST_F(AdminResults, InformationPointsAtTheBodyUntilARefusal) {
    Answer({Ok("Hello\r\nworld"), MakeResponse(404, " Gone", "other")});
    char* text = nullptr;
    ASSERT_EQ(admin.GetInfomation(&text), 1);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "Hello\r\nworld");
    char* const before = text;
    EXPECT_EQ(admin.GetInfomation(&text), 0);
    EXPECT_EQ(text, before);
}

// A server that sends more than the session allows: a response past its bound ends the request
// when the bound is passed, not at the time-out; records past theirs are freed again.
TEST_F(AdminResults, AnswersPastTheSessionsBoundsFailWithMinus2) {
    std::string records;
    for (int i = 0; i < 5; ++i)
        records += "<User>n" + std::to_string(i) + "</User>";
    // A head that never ends, then silence.
    peer.Respond(Ok(records.substr(0, 4 * 15)))
        .Respond(Ok(records))
        .ExpectRequest()
        .Send("LTP/1.0 200 OK\r\n" + std::string(300000, '<'));
    peer.StaySilent().Start();
    LogIn();
    EXPECT_EQ(admin.GetMaxResponseBytes(), 256u << 20);
    EXPECT_EQ(admin.GetMaxResultBytes(), size_t(512) << 20);
    admin.SetMaxResultBytes(4 * ltp::detail::form::List<tagUser>::kRecordCost);
    admin.SetMaxResponseBytes(64 * 1024);
    users.AddTail(NewUser("old1"));
    users.AddTail(NewUser("old2"));

    ASSERT_EQ(admin.GetUsers(&users), 1) << "four records are within the bound";
    EXPECT_EQ(users.GetCount(), 6);
    Release(users);
    users.AddTail(NewUser("old1"));
    users.AddTail(NewUser("old2"));
    EXPECT_EQ(admin.GetUsers(&users), 0) << "five are not";
    EXPECT_EQ(admin.GetLastError(), 0xFFFFFFFEu);
    std::vector<tagUser*> items = Items(users);
    ASSERT_EQ(items.size(), 2u) << "the records made are freed, the caller's stay";
    EXPECT_STREQ(items[1]->UserID, "old2");

    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(admin.GetUsers(&users), 0);
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_EQ(admin.GetLastError(), 0xFFFFFFFEu);
    EXPECT_EQ(admin.GetReadMessage().GetData(), nullptr) << "what came is released";
    EXPECT_LT(took, std::chrono::seconds(5)) << "ended at the bound, not the 10 s time-out";
    EXPECT_EQ(users.GetCount(), 2);
}

TEST_F(AdminResults, AConnectionTheServerClosesEndsTheOperationEmptyHanded) {
    peer.Respond(MakeResponse(404, " Old", "")).ExpectRequest().Close().Start();
    LogIn();
    EXPECT_EQ(admin.GetUsers(&users), 0);
    users.AddTail(NewUser("kept"));
    EXPECT_EQ(admin.GetUsers(&users), 0);
    EXPECT_EQ(admin.GetLastError(), 0u);
    EXPECT_STREQ(admin.GetErrorDescription(), " Old");
    ASSERT_EQ(users.GetCount(), 1);
    EXPECT_STREQ(users.GetHead()->UserID, "kept");
}

TEST_F(AdminResults, AnOperationWithoutAnswerTimesOutAfterTenSeconds) {
    peer.ExpectRequest().StaySilent().Start();
    LogIn();
    users.AddTail(NewUser("kept"));
    EXPECT_EQ(admin.GetUsers(&users), 0);
    EXPECT_EQ(admin.GetLastError(), 0xFFFFFFF9u);
    EXPECT_EQ(users.GetCount(), 1);
}

// The list form counts while it walks, reading a long response once. Whatever the text, it must
// give what counting first and then walking that many records gives: the same number of records
// with the same bytes, in single-byte and double-byte code pages (where a trail byte may be "<").
TEST(AdminListForm, WalkingAndCountingInOnePassMatchesCountingFirst) {
    const char alphabet[] = {'<', '<', '<', '>', '/', '|',    '|',    'U',    's',    'e',
                             'r', 'x', '1', '9', ' ', '\x81', '\x82', '\xE0', '\x9F', '\x5C'};
    const ltp::detail::CommandRow& row = ltp::detail::CatalogueRow(ltp::detail::Row::GetAllUsers);
    unsigned seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    for (UINT codePage : {1252u, 932u, 936u}) {
        ASSERT_TRUE(SetProcessACP(codePage));
        for (int round = 0; round < 3000; ++round) {
            std::string text;
            const unsigned size = next() % 120;
            for (unsigned i = 0; i < size; ++i)
                text += next() % 4 == 0 ? std::string("<User>a|b|c|d|e|f</User>")
                                        : std::string(1, alphabet[next() % sizeof alphabet]);
            const char* data = text.data();
            const ULONG length = static_cast<ULONG>(text.size());

            // Counting first, then walking that many records.
            std::vector<tagUser> expected(ltp::detail::GetParamCount(data, length));
            ltp::detail::CRecordWalk walk(data, length);
            for (tagUser& record : expected) {
                std::memset(&record, 0, sizeof record);
                const char* span = nullptr;
                UINT spanLength = 0;
                walk.Next(span, spanLength);
                ltp::detail::DecodeRecord(span, spanLength, &record);
            }

            CList<tagUser*, tagUser*> list;
            ASSERT_EQ((ltp::detail::form::List<tagUser>{&list}.Take(row, data, length)), 1);
            const std::vector<tagUser*> got = Items(list);
            ASSERT_EQ(got.size(), expected.size()) << "code page " << codePage << ": " << text;
            for (size_t i = 0; i < got.size(); ++i)
                EXPECT_TRUE(SameBytes(*got[i], expected[i]))
                    << "code page " << codePage << ", record " << i << ": " << text;
            Release(list);
        }
    }
    SetProcessACP(1252);
}
