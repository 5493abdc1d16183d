// ltpctl export, diff and apply as people and CI run them: files, exit codes, what is printed.
#include <fstream>
#include <sstream>

#include "support/fixture.h"

namespace e2e {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class LtpctlConfig : public WithServer {
protected:
    void SetUp() override {
        WithServer::SetUp();
        ASSERT_TRUE(target.Start()) << target.Log();
    }

    LtpdServer target{ServerSettings::Empty()};
    TempDir dir;
};

TEST_F(LtpctlConfig, ExportDiffApplyBetweenServers) {
    const std::string file = dir.File("demo.yaml");
    Ok({"export", "-o", file});
    const std::string document = ReadFile(file);
    ASSERT_NE(document.find("News/Morning News"), std::string::npos) << document;

    // Drift is exit 1 with the plan; the same plan is shown by a dry run, which sends nothing.
    const ProcessResult drift = Ctl(target, {"diff", file});
    EXPECT_EQ(drift.exitCode, 1) << drift.err;
    EXPECT_EQ(drift.out.rfind("+ user alice\n", 0), 0u) << drift.out;
    const ProcessResult dry = Ctl(target, {"apply", file, "--dry-run"});
    EXPECT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_EQ(Ctl(target, {"diff", file}).out, drift.out);

    const ProcessResult applied = Ctl(target, {"apply", file, "--yes"});
    EXPECT_EQ(applied.exitCode, 0) << applied.err;
    EXPECT_NE(applied.out.find(" changes made\n"), std::string::npos) << applied.out;
    const ProcessResult again = Ctl(target, {"apply", file, "--yes"});
    EXPECT_EQ(again.out, "no changes: the server matches " + file + "\n");
    const ProcessResult same = Ctl(target, {"diff", file});
    EXPECT_EQ(same.exitCode, 0) << same.out << same.err;
    EXPECT_EQ(Ctl(target, {"export"}).out, document);
}

TEST_F(LtpctlConfig, ExitCodesOfRefusals) {
    struct Case {
        std::vector<std::string> args;
        std::string input;
        int exitCode;
        std::string says;
    } cases[] = {
        {{"apply", "-", "--yes"}, "users:\n  x:\n    Text2: \"a|b\"\n", 4, "-: line 3: "},
        {{"diff", "-"}, "users:\n  x:\n    groups: [nope]\n", 2, "-: line 3: "},
        {{"apply", "-"}, "users:\n  x: {}\n", 2, "--yes is needed"},
        {{"export", "--only", "users,people"}, "", 2, "\"people\" is not a family"},
        {{"diff", "/nonexistent/file.yaml"}, "", 2, "cannot read"},
        {{"diff", dir.Path()}, "", 2, "it is a folder"},
        {{"apply", dir.Path(), "--yes"}, "", 2, "it is a folder"},
        // What only the server holds is drift too, named, and counted in the summary.
        {{"diff", "-"}, "users:\n  zed: {}\n", 1, "? user bob (only on the server"},
        {{"diff", "-"}, "users:\n  zed: {}\n", 1, "1 to add, 0 to change, 0 to delete, "},
        // Without a terminal nothing is asked: --yes is needed, and the message says so.
        {{"apply", dir.File("users.yaml"), "--prune"}, "y\n", 2, "no terminal to ask on"},
        {{"apply", dir.File("users.yaml"), "--prune"}, "", 2, "deletions among them"},
    };
    std::ofstream(dir.File("users.yaml")) << "users:\n  zed: {}\n";
    for (const Case& c : cases) {
        const ProcessResult r = Run(c.args, c.input);
        EXPECT_EQ(r.exitCode, c.exitCode) << Describe(c.args, r);
        EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << Describe(c.args, r);
    }
    EXPECT_EQ(Run({"users", "find", "x"}).exitCode, 1) << "nothing was added";
}

TEST_F(LtpctlConfig, OnlyAndLabels) {
    const ProcessResult r = Run({"export", "--only", "globals,mtp", "--labels", LTPD_LABELS_PATH});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("globals:\n  DefaultLanguage:\n    text: en\n", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("users:"), std::string::npos);
    const std::string file = dir.File("labelled.yaml");
    std::ofstream(file) << r.out;
    EXPECT_EQ(Run({"diff", file, "--labels", LTPD_LABELS_PATH}).exitCode, 0);
    EXPECT_EQ(Run({"diff", file}).exitCode, 2) << "labels are not field names without the file";
}

} // namespace
} // namespace e2e
