// ltpd against clients that mean harm, over loopback: silent sockets by the thousand, slow
// heads, bodies sent without the password, password guessing. Slower than the other server
// tests, so they carry a label of their own.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <memory>
#include <poll.h>
#include <sys/wait.h>
#include <vector>

#include "loopback.h"
#include "server_process.h"

namespace ltpd {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kGetUsers =
    "Get  AllUsers  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic pw\r\n\r\n";
const std::string kWrongPassword =
    "Get  AllUsers  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic guess\r\n\r\n";
const std::string kStatusOk = "LTP/1.0 200 OK";
const std::string kStatusWrong = "LTP/1.0 401 wrong user name or password";

// The loopback address of idle client n: 127.1.x.y, a fresh one every `perAddress` clients.
std::string IdleAddress(size_t n, size_t perAddress) {
    size_t a = n / perAddress;
    return "127.1." + std::to_string(a / 250) + "." + std::to_string(a % 250 + 1);
}

using CrowdedServer = ServerLoop;

TEST_F(CrowdedServer, AThousandSilentSocketsDoNotLockOutARealClient) {
    // The first connection is busy; then 999 from many addresses say nothing, filling the server.
    Client busy(Port());
    busy.Send(kGetUsers);
    ASSERT_EQ(Client::StatusLine(busy.Receive()), kStatusOk);
    std::vector<std::unique_ptr<Client>> idle;
    for (size_t i = 0; i < 999; ++i) {
        idle.push_back(std::make_unique<Client>(Port(), IdleAddress(i, 50).c_str()));
        ASSERT_TRUE(idle.back()->Connected());
    }
    // Once all are taken, SysInfo counts 1000 open connections.
    for (int tries = 0; tries < 500; ++tries) {
        busy.Send("Get  SysInfo  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic pw\r\n\r\n");
        if (busy.Receive().find("|1000|") != std::string::npos)
            break;
        std::this_thread::sleep_for(10ms);
    }
    Client real(Port(), "127.0.0.1", 1s);
    real.Send(kGetUsers);
    EXPECT_EQ(Client::StatusLine(real.Receive()), kStatusOk);
    EXPECT_TRUE(idle.front()->Closed()); // the longest idle made room
    busy.Send(kGetUsers);
    EXPECT_EQ(Client::StatusLine(busy.Receive()), kStatusOk);
}

TEST_F(CrowdedServer, OneAddressGetsItsShareOnly) {
    std::vector<std::unique_ptr<Client>> many;
    for (int i = 0; i < 70; ++i)
        many.push_back(std::make_unique<Client>(Port(), "127.2.0.1"));
    // Answered only once the server has taken all 70, each newcomer beyond 64 making the
    // address's oldest idle connection close: the first six.
    Client later(Port(), "127.2.0.3");
    later.Send(kGetUsers);
    ASSERT_EQ(Client::StatusLine(later.Receive()), kStatusOk);
    size_t served = 0, refused = 0;
    for (auto& c : many) {
        c->Send(kGetUsers);
        std::string r = c->Receive();
        (r.empty() ? refused : served) += 1;
    }
    EXPECT_EQ(served, 64u);
    EXPECT_EQ(refused, 6u);
    Client other(Port(), "127.2.0.2");
    other.Send(kGetUsers);
    EXPECT_EQ(Client::StatusLine(other.Receive()), kStatusOk);
}

class OneSeatServer : public ServerLoop {
protected:
    void Adjust(ServerOptions& o) override {
        o.maxConnections = 1;
        o.maxPerAddress = 2;
    }
};

TEST_F(OneSeatServer, EachNewcomerTakesTheSeatOfTheOneBefore) {
    // The same address each time: the evicted connection was its address's only one, which
    // must not take the newcomer's count with it.
    std::unique_ptr<Client> previous;
    for (int i = 0; i < 3; ++i) {
        auto c = std::make_unique<Client>(Port());
        c->Send(kGetUsers);
        EXPECT_EQ(Client::StatusLine(c->Receive()), kStatusOk) << i;
        if (previous) {
            EXPECT_TRUE(previous->Closed()) << i;
        }
        previous = std::move(c);
    }
}

class TimedServer : public ServerLoop {
protected:
    void Adjust(ServerOptions& o) override {
        o.headTimeout = 300ms;
        o.idleTimeout = 1500ms;
    }
};

TEST_F(TimedServer, SlowHeadsAndIdleConnectionsAreClosed) {
    Client slowloris(Port());
    slowloris.Send(kGetUsers.substr(0, 30));
    Client fresh(Port()); // says nothing yet: idle, not late
    Client idle(Port());
    idle.Send(kGetUsers);
    ASSERT_EQ(Client::StatusLine(idle.Receive()), kStatusOk);

    std::this_thread::sleep_for(800ms);
    EXPECT_TRUE(slowloris.Closed());
    fresh.Send(kGetUsers);
    EXPECT_EQ(Client::StatusLine(fresh.Receive()), kStatusOk);
    EXPECT_TRUE(idle.Closed()); // 1.5 s without a request; Closed() waits up to 5 s
}

using UnauthenticatedBodies = ServerLoop;

TEST_F(UnauthenticatedBodies, AreRefusedBeforeTheyAreRead) {
    const std::string head = "Add  Infomation  LTP/1.0\r\nUser-Name: admin\r\n"
                             "Authorization: basic %\r\nContent-Length: 1048576\r\n\r\n";
    struct Case {
        const char* password;
        bool answeredAtOnce;
    } cases[] = {{"guess", true}, {"pw", false}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.password);
        Client c(Port(), "127.0.0.1", 1s);
        std::string h = head;
        h.replace(h.find('%'), 1, k.password);
        c.Send(h + std::string(1000, 'x'));
        std::string r = c.Receive();
        EXPECT_EQ(Client::StatusLine(r), k.answeredAtOnce ? kStatusWrong : "");
        if (k.answeredAtOnce) {
            EXPECT_TRUE(c.Closed());
        }
    }
}

