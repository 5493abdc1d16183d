#include "tools/ltpd/server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ltpd {
namespace {

// Beyond this much unsent output a connection reads no further requests until the client has
// taken some of it.
constexpr size_t kMaxPendingOutput = 1024 * 1024;
constexpr size_t kReadChunk = 64 * 1024;

std::string Printable(std::string_view s, size_t max = 60) {
    std::string out(s.substr(0, max));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return out;
}

std::string PeerName(const sockaddr_storage& addr) {
    char host[INET6_ADDRSTRLEN] = "?";
    uint16_t port = 0;
    if (addr.ss_family == AF_INET) {
        const auto* a = reinterpret_cast<const sockaddr_in*>(&addr);
        inet_ntop(AF_INET, &a->sin_addr, host, sizeof host);
        port = ntohs(a->sin_port);
        return std::string(host) + ":" + std::to_string(port);
    }
    if (addr.ss_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&addr);
        inet_ntop(AF_INET6, &a->sin6_addr, host, sizeof host);
        port = ntohs(a->sin6_port);
        return "[" + std::string(host) + "]:" + std::to_string(port);
    }
    return host;
}

} // namespace

struct Server::Connection {
    int fd = -1;
    std::string peer;
    std::string in;
    std::string out;
    size_t outOffset = 0;
    bool closeAfterWrite = false; // a framing error or the peer's end of sending
    bool broken = false;          // a framing error: further input cannot be followed
    bool closed = false;

    size_t Pending() const { return out.size() - outOffset; }
};

Server::Server(Service& service, ServerOptions options)
    : m_service(service), m_options(std::move(options)) {}

Server::~Server() {
    for (auto& c : m_connections)
        if (!c->closed)
            ::close(c->fd);
    if (m_listenFd >= 0)
        ::close(m_listenFd);
}

bool Server::Listen(std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(m_options.port);
    int rc = getaddrinfo(m_options.address.c_str(), port.c_str(), &hints, &found);
    if (rc != 0 || !found) {
        error = "cannot listen on " + m_options.address + ": " + gai_strerror(rc);
        return false;
    }
    sockaddr_storage addr{};
    socklen_t len = static_cast<socklen_t>(found->ai_addrlen);
    std::memcpy(&addr, found->ai_addr, found->ai_addrlen);
    freeaddrinfo(found);
    m_listenFd = ::socket(addr.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    int one = 1;
    setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
        error = "cannot listen on " + m_options.address + ":" + std::to_string(m_options.port) +
                ": " + std::strerror(errno);
        return false;
    }
    if (::listen(m_listenFd, 128) != 0) {
        error = std::string("listen: ") + std::strerror(errno);
        return false;
    }
    sockaddr_storage bound{};
    socklen_t boundLen = sizeof bound;
    getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&bound), &boundLen);
    m_port = ntohs(bound.ss_family == AF_INET ? reinterpret_cast<sockaddr_in*>(&bound)->sin_port
                                              : reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port);
    return true;
}

void Server::Run(int stopFd) {
    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        const bool canAccept = !m_acceptPaused && m_connections.size() < m_options.maxConnections;
        fds.push_back({stopFd, POLLIN, 0});
        fds.push_back({m_listenFd, static_cast<short>(canAccept ? POLLIN : 0), 0});
        for (auto& c : m_connections) {
            short events = 0;
            if (!c->closeAfterWrite && c->Pending() < kMaxPendingOutput)
                events |= POLLIN;
            if (c->Pending() > 0)
                events |= POLLOUT;
            fds.push_back({c->fd, events, 0});
        }
        int n = ::poll(fds.data(), fds.size(), -1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "ltpd: poll: %s\n", std::strerror(errno));
            break;
        }
        if (fds[0].revents)
            break;
        // Connections accepted now are polled from the next round on.
        const size_t polled = fds.size() - 2;
        for (size_t i = 0; i < polled; ++i) {
            Connection& c = *m_connections[i];
            short re = fds[i + 2].revents;
            if (re & (POLLIN | POLLHUP | POLLERR))
                Receive(c);
            if (!c.closed && (re & POLLOUT))
                Flush(c);
        }
        if (fds[1].revents & POLLIN)
            Accept();
        size_t kept = 0;
        for (size_t i = 0; i < m_connections.size(); ++i)
            if (!m_connections[i]->closed)
                m_connections[kept++] = std::move(m_connections[i]);
        m_connections.resize(kept);
        m_service.Counters().openConnections = static_cast<int64_t>(m_connections.size());
    }
    for (auto& c : m_connections)
        Close(*c);
    m_connections.clear();
    m_service.Counters().openConnections = 0;
}

