// The configuration engine against ltpd: export, plan and apply through ltp::Client.
#include <gtest/gtest.h>

#include <ltpadmin/client.h>

#include "support/ltpd_server.h"
#include "support/ltpd_client.h"
#include "tools/ltpctl/state/apply.h"
#include "tools/ltpctl/state/fetch.h"
#include "tools/ltpctl/state/file_error.h"
#include "tools/ltpctl/state/plan.h"
#include "tools/ltpctl/state/yaml_reader.h"
#include "tools/ltpctl/state/yaml_writer.h"

namespace {

using e2e::ClientOf;

using namespace ltpstate;

std::vector<Family> AllFamilies() {
    std::vector<Family> all;
    for (const auto& f : Families())
        all.push_back(f.first);
    return all;
}

class ConfigEngine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(demo.Start()) << demo.Log();
        ASSERT_TRUE(empty.Start()) << empty.Log();
    }

    std::string Export(ltp::Client& client) {
        return WriteYaml(Fetch(client, AllFamilies()), naming);
    }

    Plan PlanFor(ltp::Client& client, const std::string& file, bool prune) {
        const State desired = ReadYaml(file, naming);
        return MakePlan(desired, Fetch(client, FamiliesToRead(desired)), prune, naming);
    }

    static std::vector<std::string> Lines(const Plan& plan) {
        std::vector<std::string> lines;
        for (const Step& s : plan.steps)
            lines.push_back(Describe(s));
        return lines;
    }

    static void Replace(std::string& text, const std::string& from, const std::string& to) {
        const std::size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from << "\nin\n" << text;
        text.replace(at, from.size(), to);
    }

    FieldNaming naming;
    e2e::LtpdServer demo;
    e2e::LtpdServer empty{e2e::ServerSettings::Empty()};
};

TEST_F(ConfigEngine, DemoServerRoundTripsThroughAnEmptyOne) {
    ltp::Client from = ClientOf(demo);
    ltp::Client to = ClientOf(empty);
    const std::string document = Export(from);

    Plan plan = PlanFor(to, document, false);
    EXPECT_GT(plan.steps.size(), 40u);
    const ApplyResult result = Apply(to, plan);
    ASSERT_FALSE(result.failed) << result.error;
    EXPECT_EQ(result.done, plan.steps.size());

    EXPECT_EQ(Export(to), document);
    EXPECT_TRUE(PlanFor(to, document, true).steps.empty());
}

TEST_F(ConfigEngine, HandEditedFileGivesExactlyItsFourChanges) {
    ltp::Client client = ClientOf(demo);
    std::string file = Export(client);
    Replace(file, "users:\n", "users:\n  frank:\n    Text2: Frank Ortiz\n");
    Replace(file, "  Weather:\n", "  Sport/Weather:\n");
    Replace(file, "Number3: \"Weather\"", "Number3: \"Sport/Weather\"");
    Replace(file, "users: {alice: 15}", "users: {alice: 7}");
    // The one schedule of channel kids goes.
    const std::size_t from = file.find("    schedules:\n      - Number3: \"Kids/Story Time\"");
    ASSERT_NE(from, std::string::npos);
    file.erase(from, file.find("  main:", from) - from);

    Plan plan = PlanFor(client, file, true);
    const std::vector<std::string> expected = {
        "+ user frank",
        "~ program Sport/Weather (parent: (top) -> Sport)",
        "~ rights of user alice on News/Morning News (rights: 15 -> 7)",
    };
    std::vector<std::string> lines = Lines(plan);
    ASSERT_EQ(lines.size(), 4u) << ::testing::PrintToString(lines);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3), expected);
    EXPECT_EQ(lines[3].rfind("- schedule kids ", 0), 0u) << lines[3];

    const ApplyResult result = Apply(client, plan);
    ASSERT_FALSE(result.failed) << result.error;
    EXPECT_EQ(Export(client), WriteYaml(ReadYaml(file, naming), naming));
    EXPECT_TRUE(PlanFor(client, file, true).steps.empty());
}