class GuessedPasswords : public ServerLoop {
protected:
    void Adjust(ServerOptions& o) override {
        o.throttle.freeFailures = 5;
        o.throttle.firstDelay = 20ms;
        o.throttle.maxDelay = 120ms;
    }
};

TEST_F(GuessedPasswords, SlowTheGuesserAndNobodyElse) {
    // The first failures are answered at once and the connection goes on.
    Client first(Port());
    for (int i = 0; i < 5; ++i) {
        first.Send(kWrongPassword);
        ASSERT_EQ(Client::StatusLine(first.Receive()), kStatusWrong);
    }
    for (int i = 5; i < 20; ++i) {
        Client guess(Port());
        guess.Send(kWrongPassword);
        ASSERT_EQ(Client::StatusLine(guess.Receive()), kStatusWrong);
        EXPECT_TRUE(guess.Closed());
    }
    // The 21st waits; the right password from another address meanwhile does not.
    Client guess(Port());
    Client other(Port(), "127.3.0.1");
    const auto sent = Clock::now();
    guess.Send(kWrongPassword);
    other.Send(kGetUsers);
    EXPECT_EQ(Client::StatusLine(other.Receive()), kStatusOk);
    pollfd p{guess.Fd(), POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 0), 0) << "the guess was answered before the other client";
    EXPECT_EQ(Client::StatusLine(guess.Receive()), kStatusWrong);
    EXPECT_GE(Clock::now() - sent, 100ms);
}

TEST_F(ServerProcess, BodiesWithoutThePasswordCostNoMemory) {
    // Memory is measured here, not the pace of failures over all addresses.
    const uint16_t port = Start("", {"--login-failure-rate", "100000"});
    ASSERT_GT(port, 0);
    const long before = ResidentKiB();
    const std::string request = "Add  Infomation  LTP/1.0\r\nUser-Name: admin\r\n"
                                "Authorization: basic guess\r\nContent-Length: 1048576\r\n\r\n" +
                                std::string(1048576, 'x');
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 200; ++i) {
        // An address each, so that neither the per-address limit nor the throttle hides the cost.
        clients.push_back(std::make_unique<Client>(port, IdleAddress(size_t(i), 1).c_str()));
        clients.back()->SendSome(request);
    }
    for (auto& c : clients)
        EXPECT_EQ(Client::StatusLine(c->Receive()), kStatusWrong);
    const long after = ResidentKiB();
    RecordProperty("rss_before_kib", std::to_string(before));
    RecordProperty("rss_after_kib", std::to_string(after));
    std::printf("resident size before %ld KiB, after 200 unauthenticated bodies %ld KiB\n", before,
                after);
    EXPECT_LT(after - before, 32 * 1024); // 200 bodies held would be 200 MiB
}

TEST_F(ServerProcess, AcknowledgedChangesSurviveAKill) {
    char dir[] = "/tmp/ltpd-kill-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string db = std::string(dir) + "/ltpd.sqlite";
    int acknowledged = 0;
    for (int life = 0; life < 3; ++life) {
        const uint16_t port = Start(db);
        ASSERT_GT(port, 0);
        Client c(port);
        // Everything acknowledged before the kill is there after it, whenever the kill comes.
        for (int i = 0; i < 200 + 37 * life; ++i) {
            const std::string body = "<User>u" + std::to_string(acknowledged) + "|||||</User>\r\n";
            c.Send("Add  User  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic pw\r\n"
                   "Content-Length: " +
                   std::to_string(body.size()) + "\r\n\r\n" + body);
            ASSERT_EQ(Client::StatusLine(c.Receive()), kStatusOk);
            ++acknowledged;
        }
        c.Send(kGetUsers.substr(0, 20) + "User  LTP/1.0\r\n"); // half a request in flight
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    const uint16_t port = Start(db);
    ASSERT_GT(port, 0);
    Client c(port);
    c.Send(kGetUsers);
    const std::string all = c.Receive();
    size_t users = 0;
    for (size_t p = all.find("<User>"); p != std::string::npos; p = all.find("<User>", p + 1))
        ++users;
    EXPECT_EQ(users, size_t(acknowledged));
    for (const char* suffix : {"", "-wal", "-shm"})
        std::remove((db + suffix).c_str());
    rmdir(dir);
}

} // namespace
} // namespace ltpd
