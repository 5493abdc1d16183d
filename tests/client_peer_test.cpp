// ltp::Client against the scripted peer: what a real server cannot be made to do on cue (trickle,
// fall silent, close at the wrong moment, answer wrongly), and the exact bytes of requests.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "ltpadmin/client.h"
#include "support/loopback_peer.h"

namespace {

using ltptest::LoopbackPeer;
using ltptest::MakeResponse;
using Millis = std::chrono::milliseconds;
using Kind = ltp::TransportError::Kind;

const std::string kOk = MakeResponse(200, " OK", "");
const std::string kHangUp = "hang up"; // in a script: read the request, then close

ltp::Options PeerOptions(const LoopbackPeer& peer) {
    ltp::Options options;
    options.port = peer.Port();
    options.user = "admin";
    options.password = "secret";
    options.request_timeout = Millis(2000);
    return options;
}

void Script(LoopbackPeer& peer, const std::vector<std::string>& answers) {
    for (const std::string& answer : answers) {
        if (answer == kHangUp)
            peer.ExpectRequest().Close();
        else
            peer.Respond(answer);
    }
    peer.Start();
}

std::string UserElement(const std::string& id, const std::string& text4) {
    return "<User>" + id + "|t2|t3|" + text4 + "|t5|t6</User>\r\n";
}

// What a failed call threw, as "Kind detail", so that one table holds every error.
std::string Outcome(const std::function<void()>& call) {
    try {
        call();
        return "ok";
    } catch (const ltp::Refused& e) {
        return "refused " + std::to_string(e.status()) + " " + e.reason();
    } catch (const ltp::TransportError& e) {
        return std::string("transport ") + ltp::to_string(e.kind());
    } catch (const ltp::InvalidInput& e) {
        return "invalid " + e.argument() + " " + std::string(1, e.character());
    } catch (const ltp::ProtocolError&) {
        return "protocol";
    }
}

struct ErrorCase {
    const char* name;
    std::vector<std::string> answers;
    std::function<void(ltp::Client&)> call;
    const char* outcome;
    int requests; // how many requests reached the peer
    std::function<void(ltp::Options&)> setup = [](ltp::Options&) {};
};

TEST(ClientErrors, EachFailureHasItsOwnKind) {
    const ErrorCase cases[] = {
        {"refusal keeps status and reason",
         {MakeResponse(404, " no such user 'x'", "")},
         [](ltp::Client& c) { c.delete_user("x"); },
         "refused 404 no such user 'x'",
         1},
        {"a lookup's 404 is no record, any other refusal throws",
         {MakeResponse(404, " no", ""), MakeResponse(409, " busy", "")},
         [](ltp::Client& c) {
             EXPECT_FALSE(c.find_group("g").has_value());
             c.find_group("g");
         },
         "refused 409 busy",
         2},
        {"an add without the new number",
         {kOk},
         [](ltp::Client& c) { c.add_program(ltp::Program{}); },
         "protocol",
         1},
        {"a value that is no number",
         {MakeResponse(200, " OK", "<UserRights>12x</UserRights>\r\n")},
         [](ltp::Client& c) { c.user_rights("u", 1); },
         "protocol",
         1},
        {"a single record missing", {kOk}, [](ltp::Client& c) { c.sys_info(); }, "protocol", 1},
        {"no status code",
         {"LTP/1.0 OK\r\nContent-Length: 0\r\n\r\n"},
         [](ltp::Client& c) { c.clear_log_events(); },
         "protocol",
         1},
        {"another protocol's success",
         {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"},
         [](ltp::Client& c) { c.clear_log_events(); },
         "protocol",
         1},
        {"a negative length",
         {"LTP/1.0 200 OK\r\nContent-Length: -1\r\n\r\n"},
         [](ltp::Client& c) { c.clear_log_events(); },
         "protocol",
         1},
        {"closed while the response is awaited",
         {kHangUp},
         [](ltp::Client& c) { c.users(); },
         "transport closed",
         1},
        {"a response longer than allowed",
         {MakeResponse(200, " OK", std::string(200, 'x'))},
         [](ltp::Client& c) { c.information(); },
         "transport limit",
         1,
         [](ltp::Options& o) { o.max_response_bytes = 100; }},
        {"records larger than allowed",
         {MakeResponse(200, " OK", UserElement("a", "x") + UserElement("b", "y"))},
         [](ltp::Client& c) { c.users(); },
         "transport limit",
         1,
         [](ltp::Options& o) { o.max_result_bytes = sizeof(ltp::User) + 10; }},
        {"a field that cannot travel",
         {},
         [](ltp::Client& c) {
             ltp::User user;
             user.text2 = "a|b";
             c.add_user(user);
         },
         "invalid text2 |",
         0},
        {"a key that cannot travel",
         {},
         [](ltp::Client& c) { c.add_user_to_group("u", "g<"); },
         "invalid group_id <",
         0},
        {"a line end in the password",
         {},
         [](ltp::Client& c) { c.mtp_servers(); },
         "invalid password \n",
         0,
         [](ltp::Options& o) { o.password = "se\ncret"; }},
    };
    for (const ErrorCase& test : cases) {
        SCOPED_TRACE(test.name);
        LoopbackPeer peer;
        Script(peer, test.answers);
        ltp::Options options = PeerOptions(peer);
        test.setup(options);
        ltp::Client client(options);
        EXPECT_EQ(Outcome([&] { test.call(client); }), test.outcome);
        client.close();
        EXPECT_TRUE(peer.Finish());
        EXPECT_EQ(static_cast<int>(peer.Requests().size()), test.requests);
        if (test.requests == 0) {
            EXPECT_EQ(peer.Connections(), 0); // refused before connecting
        }
    }
}

TEST(ClientErrors, NoServerIsAConnectError) {
    ltp::Options options;
    options.port = 1; // nothing listens on port 1 of the loopback
    ltp::Client client(options);
    EXPECT_EQ(Outcome([&] { client.users(); }), "transport connect");
    ltp::Options unknown = options;
    unknown.host = "host.invalid";
    ltp::Client nowhere(unknown);
    EXPECT_EQ(Outcome([&] { nowhere.users(); }), "transport connect");
}

TEST(ClientErrors, HostWithANulIsAConnectError) {
    LoopbackPeer peer;
    ltp::Options options = PeerOptions(peer);
    options.host = std::string("127.0.0.1\0.invalid", 18);
    ltp::Client client(options);
    EXPECT_EQ(Outcome([&] { client.users(); }), "transport connect");
    EXPECT_EQ(peer.Connections(), 0);
}

// The wait restarts whenever bytes arrive: a slow answer longer than the time-out succeeds, a
// silent server fails after about the time-out.
TEST(ClientTimeout, IdleTimeoutRestartsWithEachPiece) {
    struct Case {
        const char* name;
        bool trickle;
        const char* outcome;
    } const cases[] = {{"trickling server", true, "ok"},
                       {"silent server", false, "transport timeout"}};
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        LoopbackPeer peer;
        const std::string response =
            MakeResponse(200, " OK", UserElement("a", std::string(2000, 'x')));
        if (test.trickle)
            peer.ExpectRequest().SendPieces(response, {100, 100, 100, 100, 100, 100}, Millis(150));
        else
            peer.ExpectRequest().StaySilent();
        peer.Start();
        ltp::Options options = PeerOptions(peer);
        options.request_timeout = Millis(400); // the trickle takes 900 ms in all
        ltp::Client client(options);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Outcome([&] { EXPECT_EQ(client.users().at(0).text4.size(), 2000u); }),
                  test.outcome);
        const auto took = std::chrono::steady_clock::now() - start;
        if (!test.trickle) {
            EXPECT_GE(took, Millis(350));
            EXPECT_LT(took, Millis(3000));
        }
        client.close();
        EXPECT_TRUE(peer.Finish());
    }
}

