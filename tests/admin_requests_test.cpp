// Every public operation of CLTPCreater once against the scripted peer: the bytes the peer
// received must be the request of the operation's catalogue row, byte for byte.
#include "ltpadmin/ltpadmin.h"
#include "support/loopback_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <vector>

using ltptest::LoopbackPeer;
using ltptest::MakeResponse;

namespace {

// Credentials with printf conversions in them: they must go out as they are.
const char kUser[] = "adm%sin";
const char kPassword[] = "p%dw";

std::string Head(const std::string& line) {
    return line + "User-Name: adm%sin\r\nAuthorization: basic p%dw\r\n";
}
std::string Bare(const std::string& line) {
    return Head(line) + "\r\n";
}
std::string Keyed(const std::string& line, const std::string& keys) {
    return Head(line) + "\r\n" + keys + "\r\n";
}
std::string Counted(const std::string& line, const std::string& body) {
    return Head(line) + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}
std::string Line(const std::string& verb, const std::string& object) {
    return verb + "  " + object + "  LTP/1.0\r\n";
}

template <class T> void Release(CList<T*, T*>& list) {
    while (!list.IsEmpty())
        delete list.RemoveHead();
}

// The records and lists the operations are given.
struct Inputs {
    tagUser user = {"u1", "Name", "x3", "x4", "x5", "x6"};
    tagGroup group = {"g1", "d%s"};
    tagProgram program = {7, "t2", "t3", "t4", 1.5, -6, 7, "a", "b", "c", "d", "e", "f"};
    tagChannel channel = {"c1", "n", "x"};
    tagSchedule schedule = {3, "s", 4, 0.25, 2, -1};
    tagGlobal global = {"k", 5, "v3", "v4"};
    MTPSVR mtp = {"x", "y", "z", 7, 8, 9};
    PROGRAMPATH path = {3, "/p/q", 1, 2.5};
    tagSysInfo sysInfo = {};
    char* info = nullptr;
    LONG value = 0;
    char freeText[16] = "a|b<c\r\nd%s";
    CList<tagUser*, tagUser*> users;
    CList<tagGroup*, tagGroup*> groups;
    CList<tagProgram*, tagProgram*> programs;
    CList<tagChannel*, tagChannel*> channels;
    CList<tagSchedule*, tagSchedule*> schedules;
    CList<tagGlobal*, tagGlobal*> globals;
    CList<tagLogEvent*, tagLogEvent*> events;
    CList<PROGRAMSTATISTIC*, PROGRAMSTATISTIC*> statistics;
    CList<tagTOPPrgoram*, tagTOPPrgoram*> tops;
    CList<MTPSVR*, MTPSVR*> mtps;
    CList<PROGRAMPATH*, PROGRAMPATH*> paths;
};

struct Row {
    int number;
    std::function<int(CLTPCreater&, Inputs&)> call;
    std::string expected;
};

const std::string kPeriod =
    "<DateStarted>0.000000000</DateStarted><DateStopped>1.000000000</DateStopped>\r\n";

std::vector<Row> Rows() {
    using A = CLTPCreater;
    using I = Inputs;
    return {
        {1, [](A& a, I& i) { return a.AddInfomation(i.freeText); },
         Counted(Line("Add", "Infomation"), "a|b<c\r\nd%s")},
        {2, [](A& a, I& i) { return a.GetInfomation(&i.info); }, Bare(Line("Get", "Infomation"))},
        {3, [](A& a, I& i) { return a.GetSysInfo(&i.sysInfo); }, Bare(Line("Get", "SysInfo"))},
        {4, [](A& a, I& i) { return a.GetAllLogEvents(&i.events); },
         Bare(Line("Get", "AllLogEvents"))},
        {5, [](A& a, I&) { return a.ClearLogEvents(); }, Bare(Line("Clear", "LogEvents"))},
        {6, [](A& a, I& i) { return a.GetUsers(&i.users); }, Bare(Line("Get", "AllUsers"))},
        {7, [](A& a, I& i) { return a.GetGroups(&i.groups); }, Bare(Line("Get", "AllGroups"))},
        {8, [](A& a, I& i) { return a.GetPrograms(&i.programs); },
         Bare(Line("Get", "AllPrograms"))},
        {9, [](A& a, I& i) { return a.GetChannels(&i.channels); },
         Bare(Line("Get", "AllChannels"))},
        {10, [](A& a, I& i) { return a.GetSchedules(&i.schedules); },
         Bare(Line("Get", "AllSchedules"))},
        {11, [](A& a, I& i) { return a.GetGlobals(&i.globals); }, Bare(Line("Get", "AllGlobals"))},
        {12, [](A& a, I& i) { return a.FindUser("u%s", &i.user); },
         Keyed(Line("Find", "User"), "<UserID>u%s</UserID>")},
        {13, [](A& a, I& i) { return a.FindGroup("g1", &i.group); },
         Keyed(Line("Find", "Group"), "<GroupID>g1</GroupID>")},
        {14, [](A& a, I& i) { return a.FindProgram(-12, &i.program); },
         Keyed(Line("Find", "Program"), "<ProgramID>-12</ProgramID>")},
        {15, [](A& a, I& i) { return a.FindChannel("c1", &i.channel); },
         Keyed(Line("Find", "Channel"), "<ChannelID>c1</ChannelID>")},
        {16, [](A& a, I& i) { return a.FindSchedule(-5, &i.schedule); },
         Keyed(Line("Find", "Schedule"), "<ScheduleID>-5<ScheduleID>")},
        {17, [](A& a, I& i) { return a.FindGlobal("", &i.global); },
         Keyed(Line("Find", "Global"), "<Key></Key>")},
        {18, [](A& a, I& i) { return a.AddUser(&i.user); },
         Counted(Line("Add", "User"), "<User>u1|Name|x3|x4|x5|x6</User>\r\n")},
        {19, [](A& a, I& i) { return a.AddGroup(&i.group); },
         Counted(Line("Add", "Group"), "<Group>g1|d%s</Group>\r\n")},
        {20, [](A& a, I& i) { return a.AddProgram(&i.program); },
         Counted(Line("Add", "Program"),
                 "<Program>7|t2|t3|t4|1.500000|-6|7|a|b|c|d|e|f</Program>\r\n")},
        {21, [](A& a, I& i) { return a.AddChannel(&i.channel); },
         Counted(Line("Add", "Channel"), "<Channel>c1|n|x</Channel>\r\n")},
        {22, [](A& a, I& i) { return a.AddSchedule(&i.schedule); },
         Counted(Line("Add", "Schedule"), "<Schedule>3|s|4|0.250000|2.000000|-1</Schedule>\r\n")},
        {23, [](A& a, I& i) { return a.AddGlobal(&i.global); },
         Counted(Line("Add", "Global"), "<Global>k|5|v3|v4</Global>\r\n")},
        {24, [](A& a, I& i) { return a.ModifyUser(&i.user); },
         Counted(Line("Modify", "User"), "<User>u1|Name|x3|x4|x5|x6</User>\r\n")},
        {25, [](A& a, I& i) { return a.ModifyGroup(&i.group); },
         Counted(Line("Modify", "Group"), "<Group>g1|d%s</Group>\r\n")},
        // The add above read no identifier back (empty response): it wrote 0.
        {26, [](A& a, I& i) { return a.ModifyProgram(&i.program); },
         Counted(Line("Modify", "Program"),
                 "<Program>0|t2|t3|t4|1.500000|-6|7|a|b|c|d|e|f</Program>\r\n")},
        {27, [](A& a, I& i) { return a.ModifyChannel(&i.channel); },
         Counted(Line("Modify", "Channel"), "<Channel>c1|n|x</Channel>\r\n")},
        {28, [](A& a, I& i) { return a.ModifySchedule(&i.schedule); },
         Counted("Modify Schedule  LTP/1.0\r\n",
                 "<Schedule>0|s|4|0.250000|2.000000|-1</Schedule>\r\n")},
        {29, [](A& a, I& i) { return a.ModifyGlobal(&i.global); },
         Counted(Line("Modify", "Global"), "<Global>k|5|v3|v4</Global>\r\n")},
        {30, [](A& a, I&) { return a.DeleteUser("u1"); },
         Keyed(Line("Delete", "User"), "<UserID>u1</UserID>")},
        {31, [](A& a, I&) { return a.DeleteGroup("g1"); },
         Keyed(Line("Delete", "Group"), "<GroupID>g1</GroupID>")},
        {32, [](A& a, I&) { return a.DeleteProgram(2147483647); },
         Keyed(Line("Delete", "Program"), "<ProgramID>2147483647</ProgramID>")},
        {33, [](A& a, I&) { return a.DeleteChannel("c1"); },
         Keyed(Line("Delete", "Channel"), "<ChannelID>c1</ChannelID>")},
        {34, [](A& a, I&) { return a.DeleteSchedule(9); },
         Keyed(Line("Delete", "Schedule"), "<ScheduleID>9<ScheduleID>")},
        {35, [](A& a, I&) { return a.DeleteGlobal("k"); },
         Keyed(Line("Delete", "Global"), "<Key>k</Key>")},
        {36, [](A& a, I& i) { return a.GetGroupUsers("g1", &i.users); },
         Keyed(Line("Get", "GroupUsers"), "<GroupID>g1</GroupID>")},
        {37, [](A& a, I& i) { return a.GetUserGroups("u1", &i.groups); },
         Keyed(Line("Get", "UserGroups"), "<UserID>u1</UserID>")},
        {38, [](A& a, I& i) { return a.GetChannelSchedules("c1", &i.schedules); },
         Keyed(Line("Get", "ChannelSchedules"), "<ChannelID>c1</ChannelID>")},
        {39, [](A& a, I& i) { return a.GetScheduleChannel(-5, &i.channel); },
         Keyed(Line("Get", "ScheduleChannel"), "<ScheduleID>-5<ScheduleID>")},
        {40, [](A& a, I& i) { return a.GetUserRights("u1", 4, &i.value); },
         Keyed(Line("Get", "UserRights"), "<UserID>u1</UserID><ProgramID>4</ProgramID>")},
        {41, [](A& a, I& i) { return a.GetGroupRights("g1", 4, &i.value); },
         Keyed(Line("Get", "GroupRights"), "<GroupID>g1</GroupID><ProgramID>4</ProgramID>")},
        {42, [](A& a, I& i) { return a.GetGrantedGroups(4, &i.groups); },
         Keyed(Line("Get", "GrantedGroups"), "<ProgramID>4</ProgramID>")},
        {43, [](A& a, I& i) { return a.GetGrantedUsers(4, &i.users); },
         Keyed(Line("Get", "GrantedUsers"), "<ProgramID>4</ProgramID>")},
        {44, [](A& a, I&) { return a.AddUserToGroup("u1", "g1"); },
         Keyed(Line("Add", "UserToGroup"), "<UserID>u1</UserID><GroupID>g1</GroupID>")},
        {45, [](A& a, I&) { return a.DeleteUserFromGroup("u1", "g1"); },
         Keyed(Line("Delete", "UserFromGroup"), "<UserID>u1</UserID><GroupID>g1</GroupID>")},
        {46, [](A& a, I&) { return a.AddUserRights("u1", 4, -3); },
         Keyed(Line("Add", "UserRights"),
               "<UserID>u1</UserID><ProgramID>4</ProgramID><UserRights>-3</UserRights>")},
        {47, [](A& a, I&) { return a.ModifyUserRights("u1", 4, 6); },
         Keyed(Line("Modify", "UserRights"),
               "<UserID>u1</UserID><ProgramID>4</ProgramID><UserRights>6</UserRights>")},
        {48, [](A& a, I&) { return a.DeleteUserRights("u1", 4); },
         Keyed(Line("Delete", "UserRights"), "<UserID>u1</UserID><ProgramID>4</ProgramID>")},
        {49, [](A& a, I&) { return a.AddGroupRights("g1", 4, 1); },
         Keyed(Line("Add", "GroupRights"),
               "<GroupID>g1</GroupID><ProgramID>4</ProgramID><GroupRights>1</GroupRights>")},
        {50, [](A& a, I&) { return a.ModifyGroupRights("g1", 4, 2); },
         Keyed(Line("Modify", "GroupRights"),
               "<GroupID>g1</GroupID><ProgramID>4</ProgramID><GroupRights>2</GroupRights>")},
        {51, [](A& a, I&) { return a.DeleteGroupRights("g1", 4); },
         Keyed(Line("Delete", "GroupRights"), "<GroupID>g1</GroupID><ProgramID>4</ProgramID>")},
        {52, [](A& a, I& i) { return a.GetUserPermission("u1", 4, &i.value); },
         Keyed(Line("Get", "UserPermission"), "<UserID>u1</UserID><ProgramID>4</ProgramID>")},
        {53, [](A& a, I&) { return a.ApplyPermissionToDescendants(4); },
         Keyed(Line("Apply", "PermissionToDescentdants"), "<ProgramID>4</ProgramID>")},
        {54, [](A& a, I&) { return a.MoveProgram(5, 9); },
         Keyed(Line("Move", "Program"), "<ProgramID>5</ProgramID><ProgramID>9</ProgramID>")},
        {55, [](A& a, I&) { return a.CopyProgram(9, 5); },
         Keyed(Line("Copy", "Program"), "<ProgramID>9</ProgramID><ProgramID>5</ProgramID>")},
        {56, [](A& a, I& i) { return a.GetUserProgramStatistics("ab", 0, 1, &i.statistics); },
         Counted(Line("Get", "UserProgramStatistics"), "<UserName>ab</UserName>" + kPeriod)},
        {57, [](A& a, I& i) { return a.GetProgramStatistics(4, -1.25, 1e10, &i.statistics); },
         Counted(Line("Get", "ProgramStatistics"),
                 "<ProgramID>4</ProgramID><DateStarted>-1.250000000</DateStarted>"
                 "<DateStopped>10000000000.000000000</DateStopped>\r\n")},
        {58, [](A& a, I& i) { return a.GetTOPPrograms(10, 0, 1, &i.tops); },
         Counted(Line("Get", "TOPPrograms"), "<TOPCount>10</TOPCount>" + kPeriod)},
        {59, [](A& a, I& i) { return a.AddPathToProgram(&i.path); },
         Counted(Line("Add", "PathTOProgram"),
                 "<ProgramPath>3|/p/q|1.000000000|2.500000000</ProgramPath>\r\n")},
        {60, [](A& a, I& i) { return a.GetMTPSvrs(&i.mtps); }, Bare(Line("Get", "AllMTPSvrs"))},
        {61, [](A& a, I& i) { return a.FindMTPSvr("c1", &i.mtp); },
         Keyed(Line("Find", "MTPSvr"), "<ChannelID>c1</ChannelID>")},
        {62, [](A& a, I& i) { return a.AddMTPSvr(&i.mtp); },
         Counted(Line("Add", "MTPSvr"), "<MTPSvr>x|y|z|8|9</MTPSvr>\r\n")},
        {63, [](A& a, I& i) { return a.ModifyMTPSvr(&i.mtp); },
         Counted(Line("Modify", "MTPSvr"), "<MTPSvr>x|y|z|8|9</MTPSvr>\r\n")},
        {64, [](A& a, I&) { return a.DeleteMTPSvr(""); },
         Keyed(Line("Delete", "MTPSvr"), "<MTPSvrName></MTPSvrName>")},
        {65, [](A& a, I& i) { return a.GetProgramPath(12, &i.paths); },
         Keyed("Get ProgramPath  LTP/1.0\r\n", "<ProgramID>12</ProgramID>")},
        {66, [](A& a, I&) { return a.DelPathFromProgram(3, "/p/q"); },
         Keyed(Line("Delete", "PathFromProgram"),
               "<ProgramID>3</ProgramID><ProgramPath>/p/q</ProgramPath>")},
    };
}

} // namespace

