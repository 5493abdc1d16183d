// ltp::Pool hammered from many threads (run under ThreadSanitizer too): every call gets its own
// answer, and no more clients exist than the pool's size.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ltpadmin/client.h"
#include "support/loopback_peer.h"
#include "support/native_socket.h"

namespace {

// Answers every "Find User" on every connection with the user it asked for, a thread per
// connection, until stopped.
class EchoServer {
public:
    EchoServer() {
        unsigned short port = 0;
        listen_ = ltptest::BoundLoopbackSocket(&port);
        listen(listen_, 16);
        port_ = port;
        acceptor_ = std::thread([this] { Accept(); });
    }
    ~EchoServer() {
        stop_ = true;
        acceptor_.join();
        for (std::thread& t : workers_)
            t.join();
        ltptest::CloseSocket(listen_);
    }
    std::uint16_t Port() const { return port_; }
    int Connections() const { return connections_; }

private:
    void Accept() {
        while (!stop_) {
            ltptest::PollEntry p{listen_, POLLIN, 0};
            if (ltptest::Poll(&p, 1, 20) != 1)
                continue;
            const ltptest::NativeSocket fd = accept(listen_, nullptr, nullptr);
            ++connections_;
            workers_.emplace_back([this, fd] { Serve(fd); });
        }
    }
    void Serve(ltptest::NativeSocket fd) {
        std::string pending;
        char buffer[4096];
        while (!stop_) {
            ltptest::PollEntry p{fd, POLLIN, 0};
            if (ltptest::Poll(&p, 1, 20) != 1)
                continue;
            const auto n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            pending.append(buffer, static_cast<std::size_t>(n));
            std::size_t end;
            // A find request ends with its key line.
            while ((end = pending.find("</UserID>\r\n")) != std::string::npos) {
                const std::size_t open = pending.find("<UserID>");
                const std::string id = pending.substr(open + 8, end - open - 8);
                pending.erase(0, end + 11);
                const std::string answer =
                    ltptest::MakeResponse(200, " OK", "<User>" + id + "|" + id + "||||</User>\r\n");
                if (send(fd, answer.data(), static_cast<int>(answer.size()), ltptest::kSendFlags) <
                    0)
                    break;
            }
        }
        ltptest::CloseSocket(fd);
    }

    ltptest::NativeSocket listen_ = ltptest::kNoSocket;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread acceptor_;
    std::vector<std::thread> workers_; // touched by the acceptor only until it is joined
};

TEST(ClientPool, EightThreadsShareThreeClients) {
    EchoServer server;
    ltp::Options options;
    options.port = server.Port();
    options.user = "admin";
    options.password = "secret";
    {
        ltp::Pool pool(options, 3);
        std::atomic<int> wrong{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t)
            threads.emplace_back([&pool, &wrong, t] {
                for (int i = 0; i < 40; ++i) {
                    const std::string id = std::to_string(t) + "-" + std::to_string(i);
                    const std::optional<ltp::User> user =
                        pool.with([&](ltp::Client& c) { return c.find_user(id); });
                    if (!user || user->user_id != id || user->text2 != id)
                        ++wrong;
                }
            });
        for (std::thread& t : threads)
            t.join();
        EXPECT_EQ(wrong, 0);
        std::vector<ltp::Pool::Lease> all;
        for (int i = 0; i < 3; ++i)
            all.push_back(pool.acquire());
        EXPECT_FALSE(pool.try_acquire(std::chrono::milliseconds(10)).has_value());
        all.pop_back();
        EXPECT_TRUE(pool.try_acquire(std::chrono::milliseconds(0)).has_value());
    }
    EXPECT_LE(server.Connections(), 3);
}

} // namespace
