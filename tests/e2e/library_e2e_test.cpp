// The library itself against ltpd: one CLTPCreater logged in, operations back to back, the
// records and numbers as the server keeps them.
#include "support/fixture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <ltpadmin/ltpadmin.h>

namespace {

template <class T> struct Owned {
    CList<T*, T*> list;
    ~Owned() {
        while (!list.IsEmpty())
            delete list.RemoveHead();
    }
    std::vector<T*> Items() {
        std::vector<T*> items;
        for (POSITION p = list.GetHeadPosition(); p;)
            items.push_back(list.GetNext(p));
        return items;
    }
};

class Library : public e2e::WithServer {
protected:
    void SetUp() override {
        e2e::WithServer::SetUp();
        admin.SetServerAddressPort(inet_addr("127.0.0.1"), static_cast<unsigned>(server.Port()));
        ASSERT_TRUE(admin.LogIn("127.0.0.1", "admin", "secret"));
    }
    void TearDown() override { admin.LogOut(); }

    std::string Reason() { return std::string(admin.GetErrorDescription().GetString()); }
    // The status code of the last response.
    int Status() {
        const CMessage& response = admin.GetReadMessage();
        const std::string line(response.GetData() ? response.GetData() : "", response.GetLength());
        const size_t blank = line.find(' ');
        return blank == std::string::npos ? -1 : std::atoi(line.c_str() + blank + 1);
    }