TEST(ClientReconnect, OnceBeforeSendingNeverAfter) {
    // The server closed the idle connection: the next call opens a new one and succeeds.
    LoopbackPeer idle;
    idle.Respond(kOk).Close().Accept().Respond(kOk);
    idle.Start();
    ltp::Client client(PeerOptions(idle));
    client.clear_log_events();
    std::this_thread::sleep_for(Millis(100)); // the close reaches the client
    EXPECT_EQ(Outcome([&] { client.clear_log_events(); }), "ok");
    client.close();
    EXPECT_TRUE(idle.Finish());
    EXPECT_EQ(idle.Connections(), 2);
    EXPECT_EQ(idle.Requests().size(), 2u);

    // The server closed after the request went out: the request is not sent again.
    LoopbackPeer late;
    late.ExpectRequest().Close();
    late.Start();
    ltp::Client once(PeerOptions(late));
    EXPECT_EQ(Outcome([&] { once.delete_user("u"); }), "transport closed");
    once.close();
    EXPECT_TRUE(late.Finish());
    EXPECT_EQ(late.Requests().size(), 1u);
    EXPECT_EQ(late.Received().find("Delete"), late.Received().rfind("Delete"));
}

TEST(ClientTrace, SeesEachRequestAndWhatCameBack) {
    const std::string full = MakeResponse(200, " OK", UserElement("a", "x"));
    const std::string cut = MakeResponse(200, " OK", UserElement("b", "y")).substr(0, 60);
    LoopbackPeer peer;
    peer.Respond(full).ExpectRequest().Send(cut).Close();
    peer.Start();
    ltp::Options options = PeerOptions(peer);
    std::vector<std::string> seen;
    options.trace = [&](ltp::TraceDirection way, std::string_view bytes) {
        seen.push_back((way == ltp::TraceDirection::request ? "> " : "< ") + std::string(bytes));
    };
    ltp::Client client(options);
    client.users();
    EXPECT_EQ(Outcome([&] { client.users(); }), "transport closed");
    EXPECT_EQ(Outcome([&] { client.delete_user("bad|id"); }), "invalid user_id |");
    client.close();
    ASSERT_TRUE(peer.Finish());
    ASSERT_EQ(peer.Requests().size(), 2u);
    // Nothing is traced for the refused request; a response cut short shows what arrived.
    const std::vector<std::string> expected = {"> " + peer.Requests()[0], "< " + full,
                                               "> " + peer.Requests()[1], "< " + cut};
    EXPECT_EQ(seen, expected);
}

