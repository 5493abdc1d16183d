// Relations through ltpctl: group membership, rights and the permission derived from them,
// applying grants down the tree, channel schedules, program paths, statistics and the server's
// own texts and log.
#include "support/fixture.h"

namespace {

using e2e::Column;
using e2e::Contains;

class Relations : public e2e::WithServer {};

TEST_F(Relations, MembershipsBothWays) {
    Ok({"users", "add", "uma"});
    Ok({"groups", "add", "night"});
    Ok({"members", "add", "uma", "night"});
    Ok({"members", "add", "uma", "editors"});
    EXPECT_TRUE(Contains(Column(Json({"members", "list", "night"}), "UserID"), "uma"));
    const auto groups = Column(Json({"members", "groups", "uma"}), "GroupID");
    EXPECT_TRUE(Contains(groups, "night"));
    EXPECT_TRUE(Contains(groups, "editors"));

    Ok({"members", "remove", "uma", "night"});
    EXPECT_FALSE(Contains(Column(Json({"members", "list", "night"}), "UserID"), "uma"));
    EXPECT_EQ(Column(Json({"members", "groups", "uma"}), "GroupID"),
              std::vector<std::string>{"editors"});
    // Removing again, or adding to a group that does not exist, is refused.
    EXPECT_EQ(Run({"members", "remove", "uma", "night"}).exitCode, 1);
    EXPECT_EQ(Run({"members", "add", "uma", "nobody"}).exitCode, 1);
}

TEST_F(Relations, PermissionIsOwnRightsCombinedWithTheGroups) {
    const std::string prog = "3";
    Ok({"users", "add", "pat"});
    Ok({"groups", "add", "crew"});
    Ok({"members", "add", "pat", "crew"});
    Ok({"rights", "add", "group", "crew", prog, "4"});
    Ok({"rights", "add", "user", "pat", prog, "1"});
    EXPECT_EQ(Json({"rights", "get", "user", "pat", prog}), nlohmann::json({{"UserRights", 1}}));
    EXPECT_EQ(Json({"rights", "get", "group", "crew", prog}), nlohmann::json({{"GroupRights", 4}}));
    EXPECT_EQ(Json({"permission", "pat", prog}), nlohmann::json({{"UserPermission", 5}}));

    Ok({"rights", "modify", "user", "pat", prog, "2"});
    EXPECT_EQ(Json({"permission", "pat", prog}), nlohmann::json({{"UserPermission", 6}}));
    EXPECT_TRUE(Contains(Column(Json({"rights", "users", prog}), "UserID"), "pat"));
    EXPECT_TRUE(Contains(Column(Json({"rights", "groups", prog}), "GroupID"), "crew"));
    // Who holds grants comes with what each holds.
    const auto users = Json({"rights", "users", prog});
    const auto pat = Column(users, "UserID");
    const auto rights = Column(users, "UserRights");
    ASSERT_EQ(pat.size(), rights.size());
    ASSERT_TRUE(Contains(pat, "pat"));
    EXPECT_EQ(rights[static_cast<size_t>(std::find(pat.begin(), pat.end(), "pat") - pat.begin())],
              "2");
    const auto groups = Json({"rights", "groups", prog});
    const auto crew = Column(groups, "GroupID");
    ASSERT_TRUE(Contains(crew, "crew"));
    EXPECT_EQ(Column(groups, "GroupRights")[static_cast<size_t>(
                  std::find(crew.begin(), crew.end(), "crew") - crew.begin())],
              "4");

    Ok({"rights", "delete", "group", "crew", prog});
    EXPECT_EQ(Json({"permission", "pat", prog}), nlohmann::json({{"UserPermission", 2}}));
    EXPECT_FALSE(Contains(Column(Json({"rights", "groups", prog}), "GroupID"), "crew"));
    // A grant given twice is a duplicate; one never given cannot be deleted.
    EXPECT_EQ(Run({"rights", "add", "user", "pat", prog, "1"}).exitCode, 1);
    EXPECT_EQ(Run({"rights", "delete", "group", "crew", prog}).exitCode, 1);
    // KIND is user or group, nothing else.
    EXPECT_EQ(Run({"rights", "get", "team", "crew", prog}).exitCode, 2);
}

TEST_F(Relations, ApplyPermissionGivesTheDescendantsTheSameGrants) {
    // In the demo tree, program 1 (News) has the children 2 and 3.
    Ok({"users", "add", "ray"});
    Ok({"rights", "add", "user", "ray", "1", "8"});
    EXPECT_EQ(Json({"rights", "get", "user", "ray", "2"}), nlohmann::json({{"UserRights", 0}}));
    Ok({"programs", "apply-permission", "1"});
    EXPECT_EQ(Json({"rights", "get", "user", "ray", "2"}), nlohmann::json({{"UserRights", 8}}));
    EXPECT_EQ(Json({"rights", "get", "user", "ray", "3"}), nlohmann::json({{"UserRights", 8}}));
    EXPECT_EQ(Json({"rights", "get", "user", "ray", "4"}), nlohmann::json({{"UserRights", 0}}));
}

TEST_F(Relations, ProgramMoveAndCopyThroughTheTree) {
    const nlohmann::json parent = Json({"programs", "add", "--text2", "Parent"});
    const std::string pid = parent["ProgramID"].dump();
    const nlohmann::json child = Json({"programs", "add", "--text2", "Child", "--number6", pid});
    const std::string cid = child["ProgramID"].dump();

    Ok({"programs", "move", cid, "4"});
    EXPECT_EQ(Json({"programs", "find", cid})["Number6"], 4);
    const size_t before = Json({"programs", "list"}).size();
    Ok({"programs", "move", cid, pid});
    Ok({"program", "copy", pid, "0"});
    const nlohmann::json after = Json({"programs", "list"});
    EXPECT_EQ(after.size(), before + 2) << "the parent and its child are copied";
    const std::vector<std::string> names = Column(after, "Text2");
    EXPECT_EQ(std::count(names.begin(), names.end(), "Child"), 2);
    // A program cannot move below its own descendant.
    const e2e::ProcessResult loop = Run({"programs", "move", pid, cid});
    EXPECT_EQ(loop.exitCode, 1) << loop.err;
    EXPECT_NE(loop.err.find("409"), std::string::npos) << loop.err;
}

TEST_F(Relations, ChannelsAndTheirSchedules) {
    const nlohmann::json added =
        Json({"schedules", "add", "--text2", "kids", "--number3", "9", "--real4",
              "2026-12-07T16:00", "--real5", "2026-12-07T16:15", "--number6", "31"});
    const std::string id = added["ScheduleID"].dump();
    EXPECT_TRUE(Contains(Column(Json({"channels", "schedules", "kids"}), "ScheduleID"), id));
    EXPECT_EQ(Json({"schedules", "channel", id})["ChannelID"], "kids");
    EXPECT_EQ(Run({"schedules", "channel", "99999"}).exitCode, 1);
}

TEST_F(Relations, PathsOfAProgram) {
    Ok({"paths", "add", "2", "/media/news/extra", "--real3", "2026-01-01", "--real4",
        "2026-06-30T12:00"});
    const nlohmann::json paths = Json({"paths", "list", "2"});
    bool seen = false;
    for (const auto& p : paths)
        if (p["ProgramPath"] == "/media/news/extra") {
            seen = true;
            EXPECT_EQ(p["ProgramID"], 2);
            EXPECT_EQ(p["Real3"], "2026-01-01");
            EXPECT_EQ(p["Real4"], "2026-06-30T12:00:00");
        }
    EXPECT_TRUE(seen) << paths.dump();
    Ok({"paths", "delete", "2", "/media/news/extra"});
    EXPECT_FALSE(
        Contains(Column(Json({"paths", "list", "2"}), "ProgramPath"), "/media/news/extra"));
    EXPECT_EQ(Run({"paths", "delete", "2", "/media/news/extra"}).exitCode, 1);
}

TEST_F(Relations, StatisticsOverAPeriod) {
    const nlohmann::json top = Json({"stats", "top", "--count", "3"});
    ASSERT_EQ(top.size(), 3u) << top.dump();
    EXPECT_GE(top[0]["Number2"].get<int>(), top[1]["Number2"].get<int>());
    EXPECT_GE(top[1]["Number2"].get<int>(), top[2]["Number2"].get<int>());

    const nlohmann::json alice = Json({"stats", "user", "alice"});
    ASSERT_FALSE(alice.empty());
    for (const auto& row : alice)
        EXPECT_EQ(row["Text2"], "alice");

    const std::string busiest = top[0]["Number1"].dump();
    const nlohmann::json program = Json({"stats", "program", busiest});
    int uses = 0;
    for (const auto& row : program) {
        EXPECT_EQ(row["Number1"].dump(), busiest);
        uses += row["Number3"].get<int>();
    }
    EXPECT_EQ(uses, top[0]["Number2"].get<int>()) << "the top count is the sum over the users";

    // A period in the far past holds nothing; a period upside down is refused by the server.
    EXPECT_TRUE(Json({"stats", "top", "--from", "1990-01-01", "--to", "1990-12-31"}).empty());
    EXPECT_EQ(Run({"stats", "top", "--from", "2026-01-01", "--to", "2025-01-01"}).exitCode, 1);
    EXPECT_EQ(Run({"stats", "top", "--from", "yesterday"}).exitCode, 2);
}

TEST_F(Relations, InformationSystemInformationAndLog) {
    Ok({"info", "set", "Maintenance tonight 22:00-23:00"});
    EXPECT_EQ(Ok({"info", "get"}), "Maintenance tonight 22:00-23:00\n");
    EXPECT_EQ(Json({"info", "get"}),
              nlohmann::json({{"Information", "Maintenance tonight 22:00-23:00"}}));
    EXPECT_EQ(Run({"info", "set", "--file", "-"}, "line one\r\nline two\r\n").exitCode, 0);
    EXPECT_EQ(Ok({"info", "get"}), "line one\r\nline two\r\n");

    const nlohmann::json sys = Json({"sysinfo"});
    ASSERT_TRUE(sys.is_object()) << sys.dump();
    EXPECT_GE(sys["Number3"].get<int>(), 1) << "requests served";

    Ok({"users", "add", "logged"});
    const nlohmann::json log = Json({"log", "list"});
    ASSERT_FALSE(log.empty());
    bool mentioned = false;
    for (const auto& e : log)
        mentioned = mentioned || e["Text4"].get<std::string>().find("logged") != std::string::npos;
    EXPECT_TRUE(mentioned) << log.dump();
    Ok({"log", "clear"});
    EXPECT_LE(Json({"log", "list"}).size(), 1u);
}

} // namespace