    CLTPCreater admin;
};

TEST_F(Library, UserLifeCycle) {
    Owned<tagUser> before;
    ASSERT_TRUE(admin.GetUsers(&before.list));
    EXPECT_EQ(before.list.GetCount(), 5);

    tagUser u{};
    std::strcpy(u.UserID, "libuser");
    std::strcpy(u.Text2, "Library User");
    std::strcpy(u.Text4, "lib@example.org");
    ASSERT_TRUE(admin.AddUser(&u)) << Reason();
    EXPECT_FALSE(admin.AddUser(&u));
    EXPECT_EQ(static_cast<LONG>(admin.GetLastError()), 0);
    EXPECT_EQ(Status(), 409);
    EXPECT_NE(Reason().find("already exists"), std::string::npos) << Reason();

    tagUser found{};
    ASSERT_TRUE(admin.FindUser("libuser", &found));
    EXPECT_STREQ(found.Text2, "Library User");
    EXPECT_STREQ(found.Text4, "lib@example.org");

    std::strcpy(u.Text3, "Research");
    ASSERT_TRUE(admin.ModifyUser(&u));
    tagUser again{};
    ASSERT_TRUE(admin.FindUser("libuser", &again));
    EXPECT_STREQ(again.Text3, "Research");

    ASSERT_TRUE(admin.DeleteUser("libuser"));
    tagUser none{};
    EXPECT_FALSE(admin.FindUser("libuser", &none));
    Owned<tagUser> after;
    ASSERT_TRUE(admin.GetUsers(&after.list));
    EXPECT_EQ(after.list.GetCount(), 5);
}

TEST_F(Library, NewProgramsAndSchedulesGetTheServersNumbers) {
    tagProgram p{};
    std::strcpy(p.Text2, "From the library");
    p.Real5 = 12.5;
    ASSERT_TRUE(admin.AddProgram(&p)) << Reason();
    EXPECT_GT(p.ProgramID, 9);
    tagProgram q = p;
    q.ProgramID = 0;
    ASSERT_TRUE(admin.AddProgram(&q));
    EXPECT_NE(q.ProgramID, p.ProgramID);

    tagProgram found{};
    ASSERT_TRUE(admin.FindProgram(p.ProgramID, &found));
    EXPECT_STREQ(found.Text2, "From the library");
    EXPECT_DOUBLE_EQ(found.Real5, 12.5);

    tagSchedule s{};
    std::strcpy(s.Text2, "news24");
    s.Number3 = p.ProgramID;
    s.Real4 = 46363.75;
    s.Real5 = 46363.8125;
    s.Number6 = 127;
    ASSERT_TRUE(admin.AddSchedule(&s)) << Reason();
    EXPECT_GT(s.ScheduleID, 0);
    tagChannel channel{};
    ASSERT_TRUE(admin.GetScheduleChannel(s.ScheduleID, &channel));
    EXPECT_STREQ(channel.ChannelID, "news24");
    s.Real5 = 46363.875;
    ASSERT_TRUE(admin.ModifySchedule(&s));
    tagSchedule back{};
    ASSERT_TRUE(admin.FindSchedule(s.ScheduleID, &back));
    EXPECT_DOUBLE_EQ(back.Real5, 46363.875);
    ASSERT_TRUE(admin.DeleteSchedule(s.ScheduleID));
    EXPECT_FALSE(admin.FindSchedule(s.ScheduleID, &back));
}

TEST_F(Library, MoveAndCopyPrograms) {
    tagProgram parent{};
    std::strcpy(parent.Text2, "Parent");
    ASSERT_TRUE(admin.AddProgram(&parent));
    tagProgram child{};
    std::strcpy(child.Text2, "Child");
    child.Number6 = parent.ProgramID;
    ASSERT_TRUE(admin.AddProgram(&child));

    // Move the child below program 4, then back.
    ASSERT_TRUE(admin.MoveProgram(child.ProgramID, 4)) << Reason();
    tagProgram found{};
    ASSERT_TRUE(admin.FindProgram(child.ProgramID, &found));
    EXPECT_EQ(found.Number6, 4);
    ASSERT_TRUE(admin.MoveProgram(child.ProgramID, parent.ProgramID));

    // Copying the parent to the top copies its child as well.
    Owned<tagProgram> before;
    ASSERT_TRUE(admin.GetPrograms(&before.list));
    ASSERT_TRUE(admin.CopyProgram(parent.ProgramID, 0)) << Reason();
    Owned<tagProgram> after;
    ASSERT_TRUE(admin.GetPrograms(&after.list));
    ASSERT_EQ(after.list.GetCount(), before.list.GetCount() + 2);
    LONG copyOfParent = 0;
    for (tagProgram* p : after.Items())
        if (std::strcmp(p->Text2, "Parent") == 0 && p->ProgramID != parent.ProgramID)
            copyOfParent = p->ProgramID;
    ASSERT_NE(copyOfParent, 0);
    bool childCopied = false;
    for (tagProgram* p : after.Items())
        childCopied =
            childCopied || (std::strcmp(p->Text2, "Child") == 0 && p->Number6 == copyOfParent);
    EXPECT_TRUE(childCopied);

    // Below its own descendant: refused, nothing moved.
    EXPECT_FALSE(admin.MoveProgram(parent.ProgramID, child.ProgramID));
    EXPECT_EQ(Status(), 409);
    EXPECT_NE(Reason().find("below itself"), std::string::npos) << Reason();
    ASSERT_TRUE(admin.FindProgram(parent.ProgramID, &found));
    EXPECT_EQ(found.Number6, 0);
    // Moving or copying what does not exist.
    EXPECT_FALSE(admin.MoveProgram(99999, 0));
    EXPECT_FALSE(admin.CopyProgram(parent.ProgramID, 99999));
}

TEST_F(Library, RightsAndPermission) {
    ASSERT_TRUE(admin.AddUserToGroup("dave", "editors"));
    LONG rights = -1;
    ASSERT_TRUE(admin.GetGroupRights("editors", 4, &rights));
    EXPECT_EQ(rights, 7);
    ASSERT_TRUE(admin.AddUserRights("dave", 4, 8));
    LONG permission = -1;
    ASSERT_TRUE(admin.GetUserPermission("dave", 4, &permission));
    EXPECT_EQ(permission, 15) << "own 8, editors 7, viewers 1";
    ASSERT_TRUE(admin.DeleteUserFromGroup("dave", "editors"));
    ASSERT_TRUE(admin.GetUserPermission("dave", 4, &permission));
    EXPECT_EQ(permission, 9);

    Owned<tagUser> users;
    ASSERT_TRUE(admin.GetGrantedUsers(4, &users.list));
    bool dave = false;
    for (tagUser* u : users.Items())
        dave = dave || std::strcmp(u->UserID, "dave") == 0;
    EXPECT_TRUE(dave);
    Owned<tagGroup> groups;
    ASSERT_TRUE(admin.GetGrantedGroups(4, &groups.list));
    EXPECT_EQ(groups.list.GetCount(), 3);

    // Unknown user or program: refused, the out value left alone.
    rights = 42;
    EXPECT_FALSE(admin.GetUserRights("nobody", 4, &rights));
    EXPECT_EQ(rights, 42);
    EXPECT_FALSE(admin.GetUserRights("dave", 99999, &rights));
    EXPECT_EQ(Status(), 404);
    EXPECT_NE(Reason().find("99999"), std::string::npos) << Reason();
}

TEST_F(Library, StatisticsAndTopPrograms) {
    Owned<tagTOPPrgoram> top;
    ASSERT_TRUE(admin.GetTOPPrograms(5, 0.0, 2958465.0, &top.list)) << Reason();
    ASSERT_EQ(top.list.GetCount(), 5);
    long total = 0;
    LONG previous = 0x7fffffff;
    for (tagTOPPrgoram* t : top.Items()) {
        EXPECT_LE(t->Number2, previous);
        previous = t->Number2;
        total += t->Number2;
    }
    EXPECT_GT(total, 0);

    Owned<PROGRAMSTATISTIC> perUser;
    ASSERT_TRUE(admin.GetUserProgramStatistics("bob", 0.0, 2958465.0, &perUser.list));
    for (PROGRAMSTATISTIC* s : perUser.Items()) {
        EXPECT_STREQ(s->Text2, "bob");
        EXPECT_GT(s->Number3, 0);
        EXPECT_LE(s->Real5, s->Real6);
    }
    // A period upside down is refused.
    Owned<PROGRAMSTATISTIC> none;
    EXPECT_FALSE(admin.GetProgramStatistics(2, 10.0, 5.0, &none.list));
    EXPECT_EQ(none.list.GetCount(), 0);
}

TEST_F(Library, ServerTextsAndRegisters) {
    char text[] = "Set from the library";
    ASSERT_TRUE(admin.AddInfomation(text));
    char* info = nullptr;
    ASSERT_TRUE(admin.GetInfomation(&info));
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info, "Set from the library");

