// A reference server for one test: ltpd on a free loopback port, in memory or on a file, stopped
// when the object goes away. Ctl runs ltpctl against it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/process.h"

namespace e2e {

// A fresh directory, removed with its files at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

struct ServerSettings {
    std::string db;       // empty: in memory
    bool seedDemo = true; // --seed demo
    std::string user = "admin";
    std::string password = "secret";
    std::string address; // empty: ltpd's default, 127.0.0.1

    // An empty server in memory.
    static ServerSettings Empty() {
        ServerSettings settings;
        settings.seedDemo = false;
        return settings;
    }
};

class LtpdServer {
public:
    explicit LtpdServer(ServerSettings settings = {});
    ~LtpdServer();
    LtpdServer(const LtpdServer&) = delete;
    LtpdServer& operator=(const LtpdServer&) = delete;

    // Starts ltpd and waits until it listens. False (with the reason in Log()) if it did not.
    bool Start();
    // SIGTERM; returns ltpd's exit code.
    int Stop();
    int Port() const { return m_port; }
    const ServerSettings& Settings() const { return m_settings; }
    // What ltpd wrote to stdout and stderr.
    std::string Log() const;

private:
    ServerSettings m_settings;
    TempDir m_dir;
    BackgroundProcess m_process;
    int m_port = 0;
};

// Runs ltpctl with args against the server (LTP_HOST (its address), LTP_PORT, LTP_USER,
// LTP_PASSWORD set from it; extra overrides or adds variables).
ProcessResult Ctl(const LtpdServer& server, const std::vector<std::string>& args,
                  const std::string& input = std::string(),
                  const std::map<std::string, std::string>& extra = {});

// Runs ltpctl with exactly the environment variables given (besides the test's own non-LTP ones).
ProcessResult CtlWithEnvironment(const std::vector<std::string>& args,
                                 const std::map<std::string, std::string>& environment,
                                 const std::string& input = std::string());

// A loopback port on which nothing listens (bound, then released).
int UnusedPort();
// Whether this machine has an IPv6 loopback to listen on.
bool HasIpv6Loopback();

} // namespace e2e
