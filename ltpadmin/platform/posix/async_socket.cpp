#include "ltpadmin/platform/async_socket.h"

#include "ltpadmin/platform/read_ahead.h"
#include "ltpadmin/platform/socket_system.h"
#include "ltpadmin/platform/thread_queue.h"
#include "ltpadmin/platform/window.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <netdb.h>
#include <new>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

namespace ltpadmin_platform {

namespace {

thread_local int t_lastError = 0;
thread_local std::uint64_t t_lastSerial = 0;
// Set while the thread delivers socket notifications: only sends made by notification handlers
// are held back, and they go out before the dispatch returns.
thread_local int t_notificationDepth = 0;

// Write-behind: small sends made by notification handlers are gathered and go to the system
// together, when the buffer is full or at the latest when the dispatch that ran the handlers
// ends, so that a request sent in 1024-byte pieces costs a few system calls instead of one per
// piece. A send made anywhere else goes to the system at once, as with a plain socket.
constexpr size_t kWriteBehindFirst = 16 * 1024;
// The buffer grows while sends keep coming, up to this: a long request goes out in few large sends
// (a 1 MiB one in one), which costs the system less per byte than many medium ones. A socket keeps
// its buffer, so this much memory stays with a socket once it has sent a long request.
constexpr size_t kWriteBehind = 1024 * 1024;
// Sends up to this size may be held back; larger ones go to the system at once.
constexpr size_t kHoldAtMost = 4 * 1024;
// Read or write notifications delivered in a row by one dispatch, at most: a 1 MiB request in one
// run. Held sends go out when the run ends, so a short run cuts a long request into small sends.
constexpr int kNotificationRun = 1024;

int WsaError(int e) {
    switch (e) {
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
            return WSAEWOULDBLOCK;
        case EINPROGRESS:
            return WSAEINPROGRESS;
        case EALREADY:
            return WSAEALREADY;
        case EINTR:
            return WSAEINTR;
        case EBADF:
        case ENOTSOCK:
            return WSAENOTSOCK;
        case EACCES:
        case EPERM:
            return WSAEACCES;
        case EFAULT:
            return WSAEFAULT;
        case EMFILE:
        case ENFILE:
            return WSAEMFILE;
        case ENOBUFS:
        case ENOMEM:
            return WSAENOBUFS;
        case EMSGSIZE:
            return WSAEMSGSIZE;
        case EPROTOTYPE:
        case EPROTONOSUPPORT:
        case ESOCKTNOSUPPORT:
            return WSAEPROTOTYPE;
        case EOPNOTSUPP:
            return WSAEOPNOTSUPP;
        case EAFNOSUPPORT:
            return WSAEAFNOSUPPORT;
        case EADDRINUSE:
            return WSAEADDRINUSE;
        case EADDRNOTAVAIL:
            return WSAEADDRNOTAVAIL;
        case ENETDOWN:
            return WSAENETDOWN;
        case ENETUNREACH:
            return WSAENETUNREACH;
        case ECONNABORTED:
            return WSAECONNABORTED;
        case ECONNRESET:
        case EPIPE:
            return WSAECONNRESET;
        case EISCONN:
            return WSAEISCONN;
        case ENOTCONN:
            return WSAENOTCONN;
        case ESHUTDOWN:
            return WSAESHUTDOWN;
        case ETIMEDOUT:
            return WSAETIMEDOUT;
        case ECONNREFUSED:
            return WSAECONNREFUSED;
        case EHOSTUNREACH:
        case EHOSTDOWN:
            return WSAEHOSTUNREACH;
        default:
            return WSAEINVAL;
    }
}

LRESULT CALLBACK SocketWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace

// The notification state of one socket. Only the thread that created the socket touches it; the
// queue's mutex is held while the queue looks at it.
struct SocketWatch {
    enum State { Idle, Connecting, Connected, Failed, Listening };