void Server::Accept() {
    while (m_connections.size() < m_options.maxConnections) {
        sockaddr_storage addr{};
        socklen_t len = sizeof addr;
        int fd = ::accept4(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len,
                           SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                m_acceptPaused = !m_connections.empty();
            return; // EAGAIN, or a connection that went away before it was taken
        }
        auto c = std::make_unique<Connection>();
        c->fd = fd;
        c->peer = PeerName(addr);
        m_connections.push_back(std::move(c));
        ++m_service.Counters().totalConnections;
        m_service.Counters().openConnections = static_cast<int64_t>(m_connections.size());
    }
}

void Server::Receive(Connection& c) {
    char buf[kReadChunk];
    ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return;
        Close(c);
        return;
    }
    if (n == 0) {
        // The client sends no more; answer what it has sent, then close.
        c.closeAfterWrite = true;
        Process(c);
        if (c.Pending() == 0)
            Close(c);
        return;
    }
    if (c.broken)
        return; // the rest of what the client sends after an unreadable request
    c.in.append(buf, static_cast<size_t>(n));
    Process(c);
    if (!c.closed && c.Pending() > 0)
        Flush(c);
}

void Server::Process(Connection& c) {
    while (!c.broken && !c.in.empty() && c.Pending() < kMaxPendingOutput) {
        ParseResult parsed = ParseRequest(c.in, m_options.limits);
        if (parsed.state == ParseState::Incomplete)
            break;
        Response response;
        if (parsed.state == ParseState::Failed) {
            ++m_service.Counters().requests;
            response = Refuse(parsed.status, parsed.reason);
            response.close = true;
            c.in.clear();
            LogLine(c, nullptr, response);
        } else {
            c.in.erase(0, parsed.consumed);
            response = m_service.Handle(parsed.request);
            LogLine(c, &parsed.request, response);
        }
        if (c.outOffset == c.out.size()) {
            c.out.clear();
            c.outOffset = 0;
        }
        c.out += SerializeResponse(response);
        if (response.close) {
            c.closeAfterWrite = true;
            c.broken = true;
            c.in.clear();
            break;
        }
    }
}

void Server::Flush(Connection& c) {
    for (;;) {
        while (c.Pending() > 0) {
            ssize_t n = ::send(c.fd, c.out.data() + c.outOffset, c.Pending(), MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                    return;
                Close(c);
                return;
            }
            c.outOffset += static_cast<size_t>(n);
        }
        c.out.clear();
        c.outOffset = 0;
        // Requests held back while output was pending.
        if (!c.broken && !c.in.empty()) {
            Process(c);
            if (c.Pending() > 0)
                continue;
        }
        if (c.closeAfterWrite)
            Close(c);
        return;
    }
}

void Server::Close(Connection& c) {
    if (c.closed)
        return;
    ::close(c.fd);
    c.closed = true;
    m_acceptPaused = false;
}

void Server::LogLine(const Connection& c, const Request* request, const Response& response) const {
    if (m_options.quiet)
        return;
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::string what = request ? Printable(request->user, 30) + " " + Printable(request->verb) +
                                     " " + Printable(request->object)
                               : std::string("- (unreadable request)");
    std::string outcome = std::to_string(response.status);
    if (response.status != 200)
        outcome += " " + Printable(response.reason, 120);
    std::fprintf(stderr, "%s %s %s -> %s (%zu bytes)\n", stamp, c.peer.c_str(), what.c_str(),
                 outcome.c_str(), response.body.size());
}

} // namespace ltpd
