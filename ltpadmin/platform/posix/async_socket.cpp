#include "ltpadmin/platform/async_socket.h"

#include "ltpadmin/platform/posix/socket_errors.h"
#include "ltpadmin/platform/posix/socket_watch.h"
#include "ltpadmin/platform/socket_system.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <netdb.h>
#include <netinet/tcp.h>
#include <unistd.h>

namespace ltpadmin_platform {

namespace {

thread_local int t_lastError = 0;

void NoDelay(int fd) {
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

} // namespace

int Fail(int error) {
    t_lastError = error;
    return SOCKET_ERROR;
}

SOCKET OpenTcpSocket(int& error) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = WsaError(errno);
        return INVALID_SOCKET;
    }
    NoDelay(fd);
    return static_cast<SOCKET>(fd);
}

void CloseSocket(SOCKET s) {
    close(static_cast<int>(s));
}

int BindSocket(SOCKET s, const sockaddr_in& local) {
    const auto* address = reinterpret_cast<const sockaddr*>(&local);
    return bind(static_cast<int>(s), address, sizeof local) < 0 ? WsaError(errno) : 0;
}

int SocketName(SOCKET s, sockaddr_in& local) {
    socklen_t length = sizeof local;
    const int r = getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&local), &length);
    return r < 0 ? WsaError(errno) : 0;
}

int ShutDownSocket(SOCKET s, int how) {
    return shutdown(static_cast<int>(s), how) < 0 ? WsaError(errno) : 0;
}

long ReceiveFromSocket(SOCKET s, void* into, size_t length, bool peek, int& error) {
    ssize_t n;
    do
        n = recv(static_cast<int>(s), into, length, peek ? MSG_PEEK : 0);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        error = WsaError(errno);
    return n;
}

void WatchSocket(CAsyncSocket& owner, std::unique_ptr<SocketWatch>& watch) {
    watch = Watch(&owner, static_cast<int>(owner.m_hSocket));
}

void FlushHeld(SocketWatch& watch) {
    watch.Flush();
}

} // namespace ltpadmin_platform

using namespace ltpadmin_platform;

CAsyncSocket::CAsyncSocket() : m_hSocket(INVALID_SOCKET) {}

CAsyncSocket::~CAsyncSocket() {
    if (m_hSocket != INVALID_SOCKET)
        CAsyncSocket::Close();
}

BOOL AfxSocketInit(WSADATA* lpwsaData) {
    if (lpwsaData) {
        std::memset(lpwsaData, 0, sizeof *lpwsaData);
        lpwsaData->wVersion = 0x0101;
        lpwsaData->wHighVersion = 0x0202;
        std::strcpy(lpwsaData->szDescription, "POSIX sockets");
        std::strcpy(lpwsaData->szSystemStatus, "Running");
        lpwsaData->iMaxSockets = 0x7FFF;
    }
    return TRUE;
}

int WSAGetLastError() {
    return t_lastError;
}

BOOL CAsyncSocket::Connect(LPCSTR lpszHostAddress, UINT nHostPort) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK), FALSE;
    SocketWatch& s = *m_pWatch;
    if (!lpszHostAddress)
        return Fail(WSAEINVAL), FALSE;
    if (s.state == SocketWatch::Connecting)
        return Fail(WSAEALREADY), FALSE;
    if (s.state != SocketWatch::Idle)
        return Fail(WSAEISCONN), FALSE;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(nHostPort));
    in_addr numeric;
    int error = 0;
    if (inet_aton(lpszHostAddress, &numeric)) {
        peer.sin_addr = numeric;
    } else {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(lpszHostAddress, nullptr, &hints, &found) == 0 && found) {
            peer.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
            freeaddrinfo(found);
        } else {
            if (found)
                freeaddrinfo(found);
            error = WSAHOST_NOT_FOUND;
        }
    }
    s.state = SocketWatch::Connecting;
    if (!error) {
        int r;
        do
            r = connect(s.fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
        while (r < 0 && errno == EINTR);
        if (r < 0 && errno == EINPROGRESS)
            return Fail(WSAEWOULDBLOCK), FALSE;
        if (r < 0)
            error = WsaError(errno);
    }
    // Settled at once: still reported through FD_CONNECT, like every other outcome.
    s.connectKnown = true;
    s.connectError = error;
    if (error)
        return Fail(error), FALSE;
    return TRUE;
}

BOOL CAsyncSocket::AsyncSelect(long lEvent) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK), FALSE;
    SocketWatch& s = *m_pWatch;
    s.events = lEvent;
    if (lEvent & FD_WRITE)
        s.writeEnabled = true;
    if (lEvent & FD_READ)
        s.readEnabled = true;
    if (lEvent & FD_ACCEPT)
        s.acceptEnabled = true;
    return TRUE;
}

