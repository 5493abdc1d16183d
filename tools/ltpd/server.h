// The network side of ltpd: one thread, one poll() loop, any number of connections, each with
// any number of requests in turn. A slow or silent client holds only its own connection.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <ltpadmin/ltp/wire.h>

#include "tools/ltpd/login_throttle.h"
#include "tools/ltpd/request_parser.h"
#include "tools/ltpd/service.h"

namespace ltpd {

struct ServerOptions {
    std::string address = "127.0.0.1";
    uint16_t port = ltp::default_port; // 0: any free port
    bool quiet = false;                // no line per request on stderr
    RequestLimits limits;
    // When full, the connection idle longest is closed to make room for a new one.
    size_t maxConnections = 1000;
    size_t maxPerAddress = 64; // a newcomer beyond this is closed at once
    // From the first byte of a request to the end of its head.
    std::chrono::milliseconds headTimeout{10 * 1000};
    // Without a byte in or out, between requests or in the middle of a body.
    std::chrono::milliseconds idleTimeout{5 * 60 * 1000};
    // All bodies being read at once; a body that does not fit waits, unread, for others to end.
    size_t bodyMemory = 64 * 1024 * 1024;
    ThrottleOptions throttle;
};

class Server {
public:
    Server(Service& service, ServerOptions options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds and listens; false with a reason when it cannot.
    bool Listen(std::string& error);
    // The port listened on (the chosen one after --port 0).
    uint16_t Port() const { return m_port; }
    // Serves until stopFd becomes readable (a signalfd, or a pipe in tests); closes every
    // connection on the way out.
    void Run(int stopFd);

private:
    using Clock = std::chrono::steady_clock;
    struct Connection;

    void Accept();
    void Receive(Connection& c);
    void Process(Connection& c);
    Response Answer(Connection& c, const Request& request, bool bodyUnread);
    bool ReserveBody(Connection& c);
    void ReleaseBody(Connection& c);
    void Flush(Connection& c);
    void FinishWriting(Connection& c);
    // Closes connections past their time; the time of the next deadline (max() for none).
    Clock::time_point Expire(Clock::time_point now);
    void Close(Connection& c);
    void LogLine(const Connection& c, const Request* request, const Response& response) const;
    void LogEvent(const Connection& c, const char* what) const;

    Service& m_service;
    ServerOptions m_options;
    int m_listenFd = -1;
    uint16_t m_port = 0;
    // Out of file descriptors: accepting waits until a connection has closed, rather than
    // spinning on a listening socket that stays readable.
    bool m_acceptPaused = false;
    std::vector<std::unique_ptr<Connection>> m_connections;
    size_t m_open = 0;
    std::unordered_map<std::string, size_t> m_perAddress;
    size_t m_bodyBytes = 0; // reserved by bodies being read
    LoginThrottle m_throttle;
};

} // namespace ltpd
