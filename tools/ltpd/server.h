// The network side of ltpd: one thread, one poll() loop, any number of connections, each with
// any number of requests in turn. A slow or silent client holds only its own connection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/ltpd/request_parser.h"
#include "tools/ltpd/service.h"

namespace ltpd {

struct ServerOptions {
    std::string address = "127.0.0.1";
    uint16_t port = 120; // 0: any free port
    bool quiet = false;  // no line per request on stderr
    RequestLimits limits;
    size_t maxConnections = 1000;
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
    struct Connection;

    void Accept();
    void Receive(Connection& c);
    void Process(Connection& c);
    void Flush(Connection& c);
    void Close(Connection& c);
    void LogLine(const Connection& c, const Request* request, const Response& response) const;

    Service& m_service;
    ServerOptions m_options;
    int m_listenFd = -1;
    uint16_t m_port = 0;
    // Out of file descriptors: accepting waits until a connection has closed, rather than
    // spinning on a listening socket that stays readable.
    bool m_acceptPaused = false;
    std::vector<std::unique_ptr<Connection>> m_connections;
};

} // namespace ltpd