TEST(AdminRequests, EveryOperationSendsItsCatalogueRowByteForByte) {
    const std::vector<Row> rows = Rows();
    std::set<int> numbers;
    for (const Row& row : rows)
        numbers.insert(row.number);
    ASSERT_EQ(numbers.size(), 66u);
    ASSERT_EQ(*numbers.begin(), 1);
    ASSERT_EQ(*numbers.rbegin(), 66);

    LoopbackPeer peer;
    peer.ServeEach([](const std::string&) { return MakeResponse(200, " OK", ""); }).Start();
    CLTPCreater admin;
    admin.SetServerAddressPort(peer.Address(), peer.Port());
    ASSERT_EQ(admin.LogIn("127.0.0.1", kUser, kPassword), 1);
    Inputs inputs;
    for (const Row& row : rows) {
        const int result = row.call(admin, inputs);
        EXPECT_EQ(admin.GetLastError(), 0u) << "row " << row.number;
        // Only a system information without a record is a failure of a successful response.
        EXPECT_EQ(result, row.number == 3 ? 0 : 1) << "row " << row.number;
    }
    admin.LogOut();
    ASSERT_TRUE(peer.Finish());
    const std::vector<std::string> requests = peer.Requests();
    ASSERT_EQ(requests.size(), rows.size());
    for (size_t k = 0; k < rows.size(); ++k)
        EXPECT_EQ(requests[k], rows[k].expected) << "row " << rows[k].number;
    // Nothing was read into the lists from empty bodies.
    EXPECT_TRUE(inputs.users.IsEmpty() && inputs.groups.IsEmpty() && inputs.paths.IsEmpty());
}

