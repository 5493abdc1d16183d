// The ltpd program itself: start on a free port, report it in the port file, serve, stop cleanly
// on SIGTERM and SIGINT.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fstream>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tools/ltpd/database.h"

namespace {

class Process : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/ltpd-proc-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_dir = dir;
        m_portFile = m_dir + "/port";
    }
    void TearDown() override {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        std::remove(m_portFile.c_str());
        rmdir(m_dir.c_str());
    }
    // Starts ltpd with the demo data; the port it reports, or 0.
    int Start() {
        m_pid = fork();
        if (m_pid == 0) {
            setenv("LTPD_PASSWORD", "pw", 1);
            execl(LTPD_BINARY, LTPD_BINARY, "--port", "0", "--port-file", m_portFile.c_str(),
                  "--seed", "demo", "--quiet", static_cast<char*>(nullptr));
            _exit(127);
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            std::ifstream in(m_portFile);
            int port = 0;
            if (in >> port)
                return port;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return 0;
    }
    // The exit status after the signal, or -1 when it did not end within ten seconds.
    int StopWith(int signal) {
        kill(m_pid, signal);
        for (int i = 0; i < 500; ++i) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }
    static std::string Exchange(int port, const std::string& request) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        timeval tv{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        std::string out;
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
                static_cast<ssize_t>(request.size())) {
            shutdown(fd, SHUT_WR);
            char buf[4096];
            ssize_t n;
            while ((n = recv(fd, buf, sizeof buf, 0)) > 0)
                out.append(buf, static_cast<size_t>(n));
        }
        close(fd);
        return out;
    }

    std::string m_dir, m_portFile;
    pid_t m_pid = -1;
};

TEST_F(Process, ServesDemoDataAndStopsOnSigterm) {
    int port = Start();
    ASSERT_GT(port, 0);
    std::string r = Exchange(port, "Find  User  LTP/1.0\r\nUser-Name: admin\r\n"
                                   "Authorization: basic pw\r\n\r\n<UserID>alice</UserID>\r\n");
    EXPECT_EQ(r.substr(0, 15), "LTP/1.0 200 OK\r");
    EXPECT_NE(r.find("<User>alice|"), std::string::npos);
    EXPECT_EQ(StopWith(SIGTERM), 0);
    EXPECT_FALSE(std::ifstream(m_portFile).good()); // removed on the way out
}

TEST_F(Process, StopsOnSigintWithAClientConnected) {
    int port = Start();
    ASSERT_GT(port, 0);
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    EXPECT_EQ(StopWith(SIGINT), 0);
    close(fd);
}

// What ltpd refuses to start with, the exit code and the message that says why.
TEST_F(Process, RefusesToStartWithWhatNoServerShouldAccept) {
    const std::string foreign = m_dir + "/foreign.db", newer = m_dir + "/newer.db",
                      text = m_dir + "/text.db", empty = m_dir + "/empty-password";
    ltpd::Database(foreign).Exec("CREATE TABLE users (name TEXT, mail TEXT)");
    ltpd::Database(newer).Exec("CREATE TABLE t (x); PRAGMA user_version = 99");
    std::ofstream(text) << "not a database, but a page of text long enough to look like one\n"
                        << std::string(600, 'x');
    std::ofstream(empty) << "\n";
    struct Case {
        const char* password; // LTPD_PASSWORD, or nullptr for none
        std::vector<std::string> args;
        int exitCode;
        std::string says;
    } cases[] = {
        {"", {}, 2, "LTPD_PASSWORD is empty"},
        {nullptr, {"--password-file", empty}, 2, "first line of " + empty + " is empty"},
        {"pw", {"--db", ""}, 2, "--db needs a file path"},
        {"pw", {"--db", foreign}, 1, foreign + " is not an ltpd database: table users"},
        {"pw", {"--db", newer}, 1, newer + " is not an ltpd database: schema version 99"},
        {"pw", {"--db", text}, 1, "file is not a database"},
        {"pw", {"--max-per-address", "0"}, 2, "--max-per-address takes a number"},
        {"pw", {"--trusted-gateway", "localhost"}, 2, "takes a numeric IPv4 or IPv6 address"},
        {"pw", {"--trusted-gateway", "127.0.0.1/8"}, 2, "takes a numeric IPv4 or IPv6 address"},
        {"pw", {"--login-failure-rate", "0"}, 2, "--login-failure-rate takes a number"},
    };
    for (const Case& c : cases) {
        std::string command =
            std::string(c.password ? "LTPD_PASSWORD='" + std::string(c.password) + "' "
                                   : "env -u LTPD_PASSWORD ") +
            LTPD_BINARY + " --port 0";
        for (const std::string& a : c.args)
            command += " '" + a + "'";
        SCOPED_TRACE(command);
        FILE* p = popen((command + " 2>&1 </dev/null").c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::string output;
        char buf[512];
        while (size_t n = fread(buf, 1, sizeof buf, p))
            output.append(buf, n);
        const int status = pclose(p);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.exitCode) << output;
        EXPECT_NE(output.find(c.says), std::string::npos) << output;
        EXPECT_NE(output.find(c.args.empty() ? "" : c.args.back()), std::string::npos) << output;
    }
    for (const std::string& f : {foreign, newer, text, empty})
        std::remove(f.c_str());
}

} // namespace
