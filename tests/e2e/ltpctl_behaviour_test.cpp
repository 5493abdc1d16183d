// How ltpctl behaves around the operations: exit codes, error messages, input checked before
// sending, the password's ways in, output formats, -v and batch.
#include "support/fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <thread>

namespace {

using e2e::Column;
using e2e::Contains;

class Behaviour : public e2e::WithServer {};

struct UsageCase {
    std::vector<std::string> args;
    int exitCode;
    const char* stderrHolds;
};

TEST_F(Behaviour, InputIsCheckedBeforeAnythingIsSent) {
    const UsageCase cases[] = {
        {{"users", "add", "a|b"},
         4,
         "the text of UserID holds '|', which the protocol cannot carry"},
        {{"users", "add", "x", "--text2", "a<b"},
         4,
         "the text of --text2 holds '<', which the protocol cannot carry"},
        // Texts travel whole: how long a field may be is the server's to say.
        {{"users", "add", "x", "--text2", std::string(50, 'y')},
         1,
         "the server refused the request: 400 Text2 longer than 49 bytes"},
        {{"groups", "add", "x", "--text2", "two\nlines"}, 4, "holds a line break"},
        {{"members", "add", "x", "a|b"}, 4, "GroupID holds '|'"},
        {{"paths", "add", "2", "/a|b"}, 4, "ProgramPath holds '|'"},
        {{"users", "add"}, 2, "UserID is required"},
        {{"programs", "find", "abc"}, 2, "ProgramID needs a whole number"},
        {{"programs", "add", "--number6", "1.5"}, 2, "--number6 needs a whole number"},
        {{"schedules", "add", "--real4", "07.12.2026"}, 2, "not an ISO-8601 date"},
        {{"schedules", "add", "--real4", "2026-02-31"}, 2, "names a day that does not exist"},
        {{"programs", "add", "--real5=-1.5"}, 4, "--real5 is below 0"},
        {{"programs", "add", "--real5", "1e3"}, 2, "--real5 needs a number"},
        {{"programs", "find", "+5"}, 2, "ProgramID needs a whole number"},
        {{"--format", "xml", "users", "list"}, 2, "xml"},
        {{"frobnicate"}, 2, ""},
        {{"users"}, 2, ""},
        {{"--codepage", "1234", "users", "list"}, 2, "not a code page"},
        {{"users", "list", "--columns", "nosuch"},
         2,
         "no column nosuch here; the columns are UserID, Text2"},
        {{"users", "list", "z", "y"}, 2, "ltpctl: unexpected arguments: z y"},
        {{"users", "list", "--colums", "UserID"}, 2, "did you mean '--columns'?"},
        {{"export", "--only", "groups", "-o", "json"}, 2, "name the file with --output FILE"},
    };
    for (const UsageCase& c : cases) {
        const e2e::ProcessResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << Describe(c.args, r);
        EXPECT_NE(r.err.find(c.stderrHolds), std::string::npos) << Describe(c.args, r);
        EXPECT_TRUE(r.out.empty()) << Describe(c.args, r);
    }
    // None of them reached the server.
    const auto users = Column(Json({"users", "list"}), "UserID");
    EXPECT_FALSE(Contains(users, "x"));
    EXPECT_EQ(Json({"log", "list"}).size(), 0u);
}

TEST_F(Behaviour, MtpFindLooksForTheServersName) {
    Ok({"mtp", "add", "m1", "--text3", "news"});
    EXPECT_EQ(Json({"mtp", "find", "m1"})["MTPSvrName"], "m1");
    // "news" is the channel m1 serves, not the name of any MTP server.
    const e2e::ProcessResult r = Run({"mtp", "find", "news"});
    EXPECT_NE(r.exitCode, 0) << Describe({"mtp", "find", "news"}, r);
    EXPECT_NE(r.err.find("no MTP server 'news'"), std::string::npos) << r.err;
}

TEST_F(Behaviour, AWrongPasswordIsARefusalWithTheServersReason) {
    const e2e::ProcessResult r = Ctl(server, {"users", "list"}, "", {{"LTP_PASSWORD", "wrong"}});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("the server refused the request: 401"), std::string::npos) << r.err;
    const e2e::ProcessResult u = Ctl(server, {"users", "list"}, "", {{"LTP_USER", "mallory"}});
    EXPECT_EQ(u.exitCode, 1) << u.err;
}

