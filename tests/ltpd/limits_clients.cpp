// ltpd's limits against clients that hoard or guess: an address at its cap gives up its idle
// connections but not its busy ones, guesses spread over many addresses meet the limit over all
// of them, a trusted gateway is neither capped nor slowed per address, and clients that never
// read their answers or send bodies by the hundred hold bounded memory.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <poll.h>
#include <vector>

#include "loopback.h"
#include "server_process.h"

namespace ltpd {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kCredentials = "User-Name: admin\r\nAuthorization: basic pw\r\n";
const std::string kGetUsers = "Get  AllUsers  LTP/1.0\r\n" + kCredentials + "\r\n";
const std::string kWrongPassword =
    "Get  AllUsers  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic guess\r\n\r\n";
const std::string kStatusOk = "LTP/1.0 200 OK";
const std::string kStatusWrong = "LTP/1.0 401 wrong user name or password";
const char kGateway[] = "127.7.0.9";

// A full request from another address and its answer: by then the server has read everything
// sent to it before.
void Settle(uint16_t port) {
    Client sync(port, "127.7.200.1");
    sync.Send(kGetUsers);
    ASSERT_EQ(Client::StatusLine(sync.Receive()), kStatusOk);
}

TEST(AddressAtItsCap, GivesUpItsIdleConnectionsButNotItsBusyOnes) {
    struct Case {
        const char* what;
        const char* from;
        std::string sentFirst; // by each of the connections that fill the address's seats
        bool newcomerServed;
        bool oldestClosed;
    } cases[] = {
        {"idle sockets make room", "127.7.0.1", "", true, true},
        {"half-sent requests do not", "127.7.0.2", kGetUsers.substr(0, 12), false, false},
        {"a trusted gateway has no cap", kGateway, "", true, false},
    };
    ServerOptions options;
    options.maxPerAddress = 4;
    options.trustedGateways = {kGateway};
    LoopServer server(options);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::unique_ptr<Client>> seats;
        for (int i = 0; i < 4; ++i) {
            seats.push_back(std::make_unique<Client>(server.Port(), c.from, 300ms));
            if (!c.sentFirst.empty())
                seats.back()->Send(c.sentFirst);
        }
        Settle(server.Port());
        Client newcomer(server.Port(), c.from);
        newcomer.Send(kGetUsers);
        EXPECT_EQ(Client::StatusLine(newcomer.Receive()), c.newcomerServed ? kStatusOk : "");
        EXPECT_EQ(seats.front()->Closed(), c.oldestClosed);
    }
}

// One guess from each of `guessers` in turn, then the last one from `last`.
struct Guessing {
    const char* what;
    unsigned sharedBurst;
    std::vector<const char*> guessers;
    const char* last;
    bool lastHeld;       // answered only after a right password sent after it
    bool lastConnClosed; // its connection closed after the answer
};

TEST(FailedLogIns, AreLimitedOverAllAddressesAndPerAddressButForGateways) {
    const std::vector<const char*> sixteen = {
        "127.7.1.1",  "127.7.1.2",  "127.7.1.3",  "127.7.1.4",  "127.7.1.5",  "127.7.1.6",
        "127.7.1.7",  "127.7.1.8",  "127.7.1.9",  "127.7.1.10", "127.7.1.11", "127.7.1.12",
        "127.7.1.13", "127.7.1.14", "127.7.1.15", "127.7.1.16"};
    const std::vector<const char*> gatewayTwenty(20, kGateway);
    const std::vector<const char*> oneAddressFive(5, "127.7.2.1");
    const Guessing cases[] = {
        {"16 addresses beyond the burst over all", 16, sixteen, "127.7.1.17", true, true},
        {"15 addresses within it",
         16,
         {sixteen.begin(), sixteen.end() - 1},
         "127.7.1.16",
         false,
         false},
        {"an address beyond its own free failures", 100, oneAddressFive, "127.7.2.1", true, true},
        {"a gateway is not slowed per address", 100, gatewayTwenty, kGateway, false, false},
        {"but meets the limit over all, and keeps its connection", 16, sixteen, kGateway, true,
         false},
    };
    for (const Guessing& c : cases) {
        SCOPED_TRACE(c.what);
        ServerOptions options;
        options.trustedGateways = {kGateway};
        options.throttle.freeFailures = 5;
        options.throttle.sharedBurst = c.sharedBurst;
        // Long enough that a held answer cannot come before the right password's.
        options.throttle.sharedInterval = 1s;
        options.throttle.firstDelay = 1s;
        LoopServer server(options);
        for (const char* from : c.guessers) {
            Client guess(server.Port(), from);
            guess.Send(kWrongPassword);
            ASSERT_EQ(Client::StatusLine(guess.Receive()), kStatusWrong) << from;
        }
        Client last(server.Port(), c.last);
        last.Send(kWrongPassword);
        Client other(server.Port(), "127.7.3.1");
        other.Send(kGetUsers);
        EXPECT_EQ(Client::StatusLine(other.Receive()), kStatusOk);
        pollfd p{last.Fd(), POLLIN, 0};
        EXPECT_EQ(poll(&p, 1, 0), c.lastHeld ? 0 : 1);
        EXPECT_EQ(Client::StatusLine(last.Receive()), kStatusWrong);
        last.Send(kGetUsers);
        EXPECT_EQ(Client::StatusLine(last.Receive()), c.lastConnClosed ? "" : kStatusOk);
    }
}

