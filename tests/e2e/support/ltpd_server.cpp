#include "support/ltpd_server.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include <filesystem>

namespace e2e {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/ltpadmin-e2e-XXXXXX";
    if (char* made = mkdtemp(&pattern[0]))
        m_path = made;
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, ignored);
}

LtpdServer::LtpdServer(ServerSettings settings) : m_settings(std::move(settings)) {}

LtpdServer::~LtpdServer() {
    Stop();
}

bool LtpdServer::Start() {
    const std::string portFile = m_dir.File("port");
    std::remove(portFile.c_str());
    std::vector<std::string> args = {"--port", "0",      "--port-file",
                                     portFile, "--user", m_settings.user};
    if (!m_settings.address.empty()) {
        args.push_back("--address");
        args.push_back(m_settings.address);
    }
    if (!m_settings.db.empty()) {
        args.push_back("--db");
        args.push_back(m_settings.db);
    }
    if (m_settings.seedDemo) {
        args.push_back("--seed");
        args.push_back("demo");
    }
    const auto env = CleanEnvironment({{"LTPD_PASSWORD", m_settings.password}});
    if (!m_process.Start(LTPD_PATH, args, env, m_dir.File("ltpd.log")))
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream in(portFile);
        int port = 0;
        if (in >> port && port > 0) {
            m_port = port;
            return true;
        }
        if (!m_process.Running())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

int LtpdServer::Stop() {
    return m_process.Stop();
}

std::string LtpdServer::Log() const {
    std::ifstream in(m_dir.File("ltpd.log"));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

ProcessResult CtlWithEnvironment(const std::vector<std::string>& args,
                                 const std::map<std::string, std::string>& environment,
                                 const std::string& input) {
    return RunProcess(LTPCTL_PATH, args, CleanEnvironment(environment), input);
}

ProcessResult Ctl(const LtpdServer& server, const std::vector<std::string>& args,
                  const std::string& input, const std::map<std::string, std::string>& extra) {
    std::map<std::string, std::string> env = {
        {"LTP_HOST", server.Settings().address.empty() ? "127.0.0.1" : server.Settings().address},
        {"LTP_PORT", std::to_string(server.Port())},
        {"LTP_USER", server.Settings().user},
        {"LTP_PASSWORD", server.Settings().password}};
    for (const auto& [name, value] : extra)
        env[name] = value;
    return CtlWithEnvironment(args, env, input);
}

int UnusedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    close(fd);
    return port;
}

bool HasIpv6Loopback() {
    const int fd = socket(AF_INET6, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in6 addr{};
    addr.sin6_family = AF_INET6;
    addr.sin6_addr = in6addr_loopback;
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return bound;
}

} // namespace e2e
