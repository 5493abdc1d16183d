// The server seen from outside: data kept across a restart, a malformed request sent by hand,
// several clients at once; and ltpctl against peers that close the connection or never answer.
#include "support/fixture.h"

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using e2e::Column;
using e2e::Contains;

// A plain TCP client for bytes the library would never send.
class RawClient {
public:
    explicit RawClient(int port) {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(port));
        m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        timeval tv{10, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    ~RawClient() { close(m_fd); }
    bool Connected() const { return m_connected; }
    void Send(const std::string& bytes) {
        ASSERT_EQ(send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // Reads until a complete response (head and Content-Length bytes) or the peer closes.
    std::string ReadResponse() {
        std::string data;
        char buf[4096];
        for (;;) {
            const size_t head = data.find("\r\n\r\n");
            if (head != std::string::npos) {
                const size_t cl = data.find("Content-Length:");
                const size_t length =
                    cl != std::string::npos && cl < head ? std::stoul(data.substr(cl + 15)) : 0;
                if (data.size() >= head + 4 + length)
                    return data;
            }
            const ssize_t n = recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0)
                return data;
            data.append(buf, static_cast<size_t>(n));
        }
    }

private:
    int m_fd = -1;
    bool m_connected = false;
};

TEST(ServerE2E, DataSurvivesARestartWithADatabaseFile) {
    e2e::TempDir dir;
    e2e::ServerSettings settings;
    settings.db = dir.File("ltpd.sqlite");
    {
        e2e::LtpdServer first(settings);
        ASSERT_TRUE(first.Start()) << first.Log();
        EXPECT_EQ(e2e::Ctl(first, {"users", "add", "kept", "--text2", "Kept Across"}).exitCode, 0);
        const e2e::ProcessResult added =
            e2e::Ctl(first, {"--format", "json", "programs", "add", "--text2", "Persistent"});
        ASSERT_EQ(added.exitCode, 0) << added.err;
        EXPECT_EQ(e2e::Ctl(first, {"info", "set", "still here"}).exitCode, 0);
        EXPECT_EQ(first.Stop(), 0) << first.Log();
    }
    e2e::LtpdServer second(settings);
    ASSERT_TRUE(second.Start()) << second.Log();
    const e2e::ProcessResult found =
        e2e::Ctl(second, {"--format", "json", "users", "find", "kept"});
    ASSERT_EQ(found.exitCode, 0) << found.err;
    EXPECT_EQ(nlohmann::json::parse(found.out)["Text2"], "Kept Across");
    const e2e::ProcessResult programs = e2e::Ctl(second, {"--format", "json", "programs", "list"});
    EXPECT_TRUE(Contains(Column(nlohmann::json::parse(programs.out), "Text2"), "Persistent"));
    EXPECT_EQ(e2e::Ctl(second, {"info", "get"}).out, "still here\n");
    // The demo data was not loaded a second time over the kept data.
    const auto users =
        Column(nlohmann::json::parse(e2e::Ctl(second, {"--format", "json", "users", "list"}).out),
               "UserID");
    EXPECT_EQ(std::count(users.begin(), users.end(), "alice"), 1);
}

class ServerSide : public e2e::WithServer {};

TEST_F(ServerSide, AMalformedRequestIsRefusedAndServingGoesOn) {
    const char* malformed[] = {
        "Bogus\r\n\r\n",
        "Get  NoSuchThing  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic secret\r\n\r\n",
        "Add  User  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic secret\r\n"
        "Content-Length: 12\r\n\r\n<User>x</Use",
        "Find  User  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic secret\r\n\r\n"
        "<GroupID>x</GroupID>\r\n",
    };
    for (const char* request : malformed) {
        RawClient raw(server.Port());
        ASSERT_TRUE(raw.Connected());
        raw.Send(request);
        const std::string response = raw.ReadResponse();
        EXPECT_EQ(response.rfind("LTP/1.0 4", 0), 0u) << request << "\n---\n" << response;
    }
    // A connection that sends half a request and goes away harms no one else.
    {
        RawClient half(server.Port());
        half.Send("Get  AllUsers  LTP/1.0\r\nUser-Na");
    }
    RawClient good(server.Port());
    good.Send("Get  AllGroups  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic secret\r\n\r\n");
    EXPECT_EQ(good.ReadResponse().rfind("LTP/1.0 200", 0), 0u);
    EXPECT_EQ(Run({"users", "find", "alice"}).exitCode, 0);
}

TEST_F(ServerSide, SeveralClientsAtOnce) {
    constexpr int kClients = 8;
    std::vector<std::thread> clients;
    std::atomic<int> failures{0};
    std::vector<std::string> errors(kClients);
    for (int i = 0; i < kClients; ++i)
        clients.emplace_back([&, i] {
            const std::string name = "client" + std::to_string(i);
            const std::string lines = "users add " + name + "\nmembers add " + name +
                                      " viewers\nusers find " + name + "\ngroups list\n";
            const e2e::ProcessResult r = Ctl(server, {"batch", "-"}, lines);
            if (r.exitCode != 0) {
                ++failures;
                errors[static_cast<size_t>(i)] = r.err;
            }
        });
    // Meanwhile a client that holds its connection open without a complete request.
    RawClient idle(server.Port());
    idle.Send("Get  AllUsers");
    for (std::thread& t : clients)
        t.join();
    EXPECT_EQ(failures.load(), 0) << errors[0];
    const auto members = Column(Json({"members", "list", "viewers"}), "UserID");
    for (int i = 0; i < kClients; ++i)
        EXPECT_TRUE(Contains(members, "client" + std::to_string(i))) << i;
}

// A peer that accepts one connection and then does what it is told instead of answering.
class SilentPeer {
public:
    explicit SilentPeer(bool closeAfterRequest) {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(m_fd, 4);
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this, closeAfterRequest] {
            const int c = accept(m_fd, nullptr, nullptr);
            if (c < 0)
                return;
            char buf[4096];
            std::string got;
            while (got.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = recv(c, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                got.append(buf, static_cast<size_t>(n));
            }
            if (!closeAfterRequest)
                while (recv(c, buf, sizeof buf, 0) > 0) {
                }
            close(c);
        });
    }
    ~SilentPeer() {
        shutdown(m_fd, SHUT_RDWR);
        close(m_fd);
        m_thread.join();
    }
    int Port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
    std::thread m_thread;
};

TEST(PeerFailures, AClosedConnectionIsReportedAsSuch) {
    SilentPeer peer(true);
    const e2e::ProcessResult r = e2e::CtlWithEnvironment(
        {"users", "list"}, {{"LTP_PORT", std::to_string(peer.Port())}, {"LTP_PASSWORD", "x"}});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_NE(r.err.find("the server closed the connection"), std::string::npos) << r.err;
}

TEST(PeerFailures, NoAnswerEndsAfterTenSeconds) {
    SilentPeer peer(false);
    const e2e::ProcessResult r = e2e::CtlWithEnvironment(
        {"users", "list"}, {{"LTP_PORT", std::to_string(peer.Port())}, {"LTP_PASSWORD", "x"}});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_NE(r.err.find("no answer within 10 s"), std::string::npos) << r.err;
}

} // namespace