TEST(ClientTexts, LongTextsTravelWholeBothWays) {
    const std::string long_text(3000, 'w');
    const std::string body = "<User>u|" + long_text + "|||" + "|</User>\r\n";
    LoopbackPeer peer;
    peer.Respond(kOk).Respond(MakeResponse(200, " OK", UserElement("u", long_text)));
    peer.Start();
    ltp::Client client(PeerOptions(peer));
    ltp::User user;
    user.user_id = "u";
    user.text2 = long_text;
    client.add_user(user);
    const std::vector<ltp::User> users = client.users();
    client.close();
    ASSERT_TRUE(peer.Finish());
    ASSERT_EQ(peer.Requests().size(), 2u);
    EXPECT_EQ(peer.Requests()[0], "Add  User  LTP/1.0\r\nUser-Name: admin\r\n"
                                  "Authorization: basic secret\r\nContent-Length: " +
                                      std::to_string(body.size()) + "\r\n\r\n" + body);
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].text4, long_text);
    EXPECT_EQ(users[0].text6, "t6");
}

} // namespace

namespace {

// In code page 932, 0x83 0x7C is one character whose trail byte is "|": it travels and decodes
// whole there, and is refused where it would split a field.
TEST(ClientTexts, TrailBytesOfTheServersCodePage) {
    const std::string kanji = "\x83\x7C";
    struct Case {
        unsigned code_page;
        const char* outcome;
    } const cases[] = {{932, "ok"}, {1252, "invalid user_id |"}};
    for (const Case& test : cases) {
        SCOPED_TRACE(test.code_page);
        LoopbackPeer peer;
        if (test.code_page == 932)
            peer.Respond(kOk).Respond(MakeResponse(200, " OK", UserElement(kanji, kanji)));
        peer.Start();
        ltp::Options options = PeerOptions(peer);
        options.code_page = test.code_page;
        ltp::Client client(options);
        ltp::User user;
        user.user_id = kanji;
        EXPECT_EQ(Outcome([&] {
                      client.add_user(user);
                      const std::vector<ltp::User> users = client.users();
                      EXPECT_EQ(users.at(0).user_id, kanji);
                      EXPECT_EQ(users.at(0).text4, kanji);
                      EXPECT_EQ(users.at(0).text5, "t5");
                  }),
                  test.outcome);
        client.close();
        EXPECT_TRUE(peer.Finish());
    }
    ltp::Options unknown;
    unknown.code_page = 1234;
    EXPECT_THROW(ltp::Client{unknown}, ltp::Error);
}

} // namespace

