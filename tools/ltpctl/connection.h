// One login to the server, shared by every command of a run (and every line of a batch).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "tools/ltpctl/wire_trace.h"

namespace ltpctl {

struct ConnectionSettings {
    std::string host = "127.0.0.1";
    int port = 120;
    std::string user = "admin";
    std::string password;
    bool verbose = false;
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

    const ConnectionSettings& Settings() const { return m_settings; }
    // "HOST:PORT" as given.
    std::string Where() const;
    // Reports a failure found before anything was sent.
    void Report(const std::string& message) const;
    // Put before every report, e.g. "line 3: " in a batch.
    void SetReportPrefix(std::string prefix) { m_prefix = std::move(prefix); }

private:
    int LogIn();

    ConnectionSettings m_settings;
    std::ostream& m_err;
    std::unique_ptr<CTracedCreater> m_creater;
    bool m_loggedIn = false;
    std::string m_prefix;
};

} // namespace ltpctl
