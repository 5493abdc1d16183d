#include "ltpadmin/client/socket.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <fcntl.h>

namespace ltp::detail {
namespace {

using Kind = TransportError::Kind;

std::string SystemText(int error) {
    return error != 0 ? std::strerror(error) : std::string();
}

int PollMilliseconds(std::chrono::milliseconds idle) {
    const auto count = idle.count();
    if (count < 0)
        return 0;
    return count > 0x7fffffff ? 0x7fffffff : static_cast<int>(count);
}

// Connects one non-blocking socket to one address within timeout; returns the error, 0 on success.
int ConnectOne(int fd, const addrinfo& address, std::chrono::milliseconds timeout) {
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0)
        return 0;
    if (errno != EINPROGRESS)
        return errno;
    pollfd p{fd, POLLOUT, 0};
    int n;
    do
        n = ::poll(&p, 1, PollMilliseconds(timeout));
    while (n < 0 && errno == EINTR);
    if (n == 0)
        return ETIMEDOUT;
    if (n < 0)
        return errno;
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        return errno;
    return error;
}

} // namespace

Socket::Socket(Socket&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void Socket::close() noexcept {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void Socket::fail(Kind kind, int error, const char* what) {
    close();
    throw TransportError(kind, SystemText(error), what);
}

void Socket::connect(const std::string& host, std::uint16_t port,
                     std::chrono::milliseconds timeout) {
    close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int resolved = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (resolved != 0)
        throw TransportError(Kind::connect, ::gai_strerror(resolved),
                             "cannot resolve \"" + host + "\"");
    int error = 0;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            error = errno;
            continue;
        }
        error = ConnectOne(fd, *a, timeout);
        if (error == 0) {
            // Requests go out whole in one send; waiting for more to fill a segment only delays.
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            fd_ = fd;
            break;
        }
        ::close(fd);
    }
    ::freeaddrinfo(found);
    if (fd_ < 0)
        throw TransportError(error == ETIMEDOUT ? Kind::timeout : Kind::connect, SystemText(error),
                             "cannot connect to " + host + " port " + service);
}

bool Socket::is_stale() const {
    if (fd_ < 0)
        return true;
    pollfd p{fd_, POLLIN, 0};
    int n;
    do
        n = ::poll(&p, 1, 0);
    while (n < 0 && errno == EINTR);
    return n != 0;
}

bool Socket::wait(short events, std::chrono::milliseconds idle) {
    pollfd p{fd_, events, 0};
    for (;;) {
        const int n = ::poll(&p, 1, PollMilliseconds(idle));
        if (n > 0)
            return true;
        if (n == 0)
            return false;
        if (errno != EINTR)
            return true; // the call that follows reports the error
    }
}

void Socket::send_all(const char* data, std::size_t length, std::chrono::milliseconds idle) {
    while (length != 0) {
        const ssize_t n = ::send(fd_, data, length, MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            length -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!wait(POLLOUT, idle))
                fail(Kind::timeout, 0, "the server took no bytes in time");
            continue;
        }
        const int error = n < 0 ? errno : 0;
        if (error == EPIPE || error == ECONNRESET)
            fail(Kind::closed, error, "the server closed the connection");
        fail(Kind::send, error, "sending the request failed");
    }
}

std::size_t Socket::receive(char* data, std::size_t length, std::chrono::milliseconds idle) {
    for (;;) {
        const ssize_t n = ::recv(fd_, data, length, 0);
        if (n > 0)
            return static_cast<std::size_t>(n);
        if (n == 0)
            fail(Kind::closed, 0, "the server closed the connection before the response was whole");
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!wait(POLLIN, idle))
                fail(Kind::timeout, 0, "the server sent nothing in time");
            continue;
        }
        const int error = errno;
        if (error == ECONNRESET)
            fail(Kind::closed, error, "the server closed the connection");
        fail(Kind::receive, error, "receiving the response failed");
    }
}

} // namespace ltp::detail