    SocketWatch(CAsyncSocket* o, std::shared_ptr<ThreadQueue> q, int f)
        : owner(o), queue(std::move(q)), fd(f), serial(++t_lastSerial) {}

    CAsyncSocket* owner;
    std::shared_ptr<ThreadQueue> queue;
    int fd;
    const std::uint64_t serial; // tells this socket from a later one that gets the same descriptor
    long events = 0;            // the notifications selected
    State state = Idle;

    bool connectKnown = false; // the outcome of a connection attempt waits to be reported
    int connectError = 0;

    bool readEnabled = true;   // FD_READ may be posted (re-armed by Receive)
    bool readPosted = false;   // an FD_READ is in the queue
    bool writeEnabled = false; // an FD_WRITE is wanted
    bool sendBlocked = false;  // the last send could not take everything: wait for POLLOUT
    bool acceptEnabled = true;
    bool acceptPosted = false;
    bool closePosted = false;

    ReadAhead input;

    std::unique_ptr<char[]> output; // write-behind, outCapacity bytes once needed
    size_t outCapacity = 0;
    size_t outBegin = 0;
    size_t outEnd = 0;
    int sendError = 0; // held bytes could not be sent (WSA code): the next Send reports it

    size_t Buffered() const { return input.Buffered(); }
    size_t Held() const { return outEnd - outBegin; }

    // Hands the held bytes to the system. False while some are left: the system is full
    // (sendBlocked) or failed (sendError, the bytes dropped).
    bool Flush() {
        while (Held() > 0) {
            ssize_t n;
            do
                n = send(fd, output.get() + outBegin, Held(), MSG_NOSIGNAL);
            while (n < 0 && errno == EINTR);
            if (n > 0) {
                outBegin += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                sendBlocked = true;
                return false;
            }
            sendError = n < 0 ? WsaError(errno) : WSAECONNRESET;
            outBegin = outEnd = 0;
            return false;
        }
        outBegin = outEnd = 0;
        return true;
    }

    // Holds a small send back; false when it does not fit even after flushing. A full buffer
    // goes to the system at once, so that the peer can start on it, and the next one is larger,
    // up to kWriteBehind: a long request goes out early and then in few large sends.
    bool Hold(const void* bytes, size_t length) {
        if (outEnd + length <= outCapacity)
            return Put(bytes, length);
        if (Held() > 0 && !Flush()) {
            if (sendError || Held() + length > outCapacity)
                return false;
            std::memmove(output.get(), output.get() + outBegin, Held()); // the rest to the front
            outEnd -= outBegin;
            outBegin = 0;
            return Put(bytes, length);
        }
        // Empty now: the next buffer may be larger.
        if (outCapacity < kWriteBehind) {
            size_t capacity = outCapacity ? 2 * outCapacity : kWriteBehindFirst;
            if (capacity > kWriteBehind)
                capacity = kWriteBehind;
            // Without room for a larger buffer the old one serves on.
            std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity]);
            if (grown) {
                output = std::move(grown);
                outCapacity = capacity;
            }
        }
        if (length > outCapacity)
            return false;
        return Put(bytes, length);
    }

    bool Put(const void* bytes, size_t length) {
        std::memcpy(output.get() + outEnd, bytes, length);
        outEnd += length;
        return true;
    }

    void Notify(ThreadQueue& q, int event, int error) {
        PostLocked(q, q.socketWindow, WM_SOCKET_NOTIFY, static_cast<WPARAM>(fd),
                   MAKELONG(event, error));
    }

    void FinishConnect(ThreadQueue& q, int error) {
        connectKnown = false;
        if (error == 0) {
            state = Connected;
            writeEnabled = true; // a new connection can take data
            sendBlocked = false;
        } else {
            state = Failed;
        }
        if (events & FD_CONNECT)
            Notify(q, FD_CONNECT, error);
    }