    tagSysInfo sys{};
    ASSERT_TRUE(admin.GetSysInfo(&sys));
    EXPECT_GE(sys.Number3, 1);
    EXPECT_GE(sys.Number2, 1) << "this connection is open";

    MTPSVR m{};
    std::strcpy(m.MTPSvrName, "mtp-lib");
    std::strcpy(m.Text2, "lib.example.net");
    m.Number4 = 77; // never sent
    m.Number5 = 9;
    ASSERT_TRUE(admin.AddMTPSvr(&m));
    MTPSVR found{};
    ASSERT_TRUE(admin.FindMTPSvr("mtp-lib", &found));
    EXPECT_STREQ(found.Text2, "lib.example.net");
    EXPECT_EQ(found.Number5, 9);
    ASSERT_TRUE(admin.DeleteMTPSvr("mtp-lib"));

    PROGRAMPATH path{};
    path.ProgramID = 3;
    std::strcpy(path.ProgramPath, "/lib/path");
    path.Real3 = 46000.5;
    ASSERT_TRUE(admin.AddPathToProgram(&path));
    Owned<PROGRAMPATH> paths;
    ASSERT_TRUE(admin.GetProgramPath(3, &paths.list));
    bool seen = false;
    for (PROGRAMPATH* p : paths.Items())
        seen = seen || (std::strcmp(p->ProgramPath, "/lib/path") == 0 && p->Real3 == 46000.5);
    EXPECT_TRUE(seen);
    ASSERT_TRUE(admin.DelPathFromProgram(3, "/lib/path"));

    Owned<tagLogEvent> log;
    ASSERT_TRUE(admin.GetAllLogEvents(&log.list));
    EXPECT_GE(log.list.GetCount(), 4);
    ASSERT_TRUE(admin.ClearLogEvents());
}

TEST_F(Library, AWrongPasswordIsRefusedWithStatusAndReason) {
    CLTPCreater wrong;
    wrong.SetServerAddressPort(inet_addr("127.0.0.1"), static_cast<unsigned>(server.Port()));
    ASSERT_TRUE(wrong.LogIn("127.0.0.1", "admin", "not-the-password"));
    Owned<tagGroup> groups;
    EXPECT_FALSE(wrong.GetGroups(&groups.list));
    EXPECT_EQ(static_cast<LONG>(wrong.GetLastError()), 0);
    EXPECT_FALSE(std::string(wrong.GetErrorDescription().GetString()).empty());
    EXPECT_EQ(groups.list.GetCount(), 0);
    wrong.LogOut();
}

TEST_F(Library, SeveralSessionsOpenAtOnce) {
    // Each session keeps its own connection; the server sees them all open and serves them in
    // any order.
    CLTPCreater sessions[3];
    for (CLTPCreater& s : sessions) {
        s.SetServerAddressPort(inet_addr("127.0.0.1"), static_cast<unsigned>(server.Port()));
        ASSERT_TRUE(s.LogIn("127.0.0.1", "admin", "secret"));
    }
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 3; ++i) {
            tagGroup g{};
            std::snprintf(g.GroupID, sizeof g.GroupID, "s%d-r%d", i, round);
            ASSERT_TRUE(sessions[i].AddGroup(&g)) << i << "/" << round;
        }
    tagSysInfo sys{};
    ASSERT_TRUE(sessions[1].GetSysInfo(&sys));
    EXPECT_GE(sys.Number2, 4) << "three sessions and the fixture's";
    Owned<tagGroup> groups;
    ASSERT_TRUE(admin.GetGroups(&groups.list));
    EXPECT_EQ(groups.list.GetCount(), 3 + 9);
    for (CLTPCreater& s : sessions)
        s.LogOut();
}

} // namespace
