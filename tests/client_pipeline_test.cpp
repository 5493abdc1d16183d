// ltp::Pipeline against the scripted peer: answers in order, refusals in between, a connection
// lost part way (nothing resent), answers in dribbles, and a peer that writes large answers while
// it reads nothing (the client must read while it sends, or both sides block).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ltpadmin/client.h"
#include "support/loopback_peer.h"

namespace {

using ltptest::LoopbackPeer;
using ltptest::MakeResponse;
using Millis = std::chrono::milliseconds;
using State = ltp::Pipeline::Outcome::State;

const std::string kOk = MakeResponse(200, " OK", "");

ltp::Options PeerOptions(const LoopbackPeer& peer) {
    ltp::Options options;
    options.port = peer.Port();
    options.user = "admin";
    options.password = "secret";
    options.request_timeout = Millis(3000);
    return options;
}

// "ok", "ok #7" (a new number), "refused 409 exists", "unknown", "not_sent".
std::string Describe(const ltp::Pipeline::Outcome& o) {
    switch (o.state) {
        case State::succeeded:
            return o.new_id != 0 ? "ok #" + std::to_string(o.new_id) : "ok";
        case State::refused:
            return "refused " + std::to_string(o.status) + " " + o.message;
        case State::unknown:
            return "unknown";
        case State::not_sent:
            return "not_sent";
    }
    return "?";
}

ltp::User NewUser(int n) {
    ltp::User u;
    u.user_id = "u" + std::to_string(n);
    u.text2 = "User " + std::to_string(n);
    return u;
}

// Queues n user adds.
std::function<void(ltp::Pipeline&)> Adds(int n) {
    return [n](ltp::Pipeline& p) {
        for (int i = 0; i < n; ++i)
            p.add_user(NewUser(i));
    };
}

struct PipeCase {
    const char* name;
    std::size_t depth;
    std::function<void(LoopbackPeer&)> script;
    std::function<void(ltp::Pipeline&)> calls;
    std::vector<std::string> outcomes; // by index
    std::size_t requests;              // how many reached the peer: each exactly once
    int connections = 1;
};

TEST(Pipeline, OutcomesFollowTheAnswersInOrder) {
    const std::string big(3 << 20, 'x'); // more than the sockets hold: sends block
    const PipeCase cases[] = {
        {"answers in order, the new number read from its answer",
         3,
         [](LoopbackPeer& peer) {
             peer.Serve({kOk, MakeResponse(200, " OK", "<ProgramID>41</ProgramID>\r\n"), kOk,
                         MakeResponse(200, " OK", "<ScheduleID>7</ScheduleID>\r\n"), kOk});
         },
         [](ltp::Pipeline& p) {
             p.add_user(NewUser(1));
             ltp::Program program;
             program.text2 = "News";
             p.add_program(program);
             p.add_user_to_group("u1", "staff");
             p.add_schedule(ltp::Schedule{});
             p.move_program(41, 2);
         },
         {"ok", "ok #41", "ok", "ok #7", "ok"},
         5},
        {"a refusal in the middle stops nothing",
         8,
         [](LoopbackPeer& peer) {
             peer.Serve({kOk, MakeResponse(409, " user 'u1' exists", ""), kOk,
                         MakeResponse(404, " no such group", ""), kOk});
         },
         Adds(5),
         {"ok", "refused 409 user 'u1' exists", "ok", "refused 404 no such group", "ok"},
         5},
        {"all sent, the peer closes after 2 of 5 answers: the rest may have been applied",
         5,
         [](LoopbackPeer& peer) {
             for (int i = 0; i < 5; ++i)
                 peer.ExpectRequest();
             peer.Send(kOk + kOk).Close();
         },
         Adds(5),
         {"ok", "ok", "unknown", "unknown", "unknown"},
         5},
        {"depth 2, the peer closes after 1 answer: later requests were never sent",
         2,
         [](LoopbackPeer& peer) {
             peer.ExpectRequest().ExpectRequest().Send(kOk).ExpectRequest().Close();
         },
         Adds(6),
         {"ok", "unknown", "unknown", "not_sent", "not_sent", "not_sent"},
         3},
        {"answers in dribbles, split inside heads and bodies",
         4,
         [](LoopbackPeer& peer) {
             for (int i = 0; i < 4; ++i)
                 peer.ExpectRequest();
             peer.SendPieces(kOk + MakeResponse(403, " not yours", "<X>body</X>\r\n") + kOk + kOk,
                             {1, 5, 17, 2, 30, 3, 11, 40, 1}, Millis(5));
         },
         Adds(4),
         {"ok", "refused 403 not yours", "ok", "ok"},
         4},
        {"the peer answers at length while it reads nothing: the client reads while it sends",
         3,
         [big](LoopbackPeer& peer) {
             const std::string answer = MakeResponse(200, " OK", big);
             for (int i = 0; i < 3; ++i)
                 peer.ExpectRequest().Send(answer);
         },
         [big](ltp::Pipeline& p) {
             for (int i = 0; i < 3; ++i)
                 p.add_information(big);
         },
         {"ok", "ok", "ok"},
         3},
        {"an answer that is not the protocol's: unknown, and the stream goes on",
         4,
         [](LoopbackPeer& peer) {
             peer.Serve({kOk, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n",
                         MakeResponse(200, " OK", "<ProgramID>x</ProgramID>\r\n"), kOk});
         },
         [](ltp::Pipeline& p) {
             p.add_user(NewUser(1));
             p.add_user(NewUser(2));
             p.add_program(ltp::Program{});
             p.add_user(NewUser(3));
         },
         {"ok", "unknown", "unknown", "ok"},
         4},
        {"an answer that cannot be framed breaks the stream: what follows is unknown",
         3,
         [](LoopbackPeer& peer) {
             for (int i = 0; i < 3; ++i)
                 peer.ExpectRequest();
             peer.Send(kOk + "LTP/1.0 200 OK\r\nContent-Length: -5\r\n\r\n" + kOk);
         },
         Adds(3),
         {"ok", "unknown", "unknown"},
         3},
        {"the server closes the connection once all is answered: the next request reconnects",
         1,
         [](LoopbackPeer& peer) { peer.Respond(kOk).Close().Accept().Respond(kOk); },
         [](ltp::Pipeline& p) {
             p.add_user(NewUser(1));
             std::this_thread::sleep_for(Millis(100)); // the answer and the close arrive
             p.add_user(NewUser(2));
         },
         {"ok", "ok"},
         2,
         2},
    };
    for (const PipeCase& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackPeer peer;
        c.script(peer);
        peer.Start();
        ltp::Client client(PeerOptions(peer));
        std::vector<std::string> told;
        {
            ltp::Pipeline pipeline(client, c.depth,
                                   [&](std::size_t index, const ltp::Pipeline::Outcome& o) {
                                       EXPECT_EQ(index, told.size()) << "told out of order";
                                       told.push_back(Describe(o));
                                   });
            c.calls(pipeline);
            pipeline.flush();
            std::vector<std::string> got;
            for (const auto& o : pipeline.outcomes())
                got.push_back(Describe(o));
            EXPECT_EQ(got, c.outcomes);
            EXPECT_EQ(pipeline.settled(), c.outcomes.size());
        }
        EXPECT_EQ(told, c.outcomes);
        ASSERT_TRUE(peer.Finish());
        EXPECT_EQ(peer.Requests().size(), c.requests);
        EXPECT_EQ(peer.Connections(), c.connections) << "nothing is resent on a new connection";
        EXPECT_TRUE(peer.Failures().empty());
    }
}

TEST(Pipeline, RequestsGoOutAsTheClientWritesThem) {
    LoopbackPeer peer;
    peer.Serve({kOk, kOk}).Start();
    ltp::Options options = PeerOptions(peer);
    ltp::Client client(options);
    {
        ltp::Pipeline pipeline(client, 2);
        pipeline.delete_user("ann");
        pipeline.add_user_rights("ann", 3, 5);
    }
    ASSERT_TRUE(peer.Finish());
    // The same bytes a Client sends for each call, one after the other.
    std::vector<std::string> expected;
    options.dry_run = [&](std::string_view r) { expected.emplace_back(r); };
    ltp::Client dry(options);
    dry.delete_user("ann");
    dry.add_user_rights("ann", 3, 5);
    EXPECT_EQ(peer.Requests(), expected);
}

TEST(Pipeline, RefusesWhatItCannotCarryBeforeQueuing) {
    LoopbackPeer peer;
    peer.Serve({kOk}).Start();
    ltp::Client client(PeerOptions(peer));
    ltp::Pipeline pipeline(client, 4);
    EXPECT_THROW(pipeline.delete_user("a|b"), ltp::InvalidInput);
    EXPECT_THROW(pipeline.record([](ltp::Client& c) { c.users(); }), ltp::Error);
    // A call that makes a change and then throws queues nothing.
    EXPECT_THROW(pipeline.record([](ltp::Client& c) {
        c.delete_user("x");
        c.delete_user("bad\n");
    }),
                 ltp::InvalidInput);
    EXPECT_EQ(pipeline.size(), 0u);
    EXPECT_EQ(pipeline.delete_user("ok"), 0u);
    // The client's own calls, and a second pipeline's, wait until the pipeline is flushed.
    EXPECT_THROW(client.delete_user("other"), ltp::Error);
    ltp::Pipeline second(client, 4);
    EXPECT_THROW(second.delete_user("other"), ltp::Error);
    EXPECT_EQ(second.size(), 0u);
    pipeline.flush();
    EXPECT_EQ(Describe(pipeline.outcomes()[0]), "ok");
    ASSERT_TRUE(peer.Finish());
    EXPECT_EQ(peer.Requests().size(), 1u);
}

TEST(Pipeline, FailuresAndDryRunsSettleEveryRequest) {
    // No server: the connect fails, nothing was sent, and later requests are settled at once.
    {
        ltp::Options options;
        options.user = "admin";
        options.port = 1; // nothing listens on a privileged port of the loopback
        options.connect_timeout = Millis(500);
        ltp::Client client(options);
        ltp::Pipeline pipeline(client, 4);
        pipeline.delete_user("a");
        EXPECT_TRUE(pipeline.failed());
        EXPECT_EQ(pipeline.delete_user("b"), 1u);
        EXPECT_EQ(Describe(pipeline.outcomes()[0]), "not_sent");
        EXPECT_EQ(Describe(pipeline.outcomes()[1]), "not_sent");
        EXPECT_FALSE(pipeline.outcomes()[1].message.empty());
    }
    // A dry run sends nothing and succeeds at once, handing over each request.
    {
        ltp::Options options;
        options.user = "admin";
        options.password = "pw";
        std::vector<std::string> seen;
        options.dry_run = [&](std::string_view r) { seen.emplace_back(r); };
        ltp::Client client(options);
        ltp::Pipeline pipeline(client, 2);
        for (int i = 0; i < 5; ++i)
            pipeline.delete_user("u" + std::to_string(i));
        EXPECT_EQ(pipeline.settled(), 5u);
        EXPECT_EQ(seen.size(), 5u);
        EXPECT_FALSE(client.connected());
    }
}

} // namespace
