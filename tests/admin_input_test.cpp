// Texts that would break the request are refused before anything is sent: a line end in the
// credentials, a key or a record field; "|" or "<" at a character start in a key or field; a
// missing text, list, record or out value; a record field without its terminating zero.
#include "ltpadmin/ltpadmin.h"
#include "support/loopback_peer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using ltptest::LoopbackPeer;
using ltptest::MakeResponse;

namespace {

const DWORD kUnsendable = 0xFFFFFFF8u;

// Reaches the credentials and the field-level requests.
class Admin : public CLTPCreater {
public:
    using CLTPCreater::AddGroup;
    using CServerAdmin::m_strPassword;
    using CServerAdmin::m_strUserName;
};

// Restores the process's code page when a test changed it.
struct CodePage {
    explicit CodePage(UINT codePage) { SetProcessACP(codePage); }
    ~CodePage() { SetProcessACP(1252); }
};

template <class T> void Fill(T& field, char c) {
    std::memset(field, c, sizeof field);
}

struct Case {
    std::string what;
    std::function<int(Admin&)> call;
};

// Each forbidden byte in each kind of place.
std::vector<Case> ForbiddenTexts() {
    std::vector<Case> cases;
    const std::string crlf[] = {"\r", "\n"};
    for (const std::string& b : crlf) {
        cases.push_back({"user name " + b, [b](Admin& a) {
                             a.m_strUserName = ("ad" + b + "min").c_str();
                             return a.ClearLogEvents();
                         }});
        cases.push_back({"password " + b, [b](Admin& a) {
                             a.m_strPassword = ("pw" + b).c_str();
                             return a.ClearLogEvents();
                         }});
    }
    const std::string forbidden[] = {"\r", "\n", "|", "<"};
    for (const std::string& b : forbidden) {
        const std::string text = "x" + b + "y";
        cases.push_back({"first key " + b, [text](Admin& a) {
                             tagUser user = {};
                             return a.FindUser(text.c_str(), &user);
                         }});
        cases.push_back(
            {"second key " + b, [text](Admin& a) { return a.AddUserToGroup("u", text.c_str()); }});
        cases.push_back({"key after a number " + b,
                         [text](Admin& a) { return a.DelPathFromProgram(3, text.c_str()); }});
        cases.push_back({"query text " + b, [text](Admin& a) {
                             CList<PROGRAMSTATISTIC*, PROGRAMSTATISTIC*> list;
                             return a.GetUserProgramStatistics(text.c_str(), 0, 1, &list);
                         }});
        cases.push_back({"first field " + b, [text](Admin& a) {
                             tagChannel channel = {};
                             std::strcpy(channel.ChannelID, text.c_str());
                             return a.AddChannel(&channel);
                         }});
        cases.push_back({"last field " + b, [text](Admin& a) {
                             tagProgram program = {};
                             std::strcpy(program.Text13, text.c_str());
                             return a.ModifyProgram(&program);
                         }});
        cases.push_back({"field between numbers " + b, [text](Admin& a) {
                             tagSchedule schedule = {};
                             std::strcpy(schedule.Text2, text.c_str());
                             return a.AddSchedule(&schedule);
                         }});
        cases.push_back({"MTP server field " + b, [text](Admin& a) {
                             MTPSVR server = {};
                             std::strcpy(server.Text3, text.c_str());
                             return a.ModifyMTPSvr(&server);
                         }});
        cases.push_back({"path field " + b, [text](Admin& a) {
                             PROGRAMPATH path = {};
                             std::strcpy(path.ProgramPath, text.c_str());
                             return a.AddPathToProgram(&path);
                         }});
        cases.push_back({"field-level request " + b, [text](Admin& a) {
                             std::string id = text;
                             return a.AddGroup(&id[0], const_cast<char*>("d"));
                         }});
    }
    // In a single-byte code page 0x81 is a character of its own, so the "|" after it starts one.
    cases.push_back(
        {"code page 1252: | after 0x81", [](Admin& a) { return a.DeleteGroup("a\x81|b"); }});
    return cases;
}

std::vector<Case> MissingOrUnterminated() {
    return {
        {"text key", [](Admin& a) { return a.DeleteUser(nullptr); }},
        {"second text key", [](Admin& a) { return a.DeleteUserFromGroup("u", nullptr); }},
        {"free text", [](Admin& a) { return a.AddInfomation(nullptr); }},
        {"list", [](Admin& a) { return a.GetUsers(nullptr); }},
        {"keyed list", [](Admin& a) { return a.GetProgramPath(1, nullptr); }},
        {"lookup record", [](Admin& a) { return a.FindMTPSvr("m", nullptr); }},
        {"record to send", [](Admin& a) { return a.AddUser(nullptr); }},
        {"system information", [](Admin& a) { return a.GetSysInfo(nullptr); }},
        {"out value", [](Admin& a) { return a.GetUserPermission("u", 1, nullptr); }},
        {"information pointer", [](Admin& a) { return a.GetInfomation(nullptr); }},
        {"field-level text", [](Admin& a) { return a.AddGroup(nullptr, nullptr); }},
        {"unterminated user field",
         [](Admin& a) {
             tagUser user = {};
             Fill(user.Text4, 'a');
             return a.ModifyUser(&user);
         }},
        {"unterminated last program field",
         [](Admin& a) {
             tagProgram program = {};
             Fill(program.Text13, 'a');
             return a.AddProgram(&program);
         }},
        {"unterminated MTP server name",
         [](Admin& a) {
             MTPSVR server = {};
             Fill(server.MTPSvrName, 'a');
             return a.AddMTPSvr(&server);
         }},
        {"unterminated global key",
         [](Admin& a) {
             tagGlobal global = {};
             Fill(global.Key, 'a');
             return a.ModifyGlobal(&global);
         }},
    };
}

class AdminInput : public ::testing::Test {
protected:
    // The peer answers the first request with a refusal, then only listens.
    void SetUp() override {
        peer.Respond(MakeResponse(404, " Earlier", "")).StaySilent().Start();
        admin.SetServerAddressPort(peer.Address(), peer.Port());
        ASSERT_EQ(admin.LogIn("127.0.0.1", "admin", "pw"), 1);
        ASSERT_EQ(admin.ClearLogEvents(), 0);
    }
    // Each case is refused with -8, leaves the error text, and sends nothing.
    void ExpectRefused(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            admin.m_strUserName = "admin";
            admin.m_strPassword = "pw";
            EXPECT_EQ(c.call(admin), 0) << c.what;
            EXPECT_EQ(admin.GetLastError(), kUnsendable) << c.what;
            EXPECT_STREQ(admin.GetErrorDescription(), " Earlier") << c.what;
        }
        admin.LogOut();
        ASSERT_TRUE(peer.Finish());
        ASSERT_EQ(peer.Requests().size(), 1u);
        EXPECT_EQ(peer.Received(), peer.Requests()[0]) << "nothing after the first request";
    }

