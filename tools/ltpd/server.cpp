// The poll loop and the sockets: listening, accepting within the seats Admission grants, reading,
// writing, time-outs and closing. What the bytes mean is server_requests.cpp's.
#include "tools/ltpd/server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ltpd {
namespace {

constexpr size_t kReadChunk = 64 * 1024;
constexpr size_t kHeadChunk = 16 * 1024;

// The client's address without its port, and the whole "address:port" for the log.
void PeerName(const sockaddr_storage& addr, std::string& address, std::string& peer) {
    char host[INET6_ADDRSTRLEN] = "?";
    uint16_t port = 0;
    if (addr.ss_family == AF_INET) {
        const auto* a = reinterpret_cast<const sockaddr_in*>(&addr);
        inet_ntop(AF_INET, &a->sin_addr, host, sizeof host);
        port = ntohs(a->sin_port);
        address = host;
        peer = address + ":" + std::to_string(port);
        return;
    }
    if (addr.ss_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&addr);
        inet_ntop(AF_INET6, &a->sin6_addr, host, sizeof host);
        port = ntohs(a->sin6_port);
        address = host;
        peer = "[" + address + "]:" + std::to_string(port);
        return;
    }
    address = peer = host;
}

// A closing connection waits this long for the client to stop sending, so that closing with
// unread input does not reset the connection before the client has read the last answer.
constexpr std::chrono::seconds kLinger{2};

} // namespace

Server::Server(Service& service, ServerOptions options)
    : m_service(service), m_options(std::move(options)),
      m_admission(m_options.maxConnections, m_options.maxPerAddress, m_options.trustedGateways),
      m_throttle(m_options.throttle) {}

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
    if (::listen(m_listenFd, SOMAXCONN) != 0) {
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
        const Clock::time_point now = Clock::now();
        const Clock::time_point next = Expire(now);
        fds.clear();
        fds.push_back({stopFd, POLLIN, 0});
        fds.push_back({m_listenFd, static_cast<short>(m_acceptPaused ? 0 : POLLIN), 0});
        for (auto& c : m_connections) {
            short events = 0;
            if (c->closed) {
                fds.push_back({-1, 0, 0});
                continue;
            }
            if (c->Waiting())
                ReserveBody(*c);
            const bool held = now < c->holdUntil;
            if (c->lingering ||
                (!c->closeAfterWrite && !c->Waiting() && !held && MayTakeRequest(*c)))
                events |= POLLIN;
            if (c->Pending() > 0 && !held)
                events |= POLLOUT;
            fds.push_back({c->fd, events, 0});
        }
        int timeout = -1;
        if (next != Clock::time_point::max()) {
            auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
            timeout = static_cast<int>(std::clamp<int64_t>(wait, 0, 60 * 1000));
        }
        int n = ::poll(fds.data(), fds.size(), timeout);
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
            if (c.closed)
                continue;
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
        m_service.Counters().openConnections = static_cast<int64_t>(m_admission.Open());
    }
    for (auto& c : m_connections)
        Close(*c);
    m_connections.clear();
    m_service.Counters().openConnections = 0;
}

Server::Clock::time_point Server::Expire(Clock::time_point now) {
    Clock::time_point next = Clock::time_point::max();
    for (auto& p : m_connections) {
        Connection& c = *p;
        if (c.closed)
            continue;
        Clock::time_point deadline;
        const char* why = nullptr;
        if (c.lingering) {
            deadline = c.lastActivity + kLinger;
        } else if (now < c.holdUntil) {
            deadline = c.holdUntil; // not a time-out: the held answer goes out then
        } else if (!c.in.empty() && !c.headComplete && !c.broken && c.Pending() == 0) {
            deadline = c.headStarted + m_options.headTimeout;
            why = "request head not complete in time; closed";
        } else {
            deadline = c.lastActivity + m_options.idleTimeout;
            why = "idle too long; closed";
        }
        if (now < deadline) {
            next = std::min(next, deadline);
            continue;
        }
        if (why)
            LogEvent(c, why);
        Close(c);
    }
    return next;
}

