// The poll() loop over loopback with raw sockets: many clients at once, pipelining, slow and
// broken clients, and a clean stop.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "tools/ltpd/database.h"
#include "tools/ltpd/schema.h"
#include "tools/ltpd/server.h"
#include "tools/ltpd/service.h"

namespace ltpd {
namespace {

const std::string kGetUsers =
    "Get  AllUsers  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic pw\r\n\r\n";
const std::string kAddUser = "Add  User  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic "
                             "pw\r\nContent-Length: 28\r\n\r\n<User>ann|A|B|C|D|E</User>\r\n";

class Client {
public:
    explicit Client(uint16_t port) {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        timeval tv{5, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    ~Client() { close(m_fd); }
    bool Connected() const { return m_connected; }
    void Send(const std::string& bytes) {
        ASSERT_EQ(send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
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
        return recv(m_fd, &c, 1, 0) == 0;
    }
    static std::string StatusLine(const std::string& response) {
        return response.substr(0, response.find("\r\n"));
    }

private:
    int m_fd = -1;
    bool m_connected = false;
    std::string m_buffer;
};

class ServerLoop : public ::testing::Test {
protected:
    void SetUp() override {
        CreateSchema(m_db);
        ServerOptions options;
        options.port = 0;
        options.quiet = true;
        m_server = std::make_unique<Server>(m_service, options);
        std::string error;
        ASSERT_TRUE(m_server->Listen(error)) << error;
        ASSERT_EQ(pipe(m_stop), 0);
        m_thread = std::thread([this] { m_server->Run(m_stop[0]); });
    }
    void TearDown() override {
        if (m_thread.joinable()) {
            (void)!write(m_stop[1], "x", 1);
            m_thread.join();
        }
        close(m_stop[0]);
        close(m_stop[1]);
    }
    uint16_t Port() const { return m_server->Port(); }

    Database m_db{":memory:"};
    Service m_service{m_db, Credentials{"admin", "pw"}};
    std::unique_ptr<Server> m_server;
    int m_stop[2] = {-1, -1};
    std::thread m_thread;
};

TEST_F(ServerLoop, AnswersManyRequestsOnOneConnection) {
    Client c(Port());
    ASSERT_TRUE(c.Connected());
    c.Send(kAddUser);
    EXPECT_EQ(c.Receive(), "LTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
    for (int i = 0; i < 20; ++i) {
        c.Send(kGetUsers);
        EXPECT_EQ(c.Receive(),
                  "LTP/1.0 200 OK\r\nContent-Length: 28\r\n\r\n<User>ann|A|B|C|D|E</User>\r\n");
    }
}

TEST_F(ServerLoop, PipelinedAndBytewiseRequestsAreAnsweredInOrder) {
    Client c(Port());
    c.Send(kAddUser + kGetUsers + kAddUser);
    EXPECT_EQ(Client::StatusLine(c.Receive()), "LTP/1.0 200 OK");
    EXPECT_NE(c.Receive().find("<User>ann|"), std::string::npos);
    EXPECT_EQ(Client::StatusLine(c.Receive()), "LTP/1.0 409 user 'ann' already exists");
    for (char ch : kGetUsers)
        c.Send(std::string(1, ch));
    EXPECT_NE(c.Receive().find("<User>ann|"), std::string::npos);
}

TEST_F(ServerLoop, AStalledClientHoldsUpNobodyElse) {
    Client slow(Port());
    slow.Send(kAddUser.substr(0, 50)); // half a head, then silence
    std::vector<std::unique_ptr<Client>> others;
    for (int i = 0; i < 8; ++i)
        others.push_back(std::make_unique<Client>(Port()));
    for (auto& c : others)
        c->Send(kGetUsers);
    for (auto& c : others)
        EXPECT_EQ(Client::StatusLine(c->Receive()), "LTP/1.0 200 OK");
    slow.Send(kAddUser.substr(50));
    EXPECT_EQ(Client::StatusLine(slow.Receive()), "LTP/1.0 200 OK");
}

TEST_F(ServerLoop, BrokenRequestsCloseOnlyTheirOwnConnection) {
    Client good(Port());
    good.Send(kGetUsers);
    ASSERT_EQ(Client::StatusLine(good.Receive()), "LTP/1.0 200 OK");

    Client huge(Port());
    huge.Send("Get  AllUsers  LTP/1.0\r\nX: " + std::string(70 * 1024, 'a'));
    EXPECT_EQ(Client::StatusLine(huge.Receive()),
              "LTP/1.0 400 request head longer than 65536 bytes");
    EXPECT_TRUE(huge.Closed());

    Client big(Port());
    big.Send("Add  Infomation  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic pw\r\n"
             "Content-Length: 50000000\r\n\r\n");
    EXPECT_EQ(Client::StatusLine(big.Receive()).substr(0, 12), "LTP/1.0 413 ");
    EXPECT_TRUE(big.Closed());

    Client garbage(Port());
    // What follows an unreadable request is not taken for a request.
    garbage.Send(std::string("\x01\x02\xff junk\r\n\r\n", 12) + kGetUsers);
    EXPECT_EQ(Client::StatusLine(garbage.Receive()), "LTP/1.0 400 malformed request line");
    EXPECT_TRUE(garbage.Closed());

    // A body that does not fit its form is answered, and the connection goes on.
    Client wrong(Port());
    wrong.Send("Add  Group  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic pw\r\n"
               "Content-Length: 9\r\n\r\n<Group>x\r\n");
    EXPECT_EQ(Client::StatusLine(wrong.Receive()).substr(0, 12), "LTP/1.0 400 ");
    wrong.Send(kGetUsers);
    EXPECT_EQ(Client::StatusLine(wrong.Receive()), "LTP/1.0 200 OK");

    good.Send(kGetUsers);
    EXPECT_EQ(Client::StatusLine(good.Receive()), "LTP/1.0 200 OK");
}

TEST_F(ServerLoop, AClientThatStopsSendingStillGetsItsAnswer) {
    Client c(Port());
    c.Send(kAddUser + kGetUsers);
    // Half-close: no more requests, but the answers are still wanted.
    c.ShutdownWrite();
    EXPECT_EQ(Client::StatusLine(c.Receive()), "LTP/1.0 200 OK");
    EXPECT_NE(c.Receive().find("<User>ann|"), std::string::npos);
    EXPECT_TRUE(c.Closed());
}

TEST_F(ServerLoop, StopsWhenAskedAndClosesConnections) {
    Client c(Port());
    c.Send(kGetUsers);
    ASSERT_EQ(Client::StatusLine(c.Receive()), "LTP/1.0 200 OK");
    ASSERT_EQ(write(m_stop[1], "x", 1), 1);
    m_thread.join();
    EXPECT_TRUE(c.Closed());
}

TEST_F(ServerLoop, CountsConnectionsForSysInfo) {
    Client a(Port()), b(Port());
    a.Send(kGetUsers);
    ASSERT_EQ(Client::StatusLine(a.Receive()), "LTP/1.0 200 OK");
    b.Send("Get  SysInfo  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic pw\r\n\r\n");
    std::string r = b.Receive();
    // Number2 open connections, Number5 accepted since start.
    EXPECT_NE(r.find("|2|2|"), std::string::npos) << r;
    EXPECT_NE(r.find("|2</SysInfo>"), std::string::npos) << r;
}

} // namespace
} // namespace ltpd
