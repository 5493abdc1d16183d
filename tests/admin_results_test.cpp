// What CLTPCreater's operations give the caller from the server's answers: lists, looked-up
// records, values, the system information and the information text; and what a refusal, a lost
// connection and a time-out leave behind.
#include "ltpadmin/admin/cycle.h"
#include "ltpadmin/ltpadmin.h"
#include "support/loopback_peer.h"

#include <gtest/gtest.h>

#include <cstring>
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
    EXPECT_EQ(std::string(user.UserID, 3), "u9k") << "no terminating zero is written";
    EXPECT_EQ(user.Text2[0], 'n');
    EXPECT_STREQ(user.Text3, "T") << "a field the element leaves out keeps its contents";
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
