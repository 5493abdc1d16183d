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

} // namespace
