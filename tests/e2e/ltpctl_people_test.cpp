// ltpctl for people at a terminal: hostile input refused cleanly, server texts shown safely.
#include "support/fixture.h"

namespace {

class People : public e2e::WithServer {};

TEST_F(People, HostileInputGetsAClearRefusal) {
    e2e::TempDir dir;
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* stderrHolds;
    } cases[] = {
        {{"info", "set", "--file", dir.Path()}, 2, "it is a folder"},
        {{"info", "set", "--file", dir.File("absent")}, 2, "cannot read"},
        {{"batch", dir.Path()}, 2, "it is a folder"},
        {{"programs", "add", "--real5", "-1"}, 4, "--real5 is below 0"},
        {{"schedules", "add", "--real4", "1899-12-29T23:00"}, 4, "--real4 is below 0"},
        {{"stats", "top", "--from", "1800-01-01"}, 4, "--from is below 0"},
    };
    for (const auto& c : cases) {
        const e2e::ProcessResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << Describe(c.args, r);
        EXPECT_NE(r.err.find(c.stderrHolds), std::string::npos) << Describe(c.args, r);
    }
    EXPECT_EQ(Json({"log", "list"}).size(), 0u) << "nothing reached the server";
}

TEST_F(People, ControlBytesFromTheServerAreShownNotObeyed) {
    const std::string red = "\x1b[31mred";
    Ok({"users", "add", "evil", "--text2", red});
    const std::string table = Ok({"users", "find", "evil"});
    EXPECT_EQ(table.find('\x1b'), std::string::npos) << table;
    EXPECT_NE(table.find("\\x1b[31mred"), std::string::npos) << table;
    EXPECT_EQ(Json({"users", "find", "evil"})["Text2"], red) << "JSON keeps the bytes";

    const e2e::ProcessResult refused = Run({"users", "find", "\x1b]0;owned\x07"});
    EXPECT_EQ(refused.exitCode, 1) << refused.err;
    EXPECT_EQ(refused.err.find('\x1b'), std::string::npos) << refused.err;
    EXPECT_EQ(refused.err.find('\x07'), std::string::npos) << refused.err;
}

} // namespace