BOOL CAsyncSocket::Listen(int nConnectionBacklog) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK), FALSE;
    if (m_pWatch->state != SocketWatch::Idle && m_pWatch->state != SocketWatch::Listening)
        return Fail(WSAEISCONN), FALSE;
    if (listen(m_pWatch->fd, nConnectionBacklog) < 0)
        return Fail(WsaError(errno)), FALSE;
    m_pWatch->state = SocketWatch::Listening;
    return TRUE;
}

BOOL CAsyncSocket::Accept(CAsyncSocket& rConnectedSocket, sockaddr* lpSockAddr,
                          int* lpSockAddrLen) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK), FALSE;
    if (m_pWatch->state != SocketWatch::Listening || rConnectedSocket.m_hSocket != INVALID_SOCKET)
        return Fail(WSAEINVAL), FALSE;
    m_pWatch->acceptEnabled = true;
    socklen_t len = lpSockAddrLen ? static_cast<socklen_t>(*lpSockAddrLen) : 0;
    int fd;
    do
        fd = accept4(m_pWatch->fd, lpSockAddrLen ? lpSockAddr : nullptr,
                     lpSockAddrLen ? &len : nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return Fail(WsaError(errno)), FALSE;
    if (lpSockAddrLen)
        *lpSockAddrLen = static_cast<int>(len);
    NoDelay(fd);
    rConnectedSocket.m_hSocket = static_cast<SOCKET>(fd);
    rConnectedSocket.m_pWatch = Watch(&rConnectedSocket, fd);
    SocketWatch& c = *rConnectedSocket.m_pWatch;
    c.state = SocketWatch::Connected;
    c.writeEnabled = true;
    return rConnectedSocket.AsyncSelect(m_pWatch->events);
}

int CAsyncSocket::Send(const void* lpBuf, int nBufLen, int nFlags) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK);
    SocketWatch& s = *m_pWatch;
    if (s.state != SocketWatch::Connected)
        return Fail(WSAENOTCONN);
    if (nBufLen < 0 || (nBufLen > 0 && !lpBuf))
        return Fail(WSAEFAULT);
    if (s.sendError) {
        const int error = s.sendError;
        s.sendError = 0;
        return Fail(error);
    }
    const size_t length = static_cast<size_t>(nBufLen);
    // A peer known to be gone gets the send at once, so that its failure shows here.
    const bool mayHold =
        DeliveringNotifications() && nFlags == 0 && length <= kHoldAtMost && !s.input.Ended();
    if (mayHold && !s.sendBlocked) {
        if (s.Hold(lpBuf, length))
            return nBufLen;
        if (s.sendError)
            return Send(lpBuf, nBufLen, nFlags);
    }
    // Held bytes go first, to keep the order.
    if (s.Held() > 0 && !s.Flush()) {
        if (s.sendError)
            return Send(lpBuf, nBufLen, nFlags);
        s.writeEnabled = true; // FD_WRITE once it can take data again
        return Fail(WSAEWOULDBLOCK);
    }
    ssize_t n;
    do
        n = send(s.fd, lpBuf, length, nFlags | MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            s.sendBlocked = true;
            s.writeEnabled = true; // FD_WRITE once it can take data again
        }
        return Fail(WsaError(errno));
    }
    if (n < nBufLen)
        s.sendBlocked = true; // full for now: a later FD_WRITE waits until it drains
    return static_cast<int>(n);
}

int CAsyncSocket::Receive(void* lpBuf, int nBufLen, int nFlags) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK);
    SocketWatch& s = *m_pWatch;
    if (s.state != SocketWatch::Connected)
        return Fail(WSAENOTCONN);
    if (nBufLen < 0 || (nBufLen > 0 && !lpBuf))
        return Fail(WSAEFAULT);
    s.readEnabled = true;
    if (s.Held() > 0 && !s.sendBlocked)
        s.Flush(); // a caller that reads without pumping its queue still gets its bytes out
    int error = 0;
    const int n = s.input.Receive(m_hSocket, lpBuf, static_cast<size_t>(nBufLen),
                                  (nFlags & MSG_PEEK) != 0, error);
    return n < 0 ? Fail(error) : n;
}

void CAsyncSocket::Close() {
    if (m_pWatch) {
        if (m_pWatch->state == SocketWatch::Connected)
            m_pWatch->Flush(); // as far as the system takes it now
        Unwatch(*m_pWatch);
        close(m_pWatch->fd);
        m_pWatch.reset();
    }
    m_hSocket = INVALID_SOCKET;
}
