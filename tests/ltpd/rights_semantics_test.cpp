// Memberships, rights, permission, applying grants below a program, moving and copying.
#include "service_fixture.h"

namespace ltpd {
namespace {

class Rights : public ServiceFixture {
protected:
    void SetUp() override {
        for (const char* u : {"ann", "ben"})
            ASSERT_EQ(Call(18, Rec("User", std::string(u) + "|||||")).status, 200);
        for (const char* g : {"eds", "ops"})
            ASSERT_EQ(Call(19, Rec("Group", std::string(g) + "|")).status, 200);
        // 1 Root, 2 Child of 1, 3 Grandchild of 2, 4 Other at the top.
        ASSERT_EQ(Call(20, Rec("Program", "0|Root|||0|0|0||||||")).status, 200);
        ASSERT_EQ(Call(20, Rec("Program", "0|Child|||0|1|0||||||")).status, 200);
        ASSERT_EQ(Call(20, Rec("Program", "0|Grandchild|||0|2|0||||||")).status, 200);
        ASSERT_EQ(Call(20, Rec("Program", "0|Other|||0|0|0||||||")).status, 200);
    }
    std::string UserGroup(const std::string& u, const std::string& g) {
        return El("UserID", u) + El("GroupID", g) + "\r\n";
    }
    std::string UserRights(const std::string& u, int p, int rights) {
        return El("UserID", u) + El("ProgramID", std::to_string(p)) +
               El("UserRights", std::to_string(rights)) + "\r\n";
    }
    std::string GroupRights(const std::string& g, int p, int rights) {
        return El("GroupID", g) + El("ProgramID", std::to_string(p)) +
               El("GroupRights", std::to_string(rights)) + "\r\n";
    }
    std::string Pair(const char* tag, const std::string& who, int p) {
        return El(tag, who) + El("ProgramID", std::to_string(p)) + "\r\n";
    }
    std::string Parent(int program) {
        Response r = Call(14, El("ProgramID", std::to_string(program)) + "\r\n");
        size_t p = 0;
        for (int bars = 0; bars < 5; ++bars)
            p = r.body.find('|', p) + 1;
        return r.body.substr(p, r.body.find('|', p) - p);
    }
};

TEST_F(Rights, Memberships) {
    EXPECT_EQ(Answer(44, UserGroup("ann", "eds")), "200 ");
    EXPECT_EQ(Call(44, UserGroup("ann", "eds")).status, 409);
    EXPECT_EQ(Answer(44, UserGroup("ben", "eds")), "200 ");
    EXPECT_EQ(Answer(44, UserGroup("ann", "ops")), "200 ");
    EXPECT_EQ(Call(44, UserGroup("zed", "eds")).status, 404);
    EXPECT_EQ(Call(44, UserGroup("ann", "zzz")).status, 404);
    EXPECT_EQ(Answer(36, El("GroupID", "eds") + "\r\n"),
              "200 " + Rec("User", "ann|||||") + Rec("User", "ben|||||"));
    EXPECT_EQ(Answer(37, El("UserID", "ann") + "\r\n"),
              "200 " + Rec("Group", "eds|") + Rec("Group", "ops|"));
    EXPECT_EQ(Call(36, El("GroupID", "zzz") + "\r\n").status, 404);
    EXPECT_EQ(Answer(45, UserGroup("ann", "eds")), "200 ");
    EXPECT_EQ(Call(45, UserGroup("ann", "eds")).status, 404);
    EXPECT_EQ(Answer(36, El("GroupID", "eds") + "\r\n"), "200 " + Rec("User", "ben|||||"));
    // Deleting a user ends his memberships.
    EXPECT_EQ(Call(30, El("UserID", "ben") + "\r\n").status, 200);
    EXPECT_EQ(Answer(36, El("GroupID", "eds") + "\r\n"), "200 ");
}

TEST_F(Rights, GrantsOfUsersAndGroups) {
    EXPECT_EQ(Answer(40, Pair("UserID", "ann", 1)), "200 <UserRights>0</UserRights>\r\n");
    EXPECT_EQ(Answer(46, UserRights("ann", 1, 5)), "200 ");
    EXPECT_EQ(Call(46, UserRights("ann", 1, 6)).status, 409);
    EXPECT_EQ(Answer(40, Pair("UserID", "ann", 1)), "200 <UserRights>5</UserRights>\r\n");
    EXPECT_EQ(Answer(47, UserRights("ann", 1, -3)), "200 ");
    EXPECT_EQ(Answer(40, Pair("UserID", "ann", 1)), "200 <UserRights>-3</UserRights>\r\n");
    EXPECT_EQ(Call(47, UserRights("ann", 2, 1)).status, 404);
    EXPECT_EQ(Call(46, UserRights("ann", 99, 1)).status, 404);
    EXPECT_EQ(Call(46, UserRights("nobody", 1, 1)).status, 404);
    EXPECT_EQ(Answer(43, "<ProgramID>1</ProgramID>\r\n"), "200 " + Rec("User", "ann|||||"));
    EXPECT_EQ(Answer(48, Pair("UserID", "ann", 1)), "200 ");
    EXPECT_EQ(Call(48, Pair("UserID", "ann", 1)).status, 404);
    EXPECT_EQ(Answer(43, "<ProgramID>1</ProgramID>\r\n"), "200 ");

    EXPECT_EQ(Answer(49, GroupRights("ops", 1, 2)), "200 ");
    EXPECT_EQ(Call(49, GroupRights("ops", 1, 2)).status, 409);
    EXPECT_EQ(Answer(50, GroupRights("ops", 1, 10)), "200 ");
    EXPECT_EQ(Answer(41, Pair("GroupID", "ops", 1)), "200 <GroupRights>10</GroupRights>\r\n");
    EXPECT_EQ(Answer(42, "<ProgramID>1</ProgramID>\r\n"), "200 " + Rec("Group", "ops|"));
    EXPECT_EQ(Call(42, "<ProgramID>99</ProgramID>\r\n").status, 404);
    EXPECT_EQ(Answer(51, Pair("GroupID", "ops", 1)), "200 ");
    EXPECT_EQ(Call(51, Pair("GroupID", "ops", 1)).status, 404);
}

TEST_F(Rights, PermissionIsOwnRightsOrGroupRights) {
    ASSERT_EQ(Call(44, UserGroup("ann", "eds")).status, 200);
    ASSERT_EQ(Call(44, UserGroup("ann", "ops")).status, 200);
    ASSERT_EQ(Call(46, UserRights("ann", 1, 1)).status, 200);
    ASSERT_EQ(Call(49, GroupRights("eds", 1, 2)).status, 200);
    ASSERT_EQ(Call(49, GroupRights("ops", 1, 8)).status, 200);
    ASSERT_EQ(Call(49, GroupRights("ops", 2, 4)).status, 200); // another program
    EXPECT_EQ(Answer(52, Pair("UserID", "ann", 1)), "200 <UserPermission>11</UserPermission>\r\n");
    EXPECT_EQ(Answer(52, Pair("UserID", "ben", 1)), "200 <UserPermission>0</UserPermission>\r\n");
    EXPECT_EQ(Call(52, Pair("UserID", "zed", 1)).status, 404);
    // Leaving a group takes its rights away.
    ASSERT_EQ(Call(45, UserGroup("ann", "ops")).status, 200);
    EXPECT_EQ(Answer(52, Pair("UserID", "ann", 1)), "200 <UserPermission>3</UserPermission>\r\n");
}

TEST_F(Rights, ApplyGivesEveryDescendantExactlyTheProgramsGrants) {
    ASSERT_EQ(Call(46, UserRights("ann", 1, 7)).status, 200);
    ASSERT_EQ(Call(49, GroupRights("eds", 1, 1)).status, 200);
    ASSERT_EQ(Call(46, UserRights("ben", 3, 15)).status, 200); // replaced below
    ASSERT_EQ(Call(46, UserRights("ben", 4, 15)).status, 200); // not below 1: kept
    EXPECT_EQ(Answer(53, "<ProgramID>1</ProgramID>\r\n"), "200 ");
    for (int p : {2, 3}) {
        SCOPED_TRACE(p);
        EXPECT_EQ(Answer(40, Pair("UserID", "ann", p)), "200 <UserRights>7</UserRights>\r\n");
        EXPECT_EQ(Answer(41, Pair("GroupID", "eds", p)), "200 <GroupRights>1</GroupRights>\r\n");
        EXPECT_EQ(Answer(40, Pair("UserID", "ben", p)), "200 <UserRights>0</UserRights>\r\n");
    }
    EXPECT_EQ(Answer(40, Pair("UserID", "ben", 4)), "200 <UserRights>15</UserRights>\r\n");
    EXPECT_EQ(Call(53, "<ProgramID>99</ProgramID>\r\n").status, 404);
}

TEST_F(Rights, MoveTakesTheFirstProgramBelowTheSecond) {
    EXPECT_EQ(Answer(54, "<ProgramID>3</ProgramID><ProgramID>4</ProgramID>\r\n"), "200 ");
    EXPECT_EQ(Parent(3), "4");
    EXPECT_EQ(Answer(54, "<ProgramID>2</ProgramID><ProgramID>0</ProgramID>\r\n"), "200 ");
    EXPECT_EQ(Parent(2), "0");
    // Not below itself or its own descendants.
    EXPECT_EQ(Call(54, "<ProgramID>4</ProgramID><ProgramID>4</ProgramID>\r\n").status, 409);
    EXPECT_EQ(Call(54, "<ProgramID>4</ProgramID><ProgramID>3</ProgramID>\r\n").status, 409);
    EXPECT_EQ(Call(54, "<ProgramID>99</ProgramID><ProgramID>1</ProgramID>\r\n").status, 404);
    EXPECT_EQ(Call(54, "<ProgramID>1</ProgramID><ProgramID>99</ProgramID>\r\n").status, 404);
}

TEST_F(Rights, CopyDuplicatesTheSubtreeWithGrantsAndPaths) {
    ASSERT_EQ(Call(46, UserRights("ann", 2, 7)).status, 200);
    ASSERT_EQ(Call(59, Rec("ProgramPath", "3|/media/g|1.000000000|2.000000000")).status, 200);
    EXPECT_EQ(Answer(55, "<ProgramID>2</ProgramID><ProgramID>4</ProgramID>\r\n"), "200 ");
    // New programs 5 (copy of 2) below 4 and 6 (copy of 3) below 5.
    EXPECT_EQ(Parent(5), "4");
    EXPECT_EQ(Parent(6), "5");
    EXPECT_NE(Call(14, "<ProgramID>6</ProgramID>\r\n").body.find("|Grandchild|"),
              std::string::npos);
    EXPECT_EQ(Answer(40, Pair("UserID", "ann", 5)), "200 <UserRights>7</UserRights>\r\n");
    EXPECT_EQ(Answer(65, "<ProgramID>6</ProgramID>\r\n"),
              "200 " + Rec("ProgramPath", "6|/media/g|1.000000000|2.000000000"));
    // The original stays where it was.
    EXPECT_EQ(Parent(2), "1");
    // Copying a program below itself copies what was there once.
    EXPECT_EQ(Answer(55, "<ProgramID>1</ProgramID><ProgramID>3</ProgramID>\r\n"), "200 ");
    EXPECT_EQ(Count(Call(8).body, "Program"), 6u + 3u);
}

// A chain far deeper than any walk with a fixed depth limit: 5 below 2, 6 below 5, ... down to
// kDeepest. Written straight into the table, as a database grown over years would hold it.
constexpr int kDeepest = 30004;

class DeepTree : public Rights {
protected:
    void SetUp() override {
        Rights::SetUp();
        db.Exec("WITH RECURSIVE n(i) AS (SELECT 5 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                std::to_string(kDeepest) +
                ") INSERT INTO programs (id, text2, real5, number6, number7) "
                "SELECT i, 'deep', 0, CASE WHEN i = 5 THEN 2 ELSE i - 1 END, 0 FROM n");
    }
    static std::string Two(int a, int b) {
        return El("ProgramID", std::to_string(a)) + El("ProgramID", std::to_string(b)) + "\r\n";
    }
};

TEST_F(DeepTree, NoProgramGoesBelowItsOwnDescendantAtAnyDepth) {
    const std::string deepest = std::to_string(kDeepest);
    struct Case {
        const char* what;
        int row;
        std::string body;
        int status;
    } cases[] = {
        {"move the root below the deepest", 54, Two(1, kDeepest), 409},
        {"move the chain's head below its tail", 54, Two(5, kDeepest), 409},
        {"re-parent the root below the deepest", 26,
         Rec("Program", "1|Root|||0|" + deepest + "|0||||||"), 409},
        {"move the deepest to the top", 54, Two(kDeepest, 0), 200},
        {"and back below the root", 54, Two(kDeepest, 1), 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Call(c.row, c.body).status, c.status);
    }
    EXPECT_EQ(Parent(1), "0");
}

TEST_F(DeepTree, CopyAndApplyReachTheWholeChain) {
    ASSERT_EQ(Call(46, UserRights("ann", 1, 5)).status, 200);
    ASSERT_EQ(Call(53, "<ProgramID>1</ProgramID>\r\n").status, 200);
    EXPECT_EQ(Answer(40, Pair("UserID", "ann", kDeepest)), "200 <UserRights>5</UserRights>\r\n");
    const size_t before = Count(Call(8).body, "Program");
    ASSERT_EQ(Call(55, Two(1, 4)).status, 200);
    // Root, Child, Grandchild and the whole chain once more; the deepest copy keeps its grant.
    const int copies = 3 + (kDeepest - 4);
    EXPECT_EQ(Count(Call(8).body, "Program"), before + size_t(copies));
    EXPECT_EQ(Answer(40, Pair("UserID", "ann", kDeepest + copies)),
              "200 <UserRights>5</UserRights>\r\n");
}

TEST_F(Rights, ACycleLeftByAnOlderDatabaseEndsEveryWalk) {
    // 1 -> 2 -> 3 -> 1: what a move below a descendant could once leave behind.
    db.Exec("UPDATE programs SET number6 = 3 WHERE id = 1");
    EXPECT_EQ(Call(53, "<ProgramID>2</ProgramID>\r\n").status, 200);
    EXPECT_EQ(Call(54, "<ProgramID>4</ProgramID><ProgramID>3</ProgramID>\r\n").status, 200);
    EXPECT_EQ(Call(54, "<ProgramID>2</ProgramID><ProgramID>4</ProgramID>\r\n").status, 409);
    EXPECT_EQ(Call(55, "<ProgramID>1</ProgramID><ProgramID>0</ProgramID>\r\n").status, 200);
    EXPECT_EQ(Count(Call(8).body, "Program"), 4u + 4u);
}

} // namespace
} // namespace ltpd