TEST_F(ConfigEngine, MovingASubtreeAndChangingAPathAreOneChangeEach) {
    ltp::Client client = ClientOf(demo);
    std::string file = Export(client);
    for (const std::string name : {"News", "News/Evening News", "News/Morning News"}) {
        Replace(file, "\n  " + name + ":\n", "\n  Sport/" + name + ":\n");
        for (std::size_t at = 0; (at = file.find('"' + name + '"', at)) != std::string::npos;)
            file.insert(at += 1, "Sport/");
    }
    Replace(file, "/media/news/morning: {Real3: 2025-01-01}",
            "/media/news/morning: {Real3: 2025-01-02}");

    Plan plan = PlanFor(client, file, true);
    EXPECT_EQ(Lines(plan),
              (std::vector<std::string>{
                  "~ program Sport/News (parent: (top) -> Sport)",
                  "~ path /media/news/morning on Sport/News/Morning News (Real3: 2025-01-01 -> "
                  "2025-01-02)"}));
    ASSERT_FALSE(Apply(client, plan).failed);
    EXPECT_TRUE(PlanFor(client, file, true).steps.empty());
}

TEST_F(ConfigEngine, PruningEverythingDeletesInAnOrderTheServerAccepts) {
    ltp::Client client = ClientOf(demo);
    const std::string file = "users: {}\ngroups: {}\nprograms: {}\nchannels: {}\nglobals: "
                             "{}\nmtp: {}\n";
    Plan plan = PlanFor(client, file, true);
    // 5 users, 3 groups, 9 programs, 3 channels, 7 schedules, 4 globals, 3 MTP servers; the
    // memberships, grants and paths go with their users, groups and programs.
    EXPECT_EQ(plan.steps.size(), 34u) << ::testing::PrintToString(Lines(plan));
    const ApplyResult result = Apply(client, plan);
    ASSERT_FALSE(result.failed) << Describe(plan.steps[result.done]) << ": " << result.error;
    EXPECT_TRUE(client.programs().empty());
    EXPECT_TRUE(client.schedules().empty());
    EXPECT_TRUE(PlanFor(client, file, true).steps.empty());
}

TEST_F(ConfigEngine, WithoutPruneNothingIsDeleted) {
    ltp::Client client = ClientOf(demo);
    const std::string file = "users:\n  frank: {}\nprograms:\n  Late Show: {}\n";
    EXPECT_EQ(Lines(PlanFor(client, file, false)),
              (std::vector<std::string>{"+ user frank", "+ program Late Show"}));
    const std::vector<std::string> pruned = Lines(PlanFor(client, file, true));
    EXPECT_EQ(std::count_if(pruned.begin(), pruned.end(),
                            [](const std::string& l) { return l[0] == '-'; }),
              5 + 9); // the five users and nine programs; their grants and paths go with them
}

TEST_F(ConfigEngine, ApplyStopsAtTheFirstRefusalAndARerunConverges) {
    ltp::Client from = ClientOf(demo);
    ltp::Client to = ClientOf(empty);
    const std::string document = Export(from);
    Plan plan = PlanFor(to, document, false);
    // Someone else adds a group between plan and apply: its add is refused.
    to.add_group({"operators", "made by hand"});
    const ApplyResult first = Apply(to, plan);
    ASSERT_TRUE(first.failed);
    EXPECT_NE(first.error.find("409"), std::string::npos) << first.error;
    EXPECT_LT(first.done, plan.steps.size());

    Plan rest = PlanFor(to, document, false);
    EXPECT_LT(rest.steps.size(), plan.steps.size());
    EXPECT_EQ(Describe(rest.steps.front()).rfind("~ group operators", 0), 0u);
    ASSERT_FALSE(Apply(to, rest).failed);
    EXPECT_EQ(Export(to), document);
}

TEST_F(ConfigEngine, NamesNotUniqueOnTheServerAreRefusedNamingThem) {
    ltp::Client client = ClientOf(demo);
    ltp::Program twin;
    twin.text2 = "Weather";
    const std::int32_t id = client.add_program(twin);
    try {
        PlanFor(client, "programs:\n  Weather: {}\n", false);
        FAIL() << "planned";
    } catch (const FileError& e) {
        EXPECT_EQ(e.line(), 2);
        EXPECT_NE(std::string(e.what()).find("7, " + std::to_string(id)), std::string::npos)
            << e.what();
    }
}

} // namespace
