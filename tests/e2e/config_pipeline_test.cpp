// apply with requests in flight against ltpd: the same outcome and output as one at a time, a
// refusal in the middle reported step by step, and new programs whose children need their
// numbers.
#include <gtest/gtest.h>

#include <fstream>

#include <ltpadmin/client.h>

#include "support/fixture.h"
#include "support/ltpd_client.h"
#include "tools/ltpctl/state/apply.h"
#include "tools/ltpctl/state/fetch.h"
#include "tools/ltpctl/state/plan.h"
#include "tools/ltpctl/state/yaml_reader.h"
#include "tools/ltpctl/state/yaml_writer.h"

namespace {

using namespace ltpstate;

using e2e::ClientOf;

std::string Export(ltp::Client& client) {
    std::vector<Family> all;
    for (const auto& f : Families())
        all.push_back(f.first);
    return WriteYaml(Fetch(client, all), FieldNaming());
}

// A tree three deep, with paths and rights at every level, and schedules showing new programs.
const char* const kTree =
    "users:\n  ann: {}\ngroups:\n  crew: {}\nprograms:\n"
    "  A:\n    paths: {/a: {}}\n    rights: {users: {ann: 1}}\n"
    "  A/B:\n    paths: {/b: {}}\n    rights: {groups: {crew: 2}}\n"
    "  A/B/C:\n    rights: {users: {ann: 3}, groups: {crew: 4}}\n"
    "channels:\n  c:\n    schedules:\n      - {Number3: \"A/B/C\", Real4: 1}\n"
    "      - {Number3: \"A/B\", Real4: 2}\n";

TEST(ConfigPipeline, AppliesAsOneAtATimeDoes) {
    e2e::LtpdServer demo;
    ASSERT_TRUE(demo.Start()) << demo.Log();
    ltp::Client from = ClientOf(demo);
    const std::string document = Export(from);
    const FieldNaming naming;
    for (const std::string& file : {document, std::string(kTree)})
        for (std::size_t depth : {2u, 64u}) {
            e2e::LtpdServer one{e2e::ServerSettings::Empty()}, many{e2e::ServerSettings::Empty()};
            ASSERT_TRUE(one.Start() && many.Start());
            ltp::Client a = ClientOf(one), b = ClientOf(many);
            const State desired = ReadYaml(file, naming);
            Plan planA = PlanAgainst(a, desired, false, naming);
            Plan planB = PlanAgainst(b, desired, false, naming);
            std::vector<std::string> linesA, linesB;
            ASSERT_FALSE(
                Apply(a, planA, [&](const Step& s) { linesA.push_back(Describe(s)); }).failed);
            const ApplyResult r = ApplyPipelined(
                b, planB, depth, [&](const Step& s) { linesB.push_back(Describe(s)); });
            ASSERT_FALSE(r.failed) << depth << ": " << r.error;
            EXPECT_EQ(r.done, planB.steps.size());
            EXPECT_EQ(linesB, linesA) << depth;
            EXPECT_EQ(Export(b), Export(a)) << depth;
            EXPECT_TRUE(PlanAgainst(b, desired, true, naming).steps.empty());
        }
}

TEST(ConfigPipeline, ARefusalInTheMiddleIsNamedAndARerunConverges) {
    e2e::LtpdServer demo, target{e2e::ServerSettings::Empty()};
    ASSERT_TRUE(demo.Start() && target.Start());
    ltp::Client from = ClientOf(demo), to = ClientOf(target);
    const std::string document = Export(from);
    const FieldNaming naming;
    const State desired = ReadYaml(document, naming);
    Plan plan = PlanAgainst(to, desired, false, naming);
    // Made by hand between plan and apply: the plan's add of it is refused.
    to.add_group({"operators", "made by hand"});
    std::size_t refusedAt = 0;
    for (std::size_t i = 0; i < plan.steps.size(); ++i)
        if (Describe(plan.steps[i]) == "+ group operators")
            refusedAt = i;
    ASSERT_GT(refusedAt, 0u);

    const ApplyResult r = ApplyPipelined(to, plan, 16);
    ASSERT_TRUE(r.failed);
    EXPECT_TRUE(r.refused);
    ASSERT_FALSE(r.troubles.empty());
    EXPECT_EQ(r.troubles.front().step, refusedAt);
    EXPECT_EQ(r.troubles.front().kind, StepTrouble::Kind::refused);
    EXPECT_NE(r.troubles.front().error.find("409"), std::string::npos) << r.troubles.front().error;
    // Every step is done or named, once; nothing is left unanswered on a sound connection.
    EXPECT_EQ(r.done + r.troubles.size(), plan.steps.size());
    for (const StepTrouble& t : r.troubles)
        EXPECT_NE(t.kind, StepTrouble::Kind::unknown);
    // What was in flight behind the refusal may have been made; no more than the depth.
    EXPECT_LE(r.done, refusedAt + 16);

    Plan rest = PlanAgainst(to, desired, false, naming);
    EXPECT_EQ(rest.steps.size(), plan.steps.size() - r.done);
    ASSERT_FALSE(ApplyPipelined(to, rest, 16).failed);
    EXPECT_EQ(Export(to), document);
}

class ConfigPipelineCli : public e2e::WithServer {};

TEST_F(ConfigPipelineCli, OutputAndExitCodesMatchOneAtATime) {
    e2e::TempDir dir;
    const std::string file = dir.File("demo.yaml");
    std::ofstream(file) << Run({"export"}).out;
    const struct {
        std::vector<std::string> extra;
        int exitCode;
    } cases[] = {
        {{}, 0},
        {{"--pipeline", "1"}, 0},
        {{"--pipeline", "64"}, 0},
        {{"--pipeline", "0"}, 2},
        {{"--pipeline", "many"}, 2},
    };
    std::string expected;
    for (const auto& c : cases) {
        e2e::LtpdServer fresh{e2e::ServerSettings::Empty()};
        ASSERT_TRUE(fresh.Start()) << fresh.Log();
        std::vector<std::string> args = {"apply", file, "--yes"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const e2e::ProcessResult r = e2e::Ctl(fresh, args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        if (r.exitCode != 0)
            continue;
        if (expected.empty())
            expected = r.out;
        EXPECT_EQ(r.out, expected) << ::testing::PrintToString(c.extra);
    }
    EXPECT_NE(expected.find(" changes made\n"), std::string::npos) << expected;
}

TEST_F(ConfigPipelineCli, ARefusalNamesEachStepNotMade) {
    e2e::TempDir dir;
    const std::string file = dir.File("users.yaml");
    // ltpd refuses a name of more than 49 bytes: the third of six changes.
    std::ofstream(file) << "users:\n  a: {}\n  b: {}\n  c:\n    Text2: " << std::string(60, 'x')
                        << "\n  d: {}\n  e: {}\ngroups:\n  g: {}\n";
    const struct {
        const char* depth;
        const char* err;
        const char* out;
    } cases[] = {
        {"1", "stopped at \"+ user c\": ", "2 of 6 changes made; run apply again"},
        {"8", "refused \"+ user c\": ", " of 6 changes made, 1 refused, 0 without an answer, "},
    };
    for (const auto& c : cases) {
        e2e::LtpdServer target{e2e::ServerSettings::Empty()};
        ASSERT_TRUE(target.Start()) << target.Log();
        const e2e::ProcessResult r =
            e2e::Ctl(target, {"apply", file, "--yes", "--pipeline", c.depth});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("longer than 49"), std::string::npos) << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("; run apply again to go on from there\n"), std::string::npos)
            << r.out;
        // What was made is printed as made; the refused change is not.
        EXPECT_EQ(r.out.find("+ user c\n"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.rfind("+ user a\n+ user b\n", 0), 0u) << r.out;
    }
}

} // namespace
