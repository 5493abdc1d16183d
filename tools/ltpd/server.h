// The network side of ltpd: one thread, one poll() loop, any number of connections, each with
// any number of requests in turn. A slow or silent client holds only its own connection.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <ltpadmin/ltp/wire.h>

#include "tools/ltpd/admission.h"
#include "tools/ltpd/connection.h"
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
    // Beyond this, the address's connection idle longest makes room; a newcomer finding none
    // idle is closed at once.
    size_t maxPerAddress = 64;
    // Gateways serving many clients from one address (canonical form, CanonicalAddress): not
    // capped or slowed per address; the limits over all addresses still apply to them.
    std::vector<std::string> trustedGateways;
    // From the first byte of a request to the end of its head.
    std::chrono::milliseconds headTimeout{10 * 1000};
    // Without a byte in or out, between requests or in the middle of a body.
    std::chrono::milliseconds idleTimeout{5 * 60 * 1000};
    // All bodies being read at once; a body that does not fit waits, unread, for others to end.
    size_t bodyMemory = 16 * 1024 * 1024;
    // Answers not yet taken by their clients, all together: beyond it, a connection that still
    // owes its client an answer reads no further request until it has delivered it.
    size_t outputMemory = 16 * 1024 * 1024;
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

    // The poll loop and the sockets (server.cpp).
    void Accept();
    void Receive(Connection& c);
    void Flush(Connection& c);
    void FinishWriting(Connection& c);
    // Closes connections past their time; the time of the next deadline (max() for none).
    Clock::time_point Expire(Clock::time_point now);
    void Close(Connection& c);
    void LogLine(const Connection& c, const Request* request, const Response& response) const;
    void LogEvent(const Connection& c, const char* what) const;

    // From received bytes to queued answers (server_requests.cpp).
    void Process(Connection& c);
    // Whether the connection may take on its next request now, given the answers it and the
    // others have not delivered yet.
    bool MayTakeRequest(const Connection& c) const;
    void Queue(Connection& c, const Response& response);
    // Sends what the connection owes as far as the socket takes it now.
    void SendSome(Connection& c);
    // The answer to a request whose credentials Service::Screen refused, held back and the
    // connection closed as the throttle decides.
    Response LoginFailed(Connection& c, const Request& request, Response refusal, bool bodyUnread);
    bool ReserveBody(Connection& c);
    void ReleaseBody(Connection& c);

    Service& m_service;
    ServerOptions m_options;
    int m_listenFd = -1;
    uint16_t m_port = 0;
    // Out of file descriptors: accepting waits until a connection has closed, rather than
    // spinning on a listening socket that stays readable.
    bool m_acceptPaused = false;
    std::vector<std::unique_ptr<Connection>> m_connections;
    Admission m_admission;
    size_t m_bodyBytes = 0;   // reserved by bodies being read
    size_t m_outputBytes = 0; // queued answers not yet sent
    LoginThrottle m_throttle;
};

} // namespace ltpd