    LoopbackPeer peer;
    Admin admin;
};

} // namespace

TEST_F(AdminInput, ForbiddenBytesAreRefusedBeforeSending) {
    ExpectRefused(ForbiddenTexts());
}

TEST_F(AdminInput, MissingPointersAndUnterminatedFieldsAreRefusedBeforeSending) {
    ExpectRefused(MissingOrUnterminated());
}

TEST_F(AdminInput, ARefusalLeavesTheCallersListAndRecord) {
    CList<tagUser*, tagUser*> users;
    tagUser kept = {"kept", "", "", "", "", ""};
    users.AddTail(&kept);
    EXPECT_EQ(admin.GetGroupUsers("g\n", &users), 0);
    ASSERT_EQ(users.GetCount(), 1);
    EXPECT_EQ(users.GetHead(), &kept);
    tagChannel channel = {"c", "n", "x"};
    const tagChannel before = channel;
    EXPECT_EQ(admin.FindChannel("c<", &channel), 0);
    EXPECT_EQ(std::memcmp(&channel, &before, sizeof channel), 0);
    users.RemoveAll();
    ExpectRefused({});
}

// Texts the protocol can carry go out unchanged: a double-byte character whose second byte is
// "|" in a double-byte code page, ">" anywhere, and any byte of the free information text.
TEST(AdminInputAccepted, CarriableTextsAreSentAsTheyAre) {
    CodePage japanese(932);
    LoopbackPeer peer;
    peer.ServeEach([](const std::string&) { return MakeResponse(200, " OK", ""); }).Start();
    CLTPCreater admin;
    admin.SetServerAddressPort(peer.Address(), peer.Port());
    ASSERT_EQ(admin.LogIn("127.0.0.1", "ad>min", "p|w<"), 1);
    EXPECT_EQ(admin.DeleteGroup("a\x81|b>"), 1);
    tagGroup group = {"g\x81|", "\x81<d"};
    EXPECT_EQ(admin.ModifyGroup(&group), 1);
    char text[] = "\r\n|<";
    EXPECT_EQ(admin.AddInfomation(text), 1);
    admin.LogOut();
    ASSERT_TRUE(peer.Finish());
    const std::vector<std::string> requests = peer.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_NE(requests[0].find("User-Name: ad>min\r\nAuthorization: basic p|w<\r\n"),
              std::string::npos);
    EXPECT_NE(requests[0].find("<GroupID>a\x81|b></GroupID>\r\n"), std::string::npos);
    EXPECT_NE(requests[1].find("<Group>g\x81||\x81<d</Group>\r\n"), std::string::npos);
    EXPECT_NE(requests[2].find("Content-Length: 4\r\n\r\n\r\n|<"), std::string::npos);
}

TEST_F(AdminInput, ALeadByteWithoutItsTrailIsRefusedInADoubleByteCodePage) {
    CodePage japanese(932);
    ExpectRefused({
        {"key ending in a lead byte", [](Admin& a) { return a.DeleteChannel("ab\x81"); }},
        {"field ending in a lead byte",
         [](Admin& a) {
             tagGroup group = {"g\x81", "d"};
             return a.AddGroup(&group);
         }},
    });
}