TEST_F(Behaviour, ThePasswordComesFromTheEnvironmentOrStandardInput) {
    const std::map<std::string, std::string> noPassword = {
        {"LTP_HOST", "localhost"}, {"LTP_PORT", std::to_string(server.Port())}};
    const e2e::ProcessResult piped =
        e2e::CtlWithEnvironment({"--password-stdin", "users", "list"}, noPassword, "secret\n");
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_NE(piped.out.find("alice"), std::string::npos);
    // Options given on the command line win over the environment.
    const e2e::ProcessResult flags =
        e2e::CtlWithEnvironment({"--host", "127.0.0.1", "--port", std::to_string(server.Port()),
                                 "--user", "admin", "--password-stdin", "groups", "list"},
                                {{"LTP_PORT", "1"}}, "secret\r\n");
    EXPECT_EQ(flags.exitCode, 0) << flags.err;
    // With a batch on standard input, the password is its first line.
    const e2e::ProcessResult batch = e2e::CtlWithEnvironment(
        {"--password-stdin", "batch", "-"}, noPassword, "secret\nusers find alice\n");
    EXPECT_EQ(batch.exitCode, 0) << batch.err;
    EXPECT_NE(batch.out.find("alice"), std::string::npos);
    // None given and no terminal to ask on: said plainly, before the server says 401.
    const e2e::ProcessResult none = e2e::CtlWithEnvironment({"users", "list"}, noPassword);
    EXPECT_EQ(none.exitCode, 2) << none.err;
    EXPECT_NE(none.err.find("no password was set"), std::string::npos) << none.err;
}

TEST_F(Behaviour, ConnectionFailuresAreTransportErrors) {
    const int port = e2e::UnusedPort();
    const e2e::ProcessResult r = e2e::CtlWithEnvironment(
        {"users", "list"}, {{"LTP_PORT", std::to_string(port)}, {"LTP_PASSWORD", "secret"}});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_NE(r.err.find("connection refused by 127.0.0.1:" + std::to_string(port)),
              std::string::npos)
        << r.err;
    const e2e::ProcessResult unknown = e2e::CtlWithEnvironment(
        {"--host", "no-such-host.invalid", "users", "list"}, {{"LTP_PASSWORD", "x"}});
    EXPECT_EQ(unknown.exitCode, 3) << unknown.err;
    EXPECT_NE(unknown.err.find("no-such-host.invalid"), std::string::npos) << unknown.err;
    EXPECT_EQ(unknown.err.find("refused"), std::string::npos) << "the reason is the lookup's";
}

// A web server's "200" is no LTP answer: refused as another protocol, nothing printed as users.
TEST(LtpctlForeignServer, AStatusLineThatIsNotLtpIsATransportFailure) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    std::thread web([listener] {
        const int client = ::accept(listener, nullptr, nullptr);
        char request[4096];
        (void)::recv(client, request, sizeof request, 0);
        const std::string body = "<User>alice|A||||</User>\r\n";
        const std::string answer =
            "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        (void)::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
        ::close(client);
    });
    const e2e::ProcessResult r = e2e::CtlWithEnvironment(
        {"users", "list"},
        {{"LTP_PORT", std::to_string(ntohs(address.sin_port))}, {"LTP_PASSWORD", "x"}});
    web.join();
    ::close(listener);
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("did not answer in LTP/1.0: its status line is \"HTTP/1.1 200 OK\""),
              std::string::npos)
        << r.err;
}

TEST_F(Behaviour, OutputFormatsUseTheFieldNames) {
    const std::string table = Ok({"groups", "list"});
    EXPECT_EQ(table.rfind("GroupID", 0), 0u) << table;
    EXPECT_NE(table.find("\neditors  "), std::string::npos) << table;

    const std::string csv = Ok({"--format", "csv", "groups", "list"});
    EXPECT_EQ(csv.rfind("GroupID,Text2\r\n", 0), 0u) << csv;
    EXPECT_NE(csv.find("\r\neditors,Edit programmes and their schedules\r\n"), std::string::npos);

    const nlohmann::json users = Json({"users", "list"});
    ASSERT_TRUE(users.is_array());
    for (const char* field : {"UserID", "Text2", "Text3", "Text4", "Text5", "Text6"})
        EXPECT_TRUE(users[0].contains(field)) << field;
    const nlohmann::json program = Json({"programs", "find", "2"});
    EXPECT_TRUE(program["ProgramID"].is_number());
    EXPECT_TRUE(program["Real5"].is_number());
    EXPECT_TRUE(program["Text13"].is_string());
    // The global options may also come after the command.
    EXPECT_EQ(nlohmann::json::parse(Ok({"programs", "find", "2", "--format", "json"})), program);
}

