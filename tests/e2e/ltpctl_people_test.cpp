// ltpctl for people at a terminal: hostile input refused cleanly, server texts shown safely.
#include "support/fixture.h"

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "tools/common/display.h"

#include "tools/ltpctl/output.h"

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
    // ... escaped as JSON requires: no raw control byte but the line ends of the layout.
    Ok({"users", "modify", "evil", "--text3", "tab\tone\x01"});
    const std::string json = Ok({"--format", "json", "users", "find", "evil"});
    for (const char c : json)
        EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 || c == '\n') << json;
    EXPECT_NE(json.find(R"("Text2": "\u001b[31mred")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("Text3": "tab\tone\u0001")"), std::string::npos) << json;

    const e2e::ProcessResult refused = Run({"users", "find", "\x1b]0;owned\x07"});
    EXPECT_EQ(refused.exitCode, 1) << refused.err;
    EXPECT_EQ(refused.err.find('\x1b'), std::string::npos) << refused.err;
    EXPECT_EQ(refused.err.find('\x07'), std::string::npos) << refused.err;
}

} // namespace

namespace {

class Terminal : public e2e::WithServer {
protected:
    struct CommandCase {
        std::vector<std::string> args;
        int exitCode;
        const char* outHolds;
        const char* errHolds;
    };

