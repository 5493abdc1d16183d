// The client socket on POSIX: blocking once connected, with the idle time-out as the system's
// send and receive time-outs.
#include "ltpadmin/client/socket.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <fcntl.h>

namespace ltp::detail {

using Kind = TransportError::Kind;

void Socket::start_sockets() {}

Socket::Handle Socket::open_handle(const addrinfo& address, int& error) {
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            address.ai_protocol);
    if (fd < 0)
        error = errno;
    return fd < 0 ? kNoHandle : fd;
}

int Socket::connect_within(Handle fd, const addrinfo& address, std::chrono::milliseconds timeout) {
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0)
        return 0;
    if (errno != EINPROGRESS)
        return errno;
    pollfd p{fd, POLLOUT, 0};
    int n;
    do
        n = ::poll(&p, 1, Milliseconds(timeout));
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
int Socket::settle(Handle fd, std::chrono::milliseconds idle) {
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

void Socket::close_handle(Handle fd) noexcept {
    ::close(fd);
}

std::string Socket::system_text(int error) {
    return error != 0 ? std::strerror(error) : std::string();
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

std::size_t Socket::send_some(const char* data, std::size_t length) {
    for (;;) {
        const ssize_t n = ::send(fd_, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error == EAGAIN || error == EWOULDBLOCK)
            return 0;
        if (error == EPIPE || error == ECONNRESET)
            fail(Kind::closed, error, "the server closed the connection");
        fail(Kind::send, error, "sending the request failed");
    }
}

bool Socket::await(bool sending) {
    pollfd p{fd_, static_cast<short>(POLLIN | (sending ? POLLOUT : 0)), 0};
    for (;;) {
        const int n = ::poll(&p, 1, Milliseconds(std::max(idle_, std::chrono::milliseconds(1))));
        if (n > 0)
            break;
        if (n == 0)
            fail(Kind::timeout, 0,
                 sending ? "the server took no bytes in time" : "the server sent nothing in time");
        if (errno != EINTR)
            fail(Kind::receive, errno, "waiting for the server failed");
    }
    // A hang-up or error shows in the next receive, which then reports it.
    return (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0 || !sending;
}

} // namespace ltp::detail
