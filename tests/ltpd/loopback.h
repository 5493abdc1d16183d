// A raw LTP client over loopback for the server tests, which sends bytes and reads whole
// responses, and a fixture running the server loop.
#pragma once

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <memory>
#include <string>
#include <thread>
#include <sys/socket.h>
#include <unistd.h>

#include "tools/ltpd/database.h"
#include "tools/ltpd/schema.h"
#include "tools/ltpd/server.h"
#include "tools/ltpd/service.h"

namespace ltpd {

class Client {
public:
    // from: the loopback address to connect from (any of 127.0.0.0/8), so that one test can
    // play many client addresses. A Receive waits at most `wait` for each piece. receiveBuffer:
    // the socket's receive buffer in bytes (0: the system's), small for a client that means not
    // to read, so that the answers it leaves pile up in the server rather than in the kernel.
    explicit Client(uint16_t port, const char* from = "127.0.0.1",
                    std::chrono::milliseconds wait = std::chrono::seconds(5),
                    int receiveBuffer = 0) {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        if (receiveBuffer > 0)
            setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, from, &local.sin_addr);
        bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        timeval tv{static_cast<time_t>(wait.count() / 1000),
                   static_cast<suseconds_t>(wait.count() % 1000 * 1000)};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    ~Client() { close(m_fd); }
    bool Connected() const { return m_connected; }
    int Fd() const { return m_fd; }
    void Send(const std::string& bytes) {
        ASSERT_EQ(send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // Sends what the socket takes without waiting (the server may close before reading it all).
    void SendSome(const std::string& bytes) {
        (void)!send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    // One whole response, framed by its Content-Length; "" when the connection ended first.
    std::string Receive() {
        for (;;) {
            size_t head = m_buffer.find("\r\n\r\n");
            if (head != std::string::npos) {
                size_t cl = m_buffer.find("Content-Length: ");
                size_t length = std::stoul(m_buffer.substr(cl + 16));
                if (m_buffer.size() >= head + 4 + length) {
                    std::string r = m_buffer.substr(0, head + 4 + length);
                    m_buffer.erase(0, r.size());
                    return r;
                }
            }
            char buf[4096];
            ssize_t n = recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0)
                return "";
            m_buffer.append(buf, static_cast<size_t>(n));
        }
    }
    void ShutdownWrite() { shutdown(m_fd, SHUT_WR); }
    // Whether the server has closed the connection (read returns end of stream).
    bool Closed() {
        char c;
        ssize_t n = recv(m_fd, &c, 1, 0);
        return n == 0 || (n < 0 && errno == ECONNRESET);
    }
    static std::string StatusLine(const std::string& response) {
        return response.substr(0, response.find("\r\n"));
    }

private:
    int m_fd = -1;
    bool m_connected = false;
    std::string m_buffer;
};

// ltpd's loop on a thread of the test, on a free loopback port, over an in-memory database.
class LoopServer {
public:
    explicit LoopServer(ServerOptions options) {
        CreateSchema(m_db);
        options.port = 0;
        options.quiet = true;
        m_server = std::make_unique<Server>(m_service, options);
        std::string error;
        EXPECT_TRUE(m_server->Listen(error)) << error;
        EXPECT_EQ(pipe(m_stop), 0);
        m_thread = std::thread([this] { m_server->Run(m_stop[0]); });
    }
    LoopServer(const LoopServer&) = delete;
    LoopServer& operator=(const LoopServer&) = delete;
    ~LoopServer() {
        (void)!write(m_stop[1], "x", 1);
        m_thread.join();
        close(m_stop[0]);
        close(m_stop[1]);
    }
    uint16_t Port() const { return m_server->Port(); }

private:
    Database m_db{":memory:"};
    Service m_service{m_db, Credentials{"admin", "pw"}};
    std::unique_ptr<Server> m_server;
    int m_stop[2] = {-1, -1};
    std::thread m_thread;
};

// The same as a fixture, with the options a test changes.
class ServerLoop : public ::testing::Test {
protected:
    virtual void Adjust(ServerOptions&) {}
    void SetUp() override {
        ServerOptions options;
        Adjust(options);
        m_loop = std::make_unique<LoopServer>(options);
    }
    void TearDown() override { m_loop.reset(); }
    uint16_t Port() const { return m_loop->Port(); }

    std::unique_ptr<LoopServer> m_loop;
};

} // namespace ltpd