// A long text goes out from the request text itself. When the answer comes before all of it has
// gone (a server that answers after the head), the rest must still go out intact after the call
// returns, even once the caller has changed or freed the request text.
TEST(AdminRequests, TheRestOfARequestAnsweredEarlyGoesOutIntactAfterTheTextChanges) {
    // More than the socket buffers of both sides hold, so that the answer overtakes the request.
    const std::string text(32u << 20, 't');
    const std::string request =
        Counted(Line("Add", "Infomation"), text); // what the server must receive, all of it
    const size_t early = 256;
    LoopbackPeer peer;
    peer.ExpectBytes(early)
        .Send(MakeResponse(200, " OK", ""))
        .ExpectBytes(request.size() - early)
        .Close()
        .Start();
    struct Admin : CLTPCreater {
        using CLTPCreater::m_strRequest;
    } admin;
    admin.SetServerAddressPort(peer.Address(), peer.Port());
    ASSERT_EQ(admin.LogIn("127.0.0.1", kUser, kPassword), 1);
    ASSERT_EQ(admin.AddInfomation(const_cast<char*>(text.c_str())), 1)
        << "GetLastError " << static_cast<LONG>(admin.GetLastError());
    // Other bytes where the request went out from (the string keeps its block).
    const std::string junk(request.size(), 'j');
    admin.m_strRequest = junk.c_str();

    // The rest goes out as the thread pumps its messages.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    UINT_PTR timer = SetTimer(nullptr, 0, 20, nullptr);
    while (peer.Received().size() < request.size() && std::chrono::steady_clock::now() < until) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&m);
        WaitMessage();
    }
    KillTimer(nullptr, timer);
    ASSERT_TRUE(peer.Finish());
    EXPECT_TRUE(peer.Failures().empty());
    EXPECT_TRUE(peer.Received() == request)
        << "received " << peer.Received().size() << " of " << request.size() << " bytes";
}