    // Posts what is ready without asking the system.
    void PostReady(ThreadQueue& q) {
        if (state == Connecting && connectKnown)
            FinishConnect(q, connectError);
        if (state != Connected)
            return;
        if ((events & FD_WRITE) && writeEnabled && !sendBlocked) {
            writeEnabled = false;
            Notify(q, FD_WRITE, 0);
        }
        if ((events & FD_READ) && readEnabled && !readPosted && Buffered() > 0) {
            readEnabled = false;
            readPosted = true;
            Notify(q, FD_READ, 0);
        }
        if ((events & FD_CLOSE) && !closePosted && input.Ended() && Buffered() == 0) {
            closePosted = true;
            Notify(q, FD_CLOSE, input.Error());
        }
    }

    short WantedPoll() const {
        switch (state) {
            case Connecting:
                return connectKnown ? 0 : POLLOUT;
            case Listening:
                return (events & FD_ACCEPT) && acceptEnabled && !acceptPosted ? POLLIN : 0;
            case Connected: {
                short want = 0;
                bool readWanted = ((events & FD_READ) && readEnabled && !readPosted) ||
                                  ((events & FD_CLOSE) && !closePosted);
                if (readWanted && Buffered() == 0 && !input.Ended())
                    want |= POLLIN;
                if (sendBlocked && (((events & FD_WRITE) && writeEnabled) || Held() > 0))
                    want |= POLLOUT;
                return want;
            }
            default:
                return 0;
        }
    }

    void Polled(ThreadQueue& q, short revents) {
        const short trouble = POLLERR | POLLHUP;
        switch (state) {
            case Connecting:
                if (revents & (POLLOUT | trouble)) {
                    int error = 0;
                    socklen_t len = sizeof error;
                    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) < 0)
                        error = errno;
                    FinishConnect(q, error ? WsaError(error) : 0);
                    PostReady(q);
                }
                break;
            case Listening:
                if ((revents & (POLLIN | trouble)) && (events & FD_ACCEPT)) {
                    acceptEnabled = false;
                    acceptPosted = true;
                    Notify(q, FD_ACCEPT, 0);
                }
                break;
            case Connected:
                if ((revents & (POLLIN | trouble)) && Buffered() == 0 && !input.Ended())
                    input.Fill(static_cast<SOCKET>(fd));
                if (revents & (POLLOUT | trouble)) {
                    sendBlocked = false;
                    Flush(); // blocks again when the system still cannot take it all
                }
                PostReady(q);
                break;
            default:
                break;
        }
    }

    // Takes the next read or write notification for delivery right away, when it is due now:
    // as PostReady would post it, but without a trip through the queue.
    bool TakeAgain(int event) {
        if (state != Connected)
            return false;
        if (event == FD_WRITE && (events & FD_WRITE) && writeEnabled && !sendBlocked) {
            writeEnabled = false;
            return true;
        }
        if (event == FD_READ && (events & FD_READ) && readEnabled && !readPosted &&
            Buffered() > 0) {
            readEnabled = false;
            return true;
        }
        return false;
    }

    // Runs the notification on the owning thread, from its message dispatch.
    void Deliver(int event, int error) {
        CAsyncSocket* o = owner; // the callback may delete the socket, and this with it
        switch (event) {
            case FD_READ:
                readPosted = false;
                if (Buffered() == 0)
                    return; // taken by a Receive since: nothing waits, Receive re-armed FD_READ
                o->OnReceive(error);
                break;
            case FD_WRITE:
                o->OnSend(error);
                break;
            case FD_OOB:
                o->OnOutOfBandData(error);
                break;
            case FD_ACCEPT:
                acceptPosted = false;
                o->OnAccept(error);
                break;
            case FD_CONNECT:
                o->OnConnect(error);
                break;
            case FD_CLOSE:
                o->OnClose(error);
                break;
            default:
                break;
        }
    }
};

void PostReadySockets(ThreadQueue& q) {
    for (SocketWatch* s : q.sockets)
        s->PostReady(q);
}