void Server::Accept() {
    for (;;) {
        sockaddr_storage addr{};
        socklen_t len = sizeof addr;
        int fd = ::accept4(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len,
                           SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                m_acceptPaused = m_admission.Open() > 0;
            return; // EAGAIN, or a connection that went away before it was taken
        }
        // Answers go out whole, each in one send: waiting to fill a segment only delays them, and
        // behind an unacknowledged answer it stalls pipelined clients (a delayed ack away).
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        auto c = std::make_unique<Connection>();
        c->fd = fd;
        PeerName(addr, c->address, c->peer);
        c->trusted = m_admission.Trusted(c->address);
        c->lastActivity = Clock::now();
        ++m_service.Counters().totalConnections;
        const Admission::Verdict verdict = m_admission.Admit(c->address, m_connections);
        if (verdict.refuse) {
            LogEvent(*c, "too many busy connections from this address; refused");
            ::close(fd);
            continue;
        }
        for (Connection* other : verdict.evict) {
            LogEvent(*other, other->address == c->address
                                 ? "connection limit of this address reached; its longest idle "
                                   "is closed"
                                 : "connection limit reached; the longest idle is closed");
            Close(*other);
        }
        m_admission.Opened(c->address);
        m_connections.push_back(std::move(c));
        m_service.Counters().openConnections = static_cast<int64_t>(m_admission.Open());
    }
}

void Server::Receive(Connection& c) {
    char buf[kReadChunk];
    // A body being read takes no more than it lacks, so that its buffer, sized for it when its
    // memory was reserved, never grows past it. Otherwise a head (and a body's first bytes, which
    // may then wait unreserved) comes in small pieces: many waiting bodies hold little.
    size_t want = kHeadChunk;
    if (c.bodyReserved > 0 && c.in.size() < c.bodyNeeded)
        want = std::min(sizeof buf, c.bodyNeeded - c.in.size());
    ssize_t n = ::recv(c.fd, buf, want, 0);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return;
        Close(c);
        return;
    }
    if (c.lingering) {
        if (n == 0)
            Close(c);
        return; // what the client still sends after the last answer is dropped
    }
    if (n > 0)
        c.lastActivity = Clock::now();
    if (n == 0) {
        // The client sends no more; answer what it has sent, then close.
        c.peerDone = true;
        c.closeAfterWrite = true;
        Process(c);
        if (c.Pending() == 0)
            Close(c);
        return;
    }
    if (c.broken)
        return; // the rest of what the client sends after an unreadable request
    if (c.in.empty())
        c.headStarted = c.lastActivity;
    c.in.append(buf, static_cast<size_t>(n));
    Process(c);
    if (!c.closed && c.Pending() > 0)
        Flush(c);
}

void Server::Flush(Connection& c) {
    for (;;) {
        if (Clock::now() < c.holdUntil)
            return;
        while (c.Pending() > 0) {
            ssize_t n = ::send(c.fd, c.out.data() + c.outOffset, c.Pending(), MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                    return;
                Close(c);
                return;
            }
            c.outOffset += static_cast<size_t>(n);
            m_outputBytes -= static_cast<size_t>(n);
            c.lastActivity = Clock::now();
        }
        c.out.clear();
        c.outOffset = 0;
        if (c.out.capacity() > kReadChunk)
            std::string().swap(c.out); // grown by a large answer: given back
        // Requests held back while output was pending.
        if (!c.broken && !c.in.empty()) {
            Process(c);
            if (c.Pending() > 0)
                continue;
        }
        if (c.closeAfterWrite)
            FinishWriting(c);
        return;
    }
}

void Server::FinishWriting(Connection& c) {
    if (c.peerDone) {
        Close(c);
        return;
    }
    // The client may still be sending (a body never read, say): shut our side, drop what comes
    // until it closes or the linger ends.
    ::shutdown(c.fd, SHUT_WR);
    c.lingering = true;
    c.lastActivity = Clock::now();
}

void Server::Close(Connection& c) {
    if (c.closed)
        return;
    ::close(c.fd);
    c.closed = true;
    ReleaseBody(c);
    m_outputBytes -= c.Pending();
    std::string().swap(c.in);
    std::string().swap(c.out);
    c.outOffset = 0;
    m_admission.Closed(c.address);
    m_acceptPaused = false;
}

void Server::LogEvent(const Connection& c, const char* what) const {
    if (!m_options.quiet)
        std::fprintf(stderr, "ltpd: %s: %s\n", c.peer.c_str(), what);
}

} // namespace ltpd
