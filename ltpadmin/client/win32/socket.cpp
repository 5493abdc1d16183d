// The client socket on Windows Sockets. The same contract as on POSIX, with one difference of
// means: the socket stays non-blocking and every wait for bytes to move goes through WSAPoll with
// the idle time-out (a Winsock receive time-out leaves the socket unusable), and the connect is
// watched with select, which also reports a refused connect where WSAPoll on older Windows
// never wakes.
#include "ltpadmin/client/socket.h"

#include "ltpadmin/platform/win32/windows_api.h"

#include "ltpadmin/platform/async_socket.h"

#include <string>

namespace ltp::detail {
namespace {

using Kind = TransportError::Kind;

static_assert(sizeof(SOCKET) == sizeof(std::uintptr_t), "a socket handle fits the slot");

SOCKET Native(std::uintptr_t handle) {
    return static_cast<SOCKET>(handle);
}

// Waits up to idle for the socket to be ready for events; returns 1 when ready, 0 on time-out,
// and -1 with the error in error.
int Wait(SOCKET s, SHORT events, std::chrono::milliseconds idle, int& error) {
    WSAPOLLFD p{s, events, 0};
    const int n = WSAPoll(&p, 1, Milliseconds(std::max(idle, std::chrono::milliseconds(1))));
    if (n < 0)
        error = WSAGetLastError();
    return n;
}

} // namespace

// Once for the process, here rather than at load: never inside DllMain.
void Socket::start_sockets() {
    if (!AfxSocketInit())
        throw TransportError(Kind::connect, system_text(WSAGetLastError()),
                             "Windows Sockets could not start");
}

Socket::Handle Socket::open_handle(const addrinfo& address, int& error) {
    // Not inherited by processes the application starts.
    const SOCKET s = WSASocketW(address.ai_family, address.ai_socktype, address.ai_protocol,
                                nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        error = WSAGetLastError();
        return kNoHandle;
    }
    u_long nonblocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonblocking) != 0) {
        error = WSAGetLastError();
        ::closesocket(s);
        return kNoHandle;
    }
    return static_cast<Handle>(s);
}

int Socket::connect_within(Handle h, const addrinfo& address, std::chrono::milliseconds timeout) {
    const SOCKET s = Native(h);
    if (::connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0)
        return 0;
    const int started = WSAGetLastError();
    if (started != WSAEWOULDBLOCK)
        return started;
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    const auto ms = Milliseconds(timeout);
    timeval wait{ms / 1000, (ms % 1000) * 1000};
    const int n = ::select(0, nullptr, &writable, &failed, &wait);
    if (n == 0)
        return WSAETIMEDOUT;
    if (n < 0)
        return WSAGetLastError();
    int error = 0;
    int size = sizeof error;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
        return WSAGetLastError();
    // A failed connect shows in the exception set; the error is then in SO_ERROR.
    if (error == 0 && FD_ISSET(s, &failed))
        error = WSAECONNREFUSED;
    return error;
}

// Requests go out whole in one send: waiting for more to fill a segment only delays. The socket
// stays non-blocking: each wait takes the idle time-out itself.
int Socket::settle(Handle h, std::chrono::milliseconds) {
    const BOOL on = TRUE;
    if (::setsockopt(Native(h), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                     sizeof on) != 0)
        return WSAGetLastError();
    return 0;
}

void Socket::close_handle(Handle h) noexcept {
    ::closesocket(Native(h));
}

std::string Socket::system_text(int error) {
    if (error == 0)
        return {};
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = length != 0 && text != nullptr ? std::string(text, length)
                                                        : "error " + std::to_string(error);
    LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == ' ' || result.back() == '.'))
        result.pop_back();
    return result;
}

bool Socket::is_stale() const {
    if (fd_ == kNoHandle)
        return true;
    WSAPOLLFD p{Native(fd_), POLLRDNORM, 0};
    return WSAPoll(&p, 1, 0) != 0;
}

void Socket::send_all(const char* data, std::size_t length) {
    while (length != 0) {
        const int chunk = length > 0x40000000 ? 0x40000000 : static_cast<int>(length);
        const int n = ::send(Native(fd_), data, chunk, 0);
        if (n > 0) {
            data += n;
            length -= static_cast<std::size_t>(n);
            continue;
        }
        int error = n < 0 ? WSAGetLastError() : 0;
        if (error == WSAEWOULDBLOCK) {
            const int ready = Wait(Native(fd_), POLLWRNORM, idle_, error);
            if (ready == 0)
                fail(Kind::timeout, 0, "the server took no bytes in time");
            if (ready > 0)
                continue; // an error or hang-up shows in the next send
        }
        if (error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN)
            fail(Kind::closed, error, "the server closed the connection");
        fail(Kind::send, error, "sending the request failed");
    }
}

std::size_t Socket::receive(char* data, std::size_t length) {
    const int most = length > 0x40000000 ? 0x40000000 : static_cast<int>(length);
    for (;;) {
        const int n = ::recv(Native(fd_), data, most, 0);
        if (n > 0)
            return static_cast<std::size_t>(n);
        if (n == 0)
            fail(Kind::closed, 0, "the server closed the connection before the response was whole");
        int error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) {
            const int ready = Wait(Native(fd_), POLLRDNORM, idle_, error);
            if (ready == 0)
                fail(Kind::timeout, 0, "the server sent nothing in time");
            if (ready > 0)
                continue; // bytes, the end, or an error: the next recv tells which
        }
        if (error == WSAECONNRESET || error == WSAECONNABORTED)
            fail(Kind::closed, error, "the server closed the connection");
        fail(Kind::receive, error, "receiving the response failed");
    }
}

std::size_t Socket::send_some(const char* data, std::size_t length) {
    const int chunk = length > 0x40000000 ? 0x40000000 : static_cast<int>(length);
    const int n = ::send(Native(fd_), data, chunk, 0);
    if (n >= 0)
        return static_cast<std::size_t>(n);
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK)
        return 0;
    if (error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN)
        fail(Kind::closed, error, "the server closed the connection");
    fail(Kind::send, error, "sending the request failed");
}

bool Socket::await(bool sending) {
    int error = 0;
    WSAPOLLFD p{Native(fd_), static_cast<SHORT>(POLLRDNORM | (sending ? POLLWRNORM : 0)), 0};
    const int n = WSAPoll(&p, 1, Milliseconds(std::max(idle_, std::chrono::milliseconds(1))));
    if (n < 0)
        error = WSAGetLastError();
    if (n == 0)
        fail(Kind::timeout, 0,
             sending ? "the server took no bytes in time" : "the server sent nothing in time");
    if (n < 0)
        fail(Kind::receive, error, "waiting for the server failed");
    // A hang-up or error shows in the next receive, which then reports it.
    return (p.revents & (POLLRDNORM | POLLHUP | POLLERR)) != 0 || !sending;
}

} // namespace ltp::detail