// Sends all of each request, without blocking on any one client, for at most `limit`.
void SendAll(std::vector<std::unique_ptr<Client>>& clients, const std::string& request,
             std::chrono::seconds limit) {
    std::vector<size_t> sent(clients.size(), 0);
    const auto end = Clock::now() + limit;
    for (bool more = true; more && Clock::now() < end;) {
        more = false;
        for (size_t i = 0; i < clients.size(); ++i) {
            if (sent[i] == request.size())
                continue;
            ssize_t n = send(clients[i]->Fd(), request.data() + sent[i], request.size() - sent[i],
                             MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                sent[i] += size_t(n);
            more = more || sent[i] < request.size();
        }
        if (more)
            std::this_thread::sleep_for(1ms);
    }
}

// Until the requests served by others stop growing: the server has done all it will for the
// hoarders.
void WaitUntilQuiet(uint16_t port) {
    Client watcher(port, "127.7.200.2");
    long before = -1;
    for (long own = 1; own <= 100; ++own) {
        watcher.Send("Get  SysInfo  LTP/1.0\r\n" + kCredentials + "\r\n");
        unsigned up = 0, open = 0, served = 0;
        ASSERT_EQ(std::sscanf(watcher.Receive().c_str(),
                              "LTP/1.0 200 OK\r\nContent-Length: %*u"
                              "\r\n\r\n<SysInfo>%u|%u|%u|",
                              &up, &open, &served),
                  3);
        if (long(served) - own == before)
            return;
        before = long(served) - own;
        std::this_thread::sleep_for(200ms);
    }
}

TEST_F(ServerProcess, ClientsThatHoardHoldBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "resident sizes say nothing under AddressSanitizer (shadow memory, quarantine)";
#endif
    // An information text of 48 KiB: each of its answers is large, so that a client leaving them
    // unread makes the server hold much of them once the kernel's buffers are full.
    const std::string info(48 * 1024, 'i');
    const std::string setInfo = "Add  Infomation  LTP/1.0\r\n" + kCredentials +
                                "Content-Length: " + std::to_string(info.size()) + "\r\n\r\n" +
                                info;
    const std::string body(1024 * 1024, 'b');
    const std::string bigBody = "Add  Infomation  LTP/1.0\r\n" + kCredentials +
                                "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                                body;
    std::string getInfo100;
    for (int i = 0; i < 100; ++i)
        getInfo100 += "Get  Infomation  LTP/1.0\r\n" + kCredentials + "\r\n";
    struct Case {
        const char* what;
        size_t clients;
        const std::string& request;
        int receiveBuffer;
        bool readAnswers;
        long mostGrowthKiB; // of the peak resident size over the idle server's
    } cases[] = {
        // Each would otherwise hold a mebibyte of answers.
        {"signed-in clients that never read their answers", 20, getInfo100, 4096, false, 20 * 384},
        // Together they would otherwise take 64 MiB and more.
        {"signed-in 1 MiB bodies at once", 200, bigBody, 0, true, 32 * 1024},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const uint16_t port = Start();
        ASSERT_GT(port, 0);
        {
            Client admin(port);
            admin.Send(setInfo);
            ASSERT_EQ(Client::StatusLine(admin.Receive()), kStatusOk);
        }
        const long idle = ResidentKiB("VmHWM");
        std::vector<std::unique_ptr<Client>> clients;
        for (size_t i = 0; i < c.clients; ++i) {
            // Addresses of 50 clients each: below the cap of each.
            const std::string from = "127.8.0." + std::to_string(i / 50 + 1);
            clients.push_back(std::make_unique<Client>(port, from.c_str(), 10s, c.receiveBuffer));
            ASSERT_TRUE(clients.back()->Connected());
        }
        SendAll(clients, c.request, 60s);
        if (c.readAnswers) {
            for (auto& client : clients)
                EXPECT_EQ(Client::StatusLine(client->Receive()), kStatusOk);
        } else {
            WaitUntilQuiet(port);
        }
        const long peak = ResidentKiB("VmHWM");
        std::printf("%zu %s: peak resident size %ld KiB, %ld KiB when idle\n", c.clients, c.what,
                    peak, idle);
        EXPECT_LT(peak - idle, c.mostGrowthKiB);
        clients.clear();
        Stop();
    }
}

} // namespace
} // namespace ltpd