TEST_F(Behaviour, VerboseShowsTheWireWithThePasswordMasked) {
    const e2e::ProcessResult r = Run({"-v", "users", "find", "alice"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("> Find  User  LTP/1.0\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("> User-Name: admin\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("> Authorization: basic ****\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("> <UserID>alice</UserID>\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("< LTP/1.0 200"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("< <User>alice|"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("secret"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("> "), std::string::npos) << "the trace goes to stderr";

    const e2e::ProcessResult refused = Run({"--verbose", "users", "find", "nobody"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("< LTP/1.0 404"), std::string::npos) << refused.err;
}

struct DryCase {
    std::vector<std::string> args;
    std::string input;         // a batch on standard input
    const char* outHolds;      // a line of the request, as -v shows it
    const char* outLacks;      // e.g. the number a real add would print
    const char* errLacks = ""; // e.g. a number the dry run never got
};

TEST_F(Behaviour, DryRunPrintsTheChangesAndSendsNone) {
    const DryCase cases[] = {
        {{"--dry-run", "users", "add", "zed", "--text2", "Zed"},
         "",
         "> <User>zed|Zed||||</User>\n",
         ""},
        {{"users", "delete", "alice", "--dry-run"}, "", "> <UserID>alice</UserID>\n", ""},
        // The record to change is read first; only the change is held back.
        {{"--dry-run", "users", "modify", "bob", "--text3", "Night"},
         "",
         "> <User>bob|Bob Chen|Night|",
         ""},
        {{"--dry-run", "programs", "add", "--text2", "Late show"},
         "",
         "> Add  Program  LTP/1.0\n",
         "ProgramID"},
        {{"--dry-run", "mtp", "add", "m9", "--number5", "7"},
         "",
         "> <MTPSvr>m9|||7|0</MTPSvr>\n",
         ""},
        {{"--dry-run", "members", "remove", "bob", "editors"},
         "",
         "<UserID>bob</UserID><GroupID>editors</GroupID>\n",
         ""},
        {{"--dry-run", "log", "clear", "--yes"}, "", "> Clear  LogEvents  LTP/1.0\n", ""},
        {{"--dry-run", "batch", "-"},
         "groups delete editors\nusers delete carol\n",
         "> <UserID>carol</UserID>\n",
         ""},
        {{"batch", "-"}, "users delete alice --dry-run\n", "> <UserID>alice</UserID>\n", ""},
        // A modify shows what it changes, old and new, before the request.
        {{"--dry-run", "users", "modify", "bob", "--text3", "Night"},
         "",
         "~ user bob (Text3: Operations -> Night)\n",
         ""},
        // The warnings name the schedule that was not added without a number.
        {{"--dry-run", "schedules", "add", "--text2", "main", "--number3", "2", "--real4",
          "2030-01-01T10:00"},
         "",
         "> Add  Schedule  LTP/1.0\n",
         "",
         "schedule 0"},
        // --yes is taken before the command, as --dry-run is.
        {{"--dry-run", "--yes", "users", "delete", "alice"}, "", "> <UserID>alice</UserID>\n", ""},
    };
    for (const DryCase& c : cases) {
        const e2e::ProcessResult r = Run(c.args, c.input);
        ASSERT_EQ(r.exitCode, 0) << Describe(c.args, r);
        EXPECT_NE(r.out.find(c.outHolds), std::string::npos) << Describe(c.args, r);
        EXPECT_NE(r.out.find("> Authorization: basic ****\n"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("secret"), std::string::npos) << r.out;
        if (*c.outLacks) {
            EXPECT_EQ(r.out.find(c.outLacks), std::string::npos) << r.out;
        }
        if (*c.errLacks) {
            EXPECT_EQ(r.err.find(c.errLacks), std::string::npos) << r.err;
        }
    }
    // Nothing changed on the server.
    const auto users = Json({"users", "list"});
    EXPECT_FALSE(Contains(Column(users, "UserID"), "zed"));
    EXPECT_TRUE(Contains(Column(users, "UserID"), "alice"));
    EXPECT_TRUE(Contains(Column(users, "UserID"), "carol"));
    EXPECT_EQ(Json({"users", "find", "bob"})["Text3"], "Operations");
    EXPECT_TRUE(Contains(Column(Json({"groups", "list"}), "GroupID"), "editors"));
    EXPECT_TRUE(Contains(Column(Json({"members", "list", "editors"}), "UserID"), "bob"));
    EXPECT_TRUE(Json({"mtp", "list"}).empty() ||
                !Contains(Column(Json({"mtp", "list"}), "MTPSvrName"), "m9"));
}

TEST_F(Behaviour, BatchRunsLinesOverOneLoginAndStopsAtTheFirstFailure) {
    e2e::TempDir dir;
    const std::string file = dir.File("commands");
    std::ofstream(file) << "# set up a user\n"
                           "users add bea --text2 \"Bea Ruiz\"\n"
                           "\n"
                           "members add bea editors\n"
                           "users find nobody\n"
                           "users add after-failure\n";
    const e2e::ProcessResult stopped = Run({"batch", file});
    EXPECT_EQ(stopped.exitCode, 1) << stopped.err;
    EXPECT_NE(stopped.err.find("line 5: the server refused the request: 404"), std::string::npos)
        << stopped.err;
    const auto users = Column(Json({"users", "list"}), "UserID");
    EXPECT_TRUE(Contains(users, "bea"));
    EXPECT_FALSE(Contains(users, "after-failure"));
    EXPECT_TRUE(Contains(Column(Json({"members", "list", "editors"}), "UserID"), "bea"));

    const e2e::ProcessResult going =
        Run({"batch", "--keep-going", "-"}, "users add kai\nusers add kai\nusers add lou\n");
    EXPECT_EQ(going.exitCode, 1) << going.err;
    EXPECT_NE(going.err.find("line 2: "), std::string::npos) << going.err;
    EXPECT_TRUE(Contains(Column(Json({"users", "list"}), "UserID"), "lou"));

    // Output of every line, in the chosen format; one login serves all lines.
    const e2e::ProcessResult listed =
        Run({"--format", "csv", "-v", "batch", "-"}, "groups find editors\ngroups find viewers\n");
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find("editors,"), std::string::npos);
    EXPECT_NE(listed.out.find("viewers,"), std::string::npos);
    size_t logins = 0;
    for (size_t at = listed.err.find("* connecting"); at != std::string::npos;
         at = listed.err.find("* connecting", at + 1))
        ++logins;
    EXPECT_EQ(logins, 1u) << listed.err;

    const e2e::ProcessResult usage =
        Run({"batch", "-"}, "users list\nusers add \"open\nusers list\n");
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_NE(usage.err.find("line 2: "), std::string::npos) << usage.err;
    // The output options are a line's own, in a batch as in the shell.
    const e2e::ProcessResult json =
        Run({"batch", "-"}, "users find alice -o json\ngroups find editors\n");
    EXPECT_EQ(json.exitCode, 0) << json.err;
    EXPECT_NE(json.out.find("\"UserID\": \"alice\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\neditors "), std::string::npos) << "the next line is a table";
    // Several keys are all looked up first: none goes when one is missing.
    const e2e::ProcessResult partial = Run({"users", "delete", "kai", "nosuch", "lou"});
    EXPECT_EQ(partial.exitCode, 1) << partial.err;
    EXPECT_NE(partial.err.find("nosuch"), std::string::npos) << partial.err;
    EXPECT_TRUE(Contains(Column(Json({"users", "list"}), "UserID"), "kai"));
    const e2e::ProcessResult nested = Run({"batch", "-"}, "batch -\n");
    EXPECT_EQ(nested.exitCode, 2) << nested.err;
    EXPECT_EQ(Run({"batch", dir.File("missing")}).exitCode, 2);
}

} // namespace
