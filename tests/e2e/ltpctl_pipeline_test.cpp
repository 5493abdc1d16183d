// ltpctl batch --pipeline: the same results as one request at a time, shown in input order, and
// on a broken connection which lines were answered, which may have been applied and which were
// never sent.
#include "support/fixture.h"

#include "support/loopback_peer.h"

namespace {

class Pipelined : public e2e::WithServer {};

// Lines of every kind: changes that succeed and that are refused, lookups and lists between them
// (which must see the changes before them), an add that shows its new number, a modify (a lookup
// and a change), text the protocol cannot carry, a usage mistake, help.
const char* const kMixed = "users add pa --text2 \"P A\"\n"
                           "users add pb\n"
                           "users add pa\n"
                           "users find pa\n"
                           "programs add --text2 Piped\n"
                           "members add pa editors\n"
                           "users delete nosuch\n"
                           "users modify pb --text2 B2\n"
                           "users add 'bad|id'\n"
                           "users add --no-such-option\n"
                           "groups add pg --text2 'Piped group'\n"
                           "members add pb nosuchgroup\n"
                           "users delete pa\n"
                           "users list -o csv\n"
                           "members list editors -o csv\n";

TEST_F(Pipelined, ResultsAreThoseOfOneRequestAtATime) {
    struct Case {
        const char* name;
        std::vector<std::string> options;
        std::string input;
    } cases[] = {
        {"every kind of line, going on after failures", {"--keep-going"}, kMixed},
        {"many changes, one refused",
         {"--keep-going"},
         [] {
             std::string lines;
             for (int i = 0; i < 300; ++i)
                 lines += "users add m" + std::to_string(i == 150 ? 7 : i) + "\n";
             return lines + "users list -o csv\n";
         }()},
        {"a dry run of its own among sent lines",
         {},
         "users add d1\nusers delete d1 --dry-run\nusers add d2\nusers list -o csv\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Each depth against a server of its own, seeded alike, so that new numbers agree.
        e2e::LtpdServer alone;
        e2e::LtpdServer piped_server;
        ASSERT_TRUE(alone.Start()) << alone.Log();
        ASSERT_TRUE(piped_server.Start()) << piped_server.Log();
        std::vector<std::string> args = {"--format", "csv", "batch"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        std::vector<std::string> piped = args;
        args.push_back("-");
        piped.insert(piped.end(), {"--pipeline", "64", "-"});
        const e2e::ProcessResult one = e2e::Ctl(alone, args, c.input);
        const e2e::ProcessResult many = e2e::Ctl(piped_server, piped, c.input);
        EXPECT_EQ(many.exitCode, one.exitCode);
        EXPECT_EQ(many.out, one.out);
        EXPECT_EQ(many.err, one.err);
    }
}

TEST_F(Pipelined, AFailureStopsTheBatchAfterTheLinesAlreadySent) {
    const e2e::ProcessResult r =
        Run({"batch", "--pipeline", "8", "-"}, "users add q1\nusers add q1\nusers add q3\n");
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.err.rfind("ltpctl: line 2: ", 0), 0u) << r.err;
    EXPECT_EQ(Run({"users", "find", "q1"}).exitCode, 0);
    EXPECT_EQ(Run({"batch", "--pipeline", "0", "-"}, "users list\n").exitCode, 2)
        << "a depth below 1 is a usage mistake";
}

TEST(PipelinedBroken, LinesAreToldAnsweredMaybeAppliedOrNotSent) {
    const std::string ok = ltptest::MakeResponse(200, " OK", "");
    struct Case {
        const char* name;
        const char* depth;
        std::function<void(ltptest::LoopbackPeer&)> script;
        std::vector<std::string> told; // after "ltpctl: ", in order
        std::size_t requests;
    } cases[] = {
        {"all sent, two answered",
         "8",
         [&](ltptest::LoopbackPeer& peer) {
             for (int i = 0; i < 5; ++i)
                 peer.ExpectRequest();
             peer.Send(ok + ok).Close();
         },
         {"line 3: ", "line 3: sent, but no answer came: it may have been applied",
          "line 4: sent, but no answer came: it may have been applied",
          "line 5: sent, but no answer came: it may have been applied"},
         5},
        {"two in flight, one answered",
         "2",
         [&](ltptest::LoopbackPeer& peer) {
             peer.ExpectRequest().ExpectRequest().Send(ok).ExpectRequest().Close();
         },
         {"line 2: ", "line 2: sent, but no answer came: it may have been applied",
          "line 3: sent, but no answer came: it may have been applied", "line 4: not sent"},
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ltptest::LoopbackPeer peer;
        c.script(peer);
        peer.Start();
        const e2e::ProcessResult r = e2e::CtlWithEnvironment(
            {"batch", "--keep-going", "--pipeline", c.depth, "-"},
            {{"LTP_HOST", "127.0.0.1"},
             {"LTP_PORT", std::to_string(peer.Port())},
             {"LTP_PASSWORD", "secret"}},
            "users delete u1\nusers delete u2\nusers delete u3\nusers delete u4\nusers delete "
            "u5\n");
        EXPECT_EQ(r.exitCode, 3) << r.err;
        std::vector<std::string> told;
        for (std::size_t at = 0; (at = r.err.find("ltpctl: ", at)) != std::string::npos;) {
            const std::size_t end = r.err.find('\n', at);
            told.push_back(r.err.substr(at + 8, end - at - 8));
            at = end;
        }
        // The failure itself is named once, on the first line it touched.
        ASSERT_EQ(told.size(), c.told.size()) << r.err;
        for (std::size_t i = 0; i < told.size(); ++i)
            EXPECT_EQ(told[i].rfind(c.told[i], 0), 0u) << told[i];
        ASSERT_TRUE(peer.Finish());
        EXPECT_EQ(peer.Requests().size(), c.requests) << "nothing is resent";
        EXPECT_EQ(peer.Connections(), 1);
    }
}

} // namespace