void FlushSockets(ThreadQueue& q) {
    for (SocketWatch* s : q.sockets)
        if (s->Held() > 0 && !s->sendBlocked)
            s->Flush();
}

void AddSocketPolls(ThreadQueue& q, std::vector<pollfd>& fds, std::vector<SocketWatch*>& who) {
    for (SocketWatch* s : q.sockets) {
        short want = s->WantedPoll();
        if (want) {
            fds.push_back(pollfd{s->fd, want, 0});
            who.push_back(s);
        }
    }
}

void HandleSocketPoll(ThreadQueue& q, SocketWatch* s, short revents) {
    s->Polled(q, revents);
}

namespace {

// Delivers one notification. A read or write notification that is due again as soon as its handler
// returns (a request going out piece by piece, a response read piece by piece) is delivered again
// at once while nothing else waits in the queue, up to kNotificationRun in a row: the same
// notifications, in the same order, without a post, a look at the queue and a dispatch each.
LRESULT CALLBACK SocketWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_SOCKET_NOTIFY)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    ThreadQueue& q = CurrentQueue();
    const int event = WSAGETSELECTEVENT(lParam);
    int error = WSAGETSELECTERROR(lParam);
    std::uint64_t serial = 0;
    struct Delivering { // also when a handler throws
        ThreadQueue& q;
        explicit Delivering(ThreadQueue& queue) : q(queue) { ++t_notificationDepth; }
        ~Delivering() {
            if (--t_notificationDepth == 0) {
                // What the handlers sent leaves before the dispatch returns.
                std::lock_guard<std::mutex> lock(q.mutex);
                FlushSockets(q);
            }
        }
    } delivering(q);
    for (int run = 0; run < kNotificationRun; ++run) {
        SocketWatch* target = nullptr;
        {
            std::lock_guard<std::mutex> lock(q.mutex);
            for (SocketWatch* s : q.sockets)
                if (static_cast<WPARAM>(s->fd) == wParam && (run == 0 || s->serial == serial))
                    target = s;
            // The handler may have closed the socket, or something else may wait its turn.
            if (run > 0 && (!target || !q.messages.empty() || !target->TakeAgain(event)))
                break;
        }
        if (!target)
            break;
        serial = target->serial;
        target->Deliver(event, error); // may delete the socket
        if (event != FD_READ && event != FD_WRITE)
            break;
        error = 0;
    }
    return 0;
}

// Puts a new socket under the calling thread's watch, with its hidden window made on first need.
std::unique_ptr<SocketWatch> Watch(CAsyncSocket* owner, int fd) {
    std::shared_ptr<ThreadQueue> q = CurrentQueueShared();
    if (!q->socketWindow)
        q->socketWindow = CreateHiddenWindow(SocketWindowProc);
    auto watch = std::make_unique<SocketWatch>(owner, q, fd);
    std::lock_guard<std::mutex> lock(q->mutex);
    q->sockets.push_back(watch.get());
    return watch;
}

// Takes the socket off its thread's watch and drops its notifications not yet dispatched, so that
// none of them reaches a later socket that is given the same descriptor.
void Unwatch(SocketWatch& s) {
    ThreadQueue& q = *s.queue;
    std::lock_guard<std::mutex> lock(q.mutex);
    for (size_t i = 0; i < q.sockets.size(); ++i)
        if (q.sockets[i] == &s) {
            q.sockets.erase(q.sockets.begin() + static_cast<long>(i));
            break;
        }
    for (auto it = q.messages.begin(); it != q.messages.end();)
        if (it->message == WM_SOCKET_NOTIFY && it->hwnd == q.socketWindow &&
            it->wParam == static_cast<WPARAM>(s.fd))
            it = q.messages.erase(it);
        else
            ++it;
}

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
        t_notificationDepth > 0 && nFlags == 0 && length <= kHoldAtMost && !s.input.Ended();
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