namespace {

// Numbers come back as they went out, with their sign; a 32-bit pattern written unsigned reads as
// the signed value.
TEST(ClientDecode, NumbersKeepTheirSign) {
    LoopbackPeer peer;
    peer.Respond(MakeResponse(
        200, " OK", "<Schedule>-7|main|4294967295|-1.25|45658.123456789|x</Schedule>\r\n"));
    peer.Start();
    ltp::Client client(PeerOptions(peer));
    const std::optional<ltp::Schedule> s = client.find_schedule(1);
    client.close();
    EXPECT_TRUE(peer.Finish());
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->schedule_id, -7);
    EXPECT_EQ(s->text2, "main");
    EXPECT_EQ(s->number3, -1);
    EXPECT_EQ(s->real4, -1.25);
    EXPECT_DOUBLE_EQ(s->real5, 45658.123456789);
    EXPECT_EQ(s->number6, 0); // not a number
}

} // namespace

namespace {

// A poll into the same vector keeps its records' room, and a failure leaves the vector empty.
TEST(ClientLists, IntoTheCallersVectorReusesItsRecords) {
    const std::string two = UserElement("a", std::string(100, 'x')) + UserElement("b", "y");
    LoopbackPeer peer;
    peer.Respond(MakeResponse(200, " OK", two + UserElement("c", "z")))
        .Respond(MakeResponse(200, " OK", two))
        .Respond(MakeResponse(404, " no such group", ""));
    peer.Start();
    ltp::Client client(PeerOptions(peer));
    std::vector<ltp::User> users;
    client.users_into(users);
    ASSERT_EQ(users.size(), 3u);
    const char* room = users[0].text4.data();
    client.users_into(users);
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(users[0].text4.data(), room);
    EXPECT_EQ(users[1].user_id, "b");
    EXPECT_EQ(users[1].text4, "y");
    EXPECT_EQ(Outcome([&] { client.group_users_into("g", users); }), "refused 404 no such group");
    EXPECT_TRUE(users.empty());
    ASSERT_TRUE(peer.Finish());
}

} // namespace

