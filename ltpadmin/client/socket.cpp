#include "ltpadmin/client/socket.h"

#include "ltpadmin/client/addresses.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
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

// A connected socket blocks from now on, each send or receive for at most idle (so that a wait
// restarts whenever bytes move), and sends requests at once: they go out whole in one send, and
// waiting for more to fill a segment only delays.
int Settle(int fd, std::chrono::milliseconds idle) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0)
        return errno;
    const auto micros = std::max<long long>(
        1000, std::chrono::duration_cast<std::chrono::microseconds>(idle).count());
    timeval wait{};
    wait.tv_sec = static_cast<time_t>(micros / 1000000);
    wait.tv_usec = static_cast<suseconds_t>(micros % 1000000);
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait) != 0 ||
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0)
        return errno;
    return 0;
}

} // namespace

Socket::Socket(Socket&& other) noexcept : fd_(other.fd_) {
    other.fd_ = kNoHandle;
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = kNoHandle;
    }
    return *this;
}

void Socket::close() noexcept {
    if (fd_ != kNoHandle)
        ::close(fd_);
    fd_ = kNoHandle;
}

void Socket::fail(Kind kind, int error, const char* what) {
    close();
    throw TransportError(kind, SystemText(error), what);
}

void Socket::connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout,
                     std::chrono::milliseconds idle) {
    close();
    const Addresses addresses(host, port);
    int error = 0;
    for (const addrinfo* a = addresses.first(); a != nullptr; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            error = errno;
            continue;
        }
        error = ConnectOne(fd, *a, timeout);
        if (error == 0)
            error = Settle(fd, idle);
        if (error == 0) {
            fd_ = fd;
            break;
        }
        ::close(fd);
    }
    if (fd_ == kNoHandle)
        throw TransportError(Kind::connect, SystemText(error),
                             "cannot connect to " + host + " port " + addresses.service());
}

bool Socket::is_stale() const {
    if (fd_ == kNoHandle)
        return true;
    pollfd p{fd_, POLLIN, 0};
    int n;
    do
        n = ::poll(&p, 1, 0);
    while (n < 0 && errno == EINTR);
    return n != 0;
}

void Socket::send_all(const char* data, std::size_t length) {
    while (length != 0) {
        const ssize_t n = ::send(fd_, data, length, MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            length -= static_cast<std::size_t>(n);
            continue;
        }
        const int error = n < 0 ? errno : 0;
        if (error == EINTR)
            continue;
        if (error == EAGAIN || error == EWOULDBLOCK)
            fail(Kind::timeout, 0, "the server took no bytes in time");
        if (error == EPIPE || error == ECONNRESET)
            fail(Kind::closed, error, "the server closed the connection");
        fail(Kind::send, error, "sending the request failed");
    }
}

std::size_t Socket::receive(char* data, std::size_t length) {
    for (;;) {
        const ssize_t n = ::recv(fd_, data, length, 0);
        if (n > 0)
            return static_cast<std::size_t>(n);
        if (n == 0)
            fail(Kind::closed, 0, "the server closed the connection before the response was whole");
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error == EAGAIN || error == EWOULDBLOCK)
            fail(Kind::timeout, 0, "the server sent nothing in time");
        if (error == ECONNRESET)
            fail(Kind::closed, error, "the server closed the connection");
        fail(Kind::receive, error, "receiving the response failed");
    }
}

} // namespace ltp::detail