    void ExpectEach(const std::vector<CommandCase>& cases,
                    const std::map<std::string, std::string>& env = {}) {
        for (const CommandCase& c : cases) {
            const e2e::ProcessResult r = Ctl(server, c.args, "", env);
            EXPECT_EQ(r.exitCode, c.exitCode) << Describe(c.args, r);
            EXPECT_NE(r.out.find(c.outHolds), std::string::npos) << Describe(c.args, r);
            EXPECT_NE(r.err.find(c.errHolds), std::string::npos) << Describe(c.args, r);
        }
    }
};

TEST_F(Terminal, LabelsDatesVersionAndSuggestions) {
    const std::map<std::string, std::string> labelled = {{"LTP_LABELS", LTPD_LABELS_PATH}};
    auto run = [&](const std::vector<std::string>& args) {
        return Ctl(server, args, "", labelled);
    };
    Ok({"schedules", "add", "--text2", "main", "--real4", "2026-12-07T20:00", "--number6", "31"});
    ExpectEach(
        {
            {{"--version"}, 0, "ltpctl ", ""},
            {{"users", "lst"}, 2, "", "unknown command 'users lst'; did you mean 'users list'?"},
            {{"--format", "csv", "usres", "list"}, 2, "", "did you mean 'users'?"},
            {{"frobnicate"}, 2, "", "unknown command 'frobnicate'\n"},
            {{"users", "find", "alice"}, 0, "UserID  name ", ""},
            {{"-o", "json", "users", "find", "alice"}, 0, "\"Text2\": ", ""},
            {{"-o", "json", "--labels", "users", "find", "alice"}, 0, "\"name\": ", ""},
            {{"-o", "csv", "--labels", "groups", "list"}, 0, "GroupID,description\r\n", ""},
            {{"users", "add", "zoe", "--name", "Zoe Li", "--department", "News"}, 0, "", ""},
            {{"-o", "json", "users", "find", "zoe"}, 0, "\"Text2\": \"Zoe Li\"", ""},
            {{"users", "add", "--help"}, 0, "--text2,--name", ""},
            {{"--columns", "name,UserID", "users", "find", "alice"},
             0,
             "name          UserID\nAlice Martin  alice\n",
             ""},
            {{"--no-headers", "-o", "csv", "--columns", "GroupID", "groups", "find", "editors"},
             0,
             "editors\r\n",
             ""},
            {{"channels", "schedules", "main"}, 0, "2026-12-07T20:00Z", ""},
            {{"-o", "json", "channels", "schedules", "main"},
             0,
             "\"Real4\": \"2026-12-07T20:00:00\"",
             ""},
        },
        labelled);
    // The "no date" day shows empty in a table, not as 1899-12-30.
    EXPECT_EQ(run({"channels", "schedules", "main"}).out.find("1899-12-30"), std::string::npos);
}

TEST_F(Terminal, StatisticsLogAndScheduleWarningsForPeople) {
    Ok({"schedules", "add", "--text2", "kids", "--number3", "2", "--real4", "2030-01-01T10:00",
        "--real5", "2030-01-01T11:00"});
    const nlohmann::json alice = Json({"stats", "user", "alice"});
    ASSERT_FALSE(alice.empty());
    const std::string firstTime =
        ltptools::DisplayDuration(alice[0]["Number4"].get<std::int64_t>()) + "  #";
    ExpectEach({
        {{"stats", "top", "-n", "2", "--chart"}, 0, "Program", ""},
        {{"stats", "user", "alice", "--chart"}, 0, firstTime.c_str(), ""},
        {{"stats", "user", "alice"}, 0, "2 Morning News", ""},
        {{"stats", "program", "2"}, 0, "User ", ""},
        {{"-o", "json", "stats", "top", "-n", "1"}, 0, "\"Number2\": ", ""},
        {{"schedules", "add", "--text2", "kids", "--number3", "999", "--real4", "2030-01-01T10:30",
          "--real5", "2030-01-01T10:15"},
         0,
         "ScheduleID",
         "shows program 999, which the server does not have"},
        {{"schedules", "add", "--text2", "kids", "--real4", "2030-01-01T10:30", "--real5",
          "2030-01-01T10:15"},
         0,
         "",
         "stops before it starts"},
        {{"schedules", "add", "--text2", "kids", "--number3", "3", "--real4", "2030-01-01T10:45",
          "--real5", "2030-01-01T12:00"},
         0,
         "",
         "overlaps schedule"},
        {{"log", "list", "--grep", "Add schedule"}, 0, "Add schedule", ""},
        {{"log", "list", "--since", "soon"}, 2, "", "--since"},
    });
    // A schedule that fits its channel is added without a word.
    const e2e::ProcessResult quiet =
        Run({"schedules", "add", "--text2", "kids", "--number3", "2", "--real4", "2031-01-01T10:00",
             "--real5", "2031-01-01T11:00"});
    EXPECT_EQ(quiet.err, "") << quiet.err;
    Ok({"users", "add", "zed"});
    EXPECT_EQ(Json({"log", "list", "--grep", "user 'zed'"}).size(), 1u);
    EXPECT_EQ(Json({"log", "list", "--since", "2999-01-01"}).size(), 0u);
}

TEST_F(Terminal, LogFollowShowsNewEntriesUntilStopped) {
    e2e::TempDir dir;
    e2e::BackgroundProcess follow;
    ASSERT_TRUE(follow.Start(LTPCTL_PATH, {"log", "list", "--follow", "--interval", "0.1"},
                             e2e::CleanEnvironment({{"LTP_HOST", "127.0.0.1"},
                                                    {"LTP_PORT", std::to_string(server.Port())},
                                                    {"LTP_USER", "admin"},
                                                    {"LTP_PASSWORD", "secret"}}),
                             dir.File("out")));
    Ok({"users", "add", "first"});
    Ok({"users", "add", "second"});
    std::string shown;
    for (int i = 0; i < 100 && shown.find("'second'") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::ifstream file(dir.File("out"));
        shown.assign(std::istreambuf_iterator<char>(file), {});
    }
    EXPECT_EQ(follow.Stop(), 0) << "stopping is the normal end: " << shown;
    EXPECT_NE(shown.find("'second'"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("'first'"), shown.rfind("'first'")) << "each entry once: " << shown;
    EXPECT_EQ(shown.find("Number1"), shown.rfind("Number1")) << "one header: " << shown;
}

TEST_F(Terminal, ProfilesGiveTheConnectionAndAnOwnerOnlyPasswordFile) {
    e2e::TempDir config;
    mkdir(config.File("ltpctl").c_str(), 0700);
    const std::string pw = config.File("ltpctl/pw");
    std::ofstream(pw) << "secret\n";
    chmod(pw.c_str(), 0600);
    std::ofstream(config.File("ltpctl/config.toml"))
        << "[profiles.here]\nhost = \"127.0.0.1:" << server.Port()
        << "\"\nuser = \"admin\"\npassword_file = \"pw\"\nlabels = \"" LTPD_LABELS_PATH "\"\n"
        << "[profiles.open]\nport = " << server.Port() << "\npassword_file = \"pw\"\n";
    const std::map<std::string, std::string> env = {{"XDG_CONFIG_HOME", config.Path()}};
    auto withEnv = [&](std::map<std::string, std::string> more) {
        more.insert(env.begin(), env.end());
        return more;
    };
    const e2e::ProcessResult named =
        e2e::CtlWithEnvironment({"--profile", "here", "groups", "list"}, env);
    EXPECT_EQ(named.exitCode, 0) << named.err;
    EXPECT_NE(named.out.find("description"), std::string::npos) << "labels from the profile";
    const e2e::ProcessResult fromEnv =
        e2e::CtlWithEnvironment({"groups", "list"}, withEnv({{"LTP_PROFILE", "here"}}));
    EXPECT_EQ(fromEnv.exitCode, 0) << fromEnv.err;
    // The environment wins over the profile.
    const e2e::ProcessResult overridden = e2e::CtlWithEnvironment(
        {"--profile", "here", "groups", "list"}, withEnv({{"LTP_PORT", "1"}}));
    EXPECT_EQ(overridden.exitCode, 3) << overridden.err;
    EXPECT_EQ(e2e::CtlWithEnvironment({"--profile", "nowhere", "users", "list"}, env).exitCode, 2);

    chmod(pw.c_str(), 0644);
    const e2e::ProcessResult open =
        e2e::CtlWithEnvironment({"--profile", "open", "users", "list"}, env);
    EXPECT_EQ(open.exitCode, 2) << open.err;
    EXPECT_NE(open.err.find("chmod 600"), std::string::npos) << open.err;
}

// A server listening on IPv6 only, reached in each way such a host is written.
TEST(LtpctlIpv6, EveryFormOfAnIpv6HostReachesTheServer) {
    if (!e2e::HasIpv6Loopback())
        GTEST_SKIP() << "this machine has no IPv6 loopback";
    e2e::ServerSettings settings;
    settings.address = "::1";
    e2e::LtpdServer server(settings);
    ASSERT_TRUE(server.Start()) << server.Log();
    const std::string port = std::to_string(server.Port());
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {{"users", "find", "alice"}, 0}, // LTP_HOST=::1
        {{"--host", "::1", "--port", port, "users", "find", "alice"}, 0},
        {{"--host", "[::1]:" + port, "users", "find", "alice"}, 0},
        {{"--host", "127.0.0.1", "users", "find", "alice"}, 3},
    };
    for (const auto& c : cases) {
        const e2e::ProcessResult r = e2e::Ctl(server, c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[1] << "\n" << r.out << r.err;
        if (c.exitCode == 0) {
            EXPECT_NE(r.out.find("Alice Martin"), std::string::npos) << r.out;
        }
    }
}

} // namespace

namespace {

class AtATerminal : public e2e::WithServer {
protected:
    // ltpctl on a pseudo-terminal, answering each prompt that shows.
    e2e::ProcessResult OnTerminal(const std::vector<std::string>& args,
                                  const std::vector<std::string>& answers,
                                  std::map<std::string, std::string> env = {}) {
        std::vector<std::string> all;
        for (const std::string& a : answers)
            all.insert(all.end(), {"--answer", a});
        all.push_back("--");
        all.push_back(LTPCTL_PATH);
        all.insert(all.end(), args.begin(), args.end());
        env.insert({{"LTP_HOST", "127.0.0.1"},
                    {"LTP_PORT", std::to_string(server.Port())},
                    {"LTP_USER", "admin"}});
        return e2e::RunProcess(PTY_RUN_PATH, all, e2e::CleanEnvironment(env), "");
    }
};

TEST_F(AtATerminal, DestructiveCommandsAskAndPasswordsDoNotShow) {
    const std::map<std::string, std::string> pw = {{"LTP_PASSWORD", "secret"}};
    e2e::TempDir dir;
    const std::string file = dir.File("users.yaml");
    std::ofstream(file) << "users:\n  zed: {}\n";
    const struct {
        std::vector<std::string> args;
        const char* answer;
        int exitCode;
        const char* shows;
    } cases[] = {
        {{"users", "delete", "alice", "bob"}, "Delete 2 users?=n", 2, "nothing was changed"},
        {{"users", "delete", "alice"}, "Delete 1 user?=y", 0, "alice"},
        {{"users", "delete", "nobody"}, "", 1, "nobody"},
        {{"log", "clear"}, "entries?=no", 2, "Clear the server's log of 1 entries?"},
        {{"users", "delete", "--yes", "bob"}, "", 0, ""},
        {{"programs", "move", "2", "3"}, "under 3?=n", 2, "Move program 2 and the 0 programs"},
        {{"programs", "apply-permission", "1"}, "with its own?=n", 2, "`- Evening News"},
        {{"programs", "move", "--yes", "9", "1"}, "", 0, ""},
        {{"--yes", "users", "delete", "dave"}, "", 0, ""},
        {{"apply", file, "--prune"},
         "changes?=n",
         2,
         "nothing was changed: the changes were declined"},
        {{"apply", file}, "change?=YES", 0, "1 changes made"},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> answers =
            *c.answer ? std::vector<std::string>{c.answer} : std::vector<std::string>{};
        const e2e::ProcessResult r = OnTerminal(c.args, answers, pw);
        EXPECT_EQ(r.exitCode, c.exitCode) << Describe(c.args, r);
        EXPECT_NE(r.out.find(c.shows), std::string::npos) << Describe(c.args, r);
    }
    const auto users = e2e::Column(Json({"users", "list"}), "UserID");
    EXPECT_FALSE(e2e::Contains(users, "alice"));
    EXPECT_FALSE(e2e::Contains(users, "bob"));
    EXPECT_FALSE(e2e::Contains(users, "dave")) << "--yes before the command asks nothing";
    EXPECT_TRUE(e2e::Contains(users, "erin")) << "a declined apply deletes nothing";
    EXPECT_TRUE(e2e::Contains(users, "zed"));
    EXPECT_EQ(Json({"programs", "find", "2"})["Number6"], 1) << "a move answered no did not go";
    EXPECT_EQ(Json({"programs", "find", "9"})["Number6"], 1);
    // Without a terminal nothing is asked: scripts keep working.
    Ok({"users", "delete", "carol"});
    Ok({"programs", "apply-permission", "1"});

    // No password given: asked for on the terminal, never shown.
    const e2e::ProcessResult asked = OnTerminal({"groups", "list"}, {"Password for admin@=secret"});
    EXPECT_EQ(asked.exitCode, 0) << asked.out;
    EXPECT_NE(asked.out.find("editors"), std::string::npos) << asked.out;
    EXPECT_EQ(asked.out.find("secret"), std::string::npos) << asked.out;
    const e2e::ProcessResult piped =
        OnTerminal({"--password-stdin", "groups", "list"}, {"Password: =secret"});
    EXPECT_EQ(piped.exitCode, 0) << piped.out;
    EXPECT_EQ(piped.out.find("secret"), std::string::npos) << piped.out;
}

} // namespace

namespace {

TEST_F(AtATerminal, LongTablesGoThroughThePagerAndBatchShowsProgress) {
    const struct {
        const char* lines;
        const char* pager;
        bool paged;
    } cases[] = {
        {"3", "sed s/^/paged:/", true},
        {"200", "sed s/^/paged:/", false},
        {"3", "", false}, // an empty PAGER turns paging off
    };
    for (const auto& c : cases) {
        const e2e::ProcessResult r =
            OnTerminal({"users", "list"}, {},
                       {{"LTP_PASSWORD", "secret"}, {"LINES", c.lines}, {"PAGER", c.pager}});
        EXPECT_EQ(r.exitCode, 0) << r.out;
        EXPECT_EQ(r.out.find("paged:alice") != std::string::npos, c.paged) << r.out;
        EXPECT_NE(r.out.find("alice"), std::string::npos) << r.out;
    }

    // less quits at the end of a short table and leaves it on the screen; the user's LESS wins.
    for (const auto& [less, shown] :
         {std::pair<std::string, std::string>{"", "less:FRX:alice"}, {"-S", "less:-S:alice"}}) {
        std::map<std::string, std::string> env = {
            {"LTP_PASSWORD", "secret"}, {"LINES", "3"}, {"PAGER", "sed s/^/less:$LESS:/"}};
        if (!less.empty())
            env["LESS"] = less;
        const e2e::ProcessResult r = OnTerminal({"users", "list"}, {}, env);
        EXPECT_NE(r.out.find(shown), std::string::npos) << r.out;
    }

    e2e::TempDir dir;
    std::ofstream(dir.File("lines")) << "groups list\nusers find nobody\n";
    const std::vector<std::string> batch = {"batch", "--keep-going", dir.File("lines")};
    const e2e::ProcessResult shown = OnTerminal(batch, {}, {{"LTP_PASSWORD", "secret"}});
    EXPECT_NE(shown.out.find("[2/2]"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("line 2: "), std::string::npos) << shown.out;
    const e2e::ProcessResult piped = Run(batch);
    EXPECT_EQ(piped.err.find("[1/2]"), std::string::npos) << "only on a terminal: " << piped.err;
    EXPECT_NE(piped.err.find("line 2: "), std::string::npos) << piped.err;
}

TEST_F(AtATerminal, TheShellKeepsHistoryCompletesKeysAndSurvivesErrors) {
    e2e::TempDir dir;
    const std::string history = dir.File("history");
    const e2e::ProcessResult r = OnTerminal(
        {}, {"> =users find nobody", "> =groups list", "> =users find al\t", "Alice Martin=exit"},
        {{"LTP_PASSWORD", "secret"}, {"LTPCTL_HISTORY", history}});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("ltpctl admin@127.0.0.1:" + std::to_string(server.Port()) + "> "),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("nobody"), std::string::npos) << "the error shows: " << r.out;
    EXPECT_NE(r.out.find("editors"), std::string::npos) << "and the shell goes on: " << r.out;
    EXPECT_NE(r.out.find("Alice Martin"), std::string::npos) << "the key was completed: " << r.out;
    std::ifstream saved(history);
    const std::string lines((std::istreambuf_iterator<char>(saved)), {});
    EXPECT_NE(lines.find("groups"), std::string::npos) << lines; // blanks are kept escaped
}

TEST_F(AtATerminal, TheShellTakesWhatPeopleTypeThere) {
    e2e::TempDir dir;
    const std::map<std::string, std::string> env = {{"LTP_PASSWORD", "secret"},
                                                    {"LTPCTL_HISTORY", dir.File("history")}};
    const struct {
        std::vector<std::string> answers; // after each prompt
        const char* shows;
        int exitCode;
    } cases[] = {
        // Ctrl-C drops the line and the shell goes on.
        {{"> =users find al\x03", "> =groups list", "editors=exit"}, "editors", 0},
        {{"> =help", "exit or quit=exit "}, "In the shell: help", 0},
        {{"> =help users", "> =quit"}, "delete", 0},
        {{"> =users find alice -o json", "\"UserID\"=exit"}, "\"UserID\": \"alice\"", 0},
        // Completion shows programs with their names, not bare numbers.
        {{"> =programs find \t\t", "Morning News=", "> =exit"}, "2  Morning News", 0},
    };
    for (const auto& c : cases) {
        const e2e::ProcessResult r = OnTerminal({}, c.answers, env);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.out;
        EXPECT_NE(r.out.find(c.shows), std::string::npos) << r.out;
    }
    // Every line entered was saved as it was entered; a dropped one was not.
    std::ifstream saved(dir.File("history"));
    const std::string lines((std::istreambuf_iterator<char>(saved)), {});
    EXPECT_NE(lines.find("help\\040users"), std::string::npos) << lines;
    EXPECT_EQ(lines.find("find\\040al\n"), std::string::npos) << "a dropped line is not kept";
}

// bash, zsh and fish complete keys through the hidden command, which asks the server.
TEST_F(AtATerminal, SystemShellsCompleteKeysFromTheServer) {
    const std::map<std::string, std::string> env = {{"LTP_PASSWORD", "secret"}};
    const struct {
        std::vector<std::string> words;
        const char* shows;
    } cases[] = {
        {{"__complete", "users", "find", "al"}, "alice\tAlice Martin\n"},
        {{"__complete", "programs", "find", ""}, "2\tMorning News\n"},
        {{"__complete", "members", "add", "alice", "ed"}, "editors\t"},
        {{"__complete", "us"}, "users\t"},
        {{"__complete", "users", "list", "--col"}, "--columns\t"},
    };
    for (const auto& c : cases) {
        const e2e::ProcessResult r = Ctl(server, c.words, "", env);
        EXPECT_EQ(r.exitCode, 0) << Describe(c.words, r);
        EXPECT_NE(r.out.find(c.shows), std::string::npos) << Describe(c.words, r);
    }
    // Without a password at hand nothing is asked: commands still complete, keys do not.
    const e2e::ProcessResult none =
        e2e::CtlWithEnvironment({"__complete", "users", "find", ""}, {});
    EXPECT_EQ(none.exitCode, 0) << none.err;
    EXPECT_EQ(none.out, "");
    // The bash script as installed, with ltpctl on the path.
    const std::string bin = std::string(LTPCTL_PATH).substr(0, std::string(LTPCTL_PATH).rfind('/'));
    const e2e::ProcessResult bash = e2e::RunProcess(
        "/bin/bash",
        {"-c", "source " + std::string(LTPCTL_SHARE_PATH) +
                   "/ltpctl.bash; COMP_WORDS=(ltpctl users find al); COMP_CWORD=3; _ltpctl; "
                   "echo \"${COMPREPLY[*]}\""},
        e2e::CleanEnvironment({{"PATH", bin + ":/usr/bin:/bin"},
                               {"LTP_PASSWORD", "secret"},
                               {"LTP_PORT", std::to_string(server.Port())}}),
        "");
    EXPECT_EQ(bash.out, "alice\n") << bash.err;
}

} // namespace

namespace {

TEST(LtpctlOutputFit, LongCellsAreCutToTheTerminal) {
    ltpctl::ResultTable t;
    t.columns = {{"ID", true}, {"Text", false}};
    t.rows = {{"12345", std::string(20, 'a')}, {"1", "\xc3\xa9\xe2\x82\xac bb"}};
    ltpctl::PrintOptions options;
    options.width = 16;
    std::ostringstream out;
    ltpctl::PrintResult(t, options, out);
    EXPECT_EQ(out.str(),
              "   ID  Text\n12345  aaaaaaaa\xe2\x80\xa6\n    1  \xc3\xa9\xe2\x82\xac bb\n");
    options.noHeaders = true;
    options.width = 0;
    std::ostringstream bare;
    ltpctl::PrintResult(t, options, bare);
    EXPECT_EQ(bare.str().find("ID"), std::string::npos) << bare.str();
}

} // namespace
