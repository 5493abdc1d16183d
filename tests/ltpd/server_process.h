// ltpd as its own process on a free loopback port, for the tests that read its resident size or
// kill it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace ltpd {

// ltpd as its own process, to read its resident size.
class ServerProcess : public ::testing::Test {
protected:
    void TearDown() override { Stop(); }
    uint16_t Start(const std::string& db = "", std::vector<std::string> extra = {}) {
        const std::string portFile = "/tmp/ltpd-hostile-" + std::to_string(getpid());
        std::remove(portFile.c_str());
        m_pid = fork();
        if (m_pid == 0) {
            setenv("LTPD_PASSWORD", "pw", 1);
            std::vector<std::string> args = {LTPD_BINARY,   "--port", "0",
                                             "--port-file", portFile, "--quiet"};
            if (!db.empty())
                extra.insert(extra.begin(), {"--db", db});
            args.insert(args.end(), extra.begin(), extra.end());
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(LTPD_BINARY, argv.data());
            _exit(127);
        }
        for (int i = 0; i < 500; ++i) {
            std::ifstream in(portFile);
            unsigned port = 0;
            if (in >> port) {
                std::remove(portFile.c_str());
                return static_cast<uint16_t>(port);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return 0;
    }
    // field: "VmRSS" for the resident size now, "VmHWM" for its peak.
    long ResidentKiB(const std::string& field = "VmRSS") const {
        std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind(field + ":", 0) == 0)
                return std::stol(line.substr(field.size() + 1));
        return -1;
    }
    void Stop() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
    }
    pid_t m_pid = -1;
};

} // namespace ltpd