namespace {

std::string ManyUsers(int count) {
    std::string body;
    for (int i = 0; i < count; ++i)
        body +=
            "<User>u" + std::to_string(i) + "|Name " + std::to_string(i) + "|Dept|||</User>\r\n";
    return body;
}

// A walk holds one record and a read buffer: a list of 200,000 users (about 7 MB) passes through
// a client whose response limit is 16 KiB, which the held forms refuse.
TEST(ClientWalks, ALongListPassesThroughLimitsFarBelowItsSize) {
    const int count = 200000;
    const std::string response = MakeResponse(200, " OK", ManyUsers(count));
    LoopbackPeer peer;
    peer.Respond(response).Respond(response);
    peer.Start();
    ltp::Options options = PeerOptions(peer);
    options.max_response_bytes = 16 * 1024;
    options.max_result_bytes = 1024;
    std::size_t traced = 0;
    options.trace = [&](ltp::TraceDirection way, std::string_view bytes) {
        if (way == ltp::TraceDirection::response)
            traced += bytes.size();
    };
    ltp::Client client(options);
    int seen = 0;
    bool in_order = true;
    client.users_each([&](const ltp::User& user) {
        in_order = in_order && user.user_id == "u" + std::to_string(seen) && user.text3 == "Dept";
        ++seen;
    });
    EXPECT_EQ(seen, count);
    EXPECT_TRUE(in_order);
    EXPECT_EQ(traced, response.size()) << "trace sees every byte once, in pieces";
    EXPECT_EQ(Outcome([&] { client.users(); }), "transport limit");
    ASSERT_TRUE(peer.Finish());
}

struct WalkCase {
    const char* name;
    std::vector<std::string> answers;
    std::function<void(ltp::Options&)> setup;
    const char* outcome;
    std::size_t records; // handed on before the outcome, at least
    std::size_t slack;   // and at most this many more (pieces walked before a failure)
};

TEST(ClientWalks, AFailureKeepsWhatWasHandedOnAndSaysWhy) {
    const std::string three = UserElement("a", "x") + UserElement("b", "y") + UserElement("c", "z");
    const auto none = [](ltp::Options&) {};
    const std::string cut = MakeResponse(200, " OK", three + ManyUsers(3000)).substr(0, 60000);
    std::size_t complete = 0;
    for (std::size_t at = cut.find("</User>"); at != std::string::npos;
         at = cut.find("</User>", at + 1))
        ++complete;
    const WalkCase cases[] = {
        {"whole", {MakeResponse(200, " OK", three)}, none, "ok", 3, 0},
        {"refused",
         {MakeResponse(404, " no such group", three)},
         none,
         "refused 404 no such group",
         0,
         0},
        {"longer than the stream limit",
         {MakeResponse(200, " OK", three)},
         [](ltp::Options& o) { o.max_stream_bytes = 40; },
         "transport limit",
         0,
         0},
        {"a record past the record limit",
         {MakeResponse(200, " OK",
                       three + UserElement("d", std::string(4000, 'w')) + ManyUsers(2000))},
         [](ltp::Options& o) { o.max_result_bytes = 2000; },
         "transport limit",
         2, // the third is held back until the fourth is settled, which fails
         0},
        {"cut short", {cut, kHangUp}, none, "transport closed", complete - 2, 2},
        {"dry run", {}, [](ltp::Options& o) { o.dry_run = [](std::string_view) {}; }, "ok", 0, 0},
    };
    for (const WalkCase& c : cases) {
        LoopbackPeer peer;
        for (const std::string& answer : c.answers) {
            if (answer == kHangUp)
                peer.Close();
            else if (answer == cut)
                peer.ExpectRequest().Send(answer);
            else
                peer.Respond(answer);
        }
        peer.Start();
        ltp::Options options = PeerOptions(peer);
        c.setup(options);
        ltp::Client client(options);
        std::size_t seen = 0;
        EXPECT_EQ(Outcome([&] { client.group_users_each("g", [&](const ltp::User&) { ++seen; }); }),
                  c.outcome)
            << c.name;
        EXPECT_GE(seen, c.records) << c.name;
        EXPECT_LE(seen, c.records + c.slack) << c.name;
        EXPECT_TRUE(peer.Finish()) << c.name;
    }
}

// The caller's exception ends the walk, reaches the caller, and closes the connection, whose
// state is unknown; the next call connects again. The list fits the loopback's socket buffers, so
// that the peer has sent it whole before the client closes (a send to a closed connection would
// end the peer's script).
TEST(ClientWalks, AThrowingCallbackClosesTheConnection) {
    const std::string list = MakeResponse(200, " OK", ManyUsers(200));
    LoopbackPeer peer;
    peer.Respond(list).Accept().Respond(MakeResponse(200, " OK", ManyUsers(2)));
    peer.Start();
    ltp::Client client(PeerOptions(peer));
    struct Enough {};
    int seen = 0;
    EXPECT_THROW(client.users_each([&](const ltp::User&) {
        if (++seen == 10)
            throw Enough{};
    }),
                 Enough);
    EXPECT_EQ(seen, 10);
    EXPECT_FALSE(client.connected());
    EXPECT_EQ(client.users().size(), 2u);
    EXPECT_THROW(client.users_each(nullptr), ltp::Error);
    ASSERT_TRUE(peer.Finish());
    EXPECT_EQ(peer.Connections(), 2);
}

} // namespace
