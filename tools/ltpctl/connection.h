// One login to the server, shared by every command of a run (and every line of a batch).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include <ltpadmin/client.h>

#include "tools/ltpctl/wire_trace.h"

namespace ltpctl {

struct ConnectionSettings {
    std::string host = "127.0.0.1";
    int port = 120;
    std::string user = "admin";
    std::string password;
    bool verbose = false;
    // Longest silence while a request goes out or its answer comes in.
    std::chrono::milliseconds timeout{10000};
    std::uint32_t maxResponseBytes = LTP_DEFAULT_MAX_RESPONSE_BYTES;
    std::size_t maxResultBytes = LTP_DEFAULT_MAX_RESULT_BYTES;
};

class Connection {
public:
    Connection(ConnectionSettings settings, std::ostream& err);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Logs in when not yet logged in, runs op (one library call that returns 1 or 0), traces the
    // exchange when verbose, and on failure says why on the error stream. Returns an exit code.
    // After a transport failure the next call logs in again.
    int Call(const std::function<int(CLTPCreater&)>& op);
    // The same over the modern client: op makes its calls, whose failures (exceptions) are
    // reported as Call reports them. Traces every exchange when verbose.
    int Run(const std::function<void(ltp::Client&)>& op);

    const ConnectionSettings& Settings() const { return m_settings; }
    // "HOST:PORT" as given ("[HOST]:PORT" for an IPv6 address).
    std::string Where() const;
    // Reports that the client's last lookup found nothing (with the server's refusal when it
    // gave one); returns the exit code.
    int ReportMissing(const std::string& missing);
    // Reports a failure found before anything was sent.
    void Report(const std::string& message) const;
    // Put before every report, e.g. "line 3: " in a batch.
    void SetReportPrefix(std::string prefix) { m_prefix = std::move(prefix); }

private:
    int LogIn();

    ConnectionSettings m_settings;
    std::ostream& m_err;
    std::unique_ptr<CTracedCreater> m_creater;
    std::unique_ptr<ltp::Client> m_client;
    std::string m_lastResponse; // what arrived for the client's last request
    bool m_sent = false;        // the client's last request was traced going out
    bool m_loggedIn = false;
    std::string m_prefix;
};

} // namespace ltpctl
