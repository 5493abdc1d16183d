// An event-driven HTTP/1.1 server (plain or TLS) that holds against slow and idle clients: the
// whole head must arrive within a deadline, idle connections close, connections are capped per
// address and overall, and bodies are bounded before they are read. Handlers run on a worker pool
// so that one slow answer does not hold up reading the others.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ltpweb {

struct HttpRequest {
    std::string method;
    std::string target; // as sent: path and query, still percent-encoded
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::string remoteAddress;

    // The first header of that name (case-insensitive), or "".
    std::string Header(const std::string& name) const;
};

struct HttpResponse {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

using HttpHandler = std::function<HttpResponse(HttpRequest&)>;
// True for requests answered at once from memory, which then skip the worker pool's queue.
using HttpQuick = std::function<bool(const HttpRequest&)>;

struct HttpLimits {
    std::chrono::seconds headDeadline{10}; // from the first byte of a request to its last header
    std::chrono::seconds idleTimeout{15};  // waiting for a request's first byte
    std::chrono::seconds bodyDeadline{30};
    std::chrono::seconds writeDeadline{30};
    std::size_t maxHead = 16 * 1024;
    std::size_t maxBody = 1 << 20;
    std::size_t maxBodiesInFlight = 32u << 20; // over all connections
    std::size_t maxConnections = 4096;
    std::size_t maxPerAddress = 64;
    int backlog = 1024;
    int ioThreads = 1;
    int workers = 8;
};

class HttpServer {
public:
    // An empty tlsCert serves plain HTTP.
    HttpServer(HttpLimits limits, HttpHandler handler, std::string tlsCert = {},
               std::string tlsKey = {}, HttpQuick quick = {});
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds (port 0: any free port). False with the reason in error.
    bool Bind(const std::string& host, int port, std::string& error);
    int Port() const;
    // Serves until Stop.
    void Run();
    void Stop();

    // Open connections now, for the metrics.
    std::size_t Connections() const;

    struct Impl;

private:
    std::shared_ptr<Impl> m_impl;
};

} // namespace ltpweb
