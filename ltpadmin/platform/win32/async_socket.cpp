// CAsyncSocket over WSAAsyncSelect: the system posts each socket's notifications to a hidden
// message-only window of the thread that created the socket, and that window's procedure hands
// them to the socket object.
//
// Reads go through a read-ahead buffer; small sends made by write-notification handlers are
// gathered and go to the system when the run of notifications ends; and read and write
// notifications that are due again as soon as their handler returns are delivered in runs. A
// response read and a request sent in pieces of 1024 bytes then cost a system call per few hundred
// kilobytes instead of a posted message and a system call per piece (under wine each costs a
// round trip to its server).
#include "ltpadmin/platform/async_socket.h"

#include "ltpadmin/platform/read_ahead.h"
#include "ltpadmin/platform/socket_system.h"

#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

namespace ltpadmin_platform {

struct SocketWatch {
    CAsyncSocket* owner;
    SOCKET handle;
    HWND window;                 // the creating thread's socket window
    UINT message;                // the message its notifications come as
    long events;                 // what was last selected, passed on to accepted sockets
    bool closeDelivered = false; // FD_CLOSE comes once, though the system may post it again
    // While a run of write notifications is delivered: the handler asked for another one.
    bool inWriteRun = false;
    bool writeAsked = false;
    ReadAhead input;
    std::string held;  // sent by handlers of a write run, not yet given to the system
    int sendError = 0; // a failure to send held bytes, reported by the next Send

    // Gives the held bytes to the system as far as it takes them; false while some are left.
    bool Flush() {
        size_t done = 0;
        while (done < held.size()) {
            const size_t rest = held.size() - done;
            const int n = send(handle, held.data() + done,
                               rest < 0x40000000u ? static_cast<int>(rest) : 0x40000000, 0);
            if (n == SOCKET_ERROR) {
                const int e = WSAGetLastError();
                if (e != WSAEWOULDBLOCK) {
                    sendError = e;
                    done = held.size(); // dropped: the connection has failed
                }
                break;
            }
            done += static_cast<size_t>(n);
        }
        held.erase(0, done);
        return held.empty();
    }
    size_t Buffered() const { return input.Buffered(); }
};

namespace {

// Sends up to this size may be held back, up to this many bytes in all.
constexpr size_t kHoldAtMost = 4 * 1024;
constexpr size_t kWriteBehind = 1024 * 1024;
// Notifications delivered in a row by one message, at most.
constexpr int kNotificationRun = 1024;

// The sockets of this thread by handle: a notification for a handle that is not here (its socket
// closed) is dropped.
// Made with the thread's first socket and freed with its last: a thread_local with a destructor
// is freed at thread exit by mingw's emulated TLS before its destructor runs.
using SocketMap = std::unordered_map<SOCKET, SocketWatch*>;
thread_local SocketMap* t_sockets = nullptr;
thread_local HWND t_window = nullptr;

// Each socket of a thread gets the next message of this range for its notifications. The system
// hands a closed socket's handle to the next socket, and a notification of the old one may still
// be on its way after closesocket (wine posts them from its server): the message tells the two
// apart.
constexpr UINT kFirstNotify = WM_APP;
constexpr UINT kNotifyCount = 0x4000; // up to the registered messages at 0xC000
thread_local UINT t_nextNotify = 0;

UINT NextNotifyMessage() {
    const UINT message = kFirstNotify + t_nextNotify;
    t_nextNotify = (t_nextNotify + 1) % kNotifyCount;
    return message;
}

constexpr char kWindowClass[] = "ltpadmin socket window";

LRESULT CALLBACK SocketWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&SocketWindowProc), &module);
    return module;
}

// The calling thread's socket window, made on first need; null when it cannot be made. The system
// destroys it when the thread ends.
HWND SocketWindow() {
    if (t_window)
        return t_window;
    static const ATOM s_class = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = SocketWindowProc;
        wc.hInstance = ThisModule();
        wc.lpszClassName = kWindowClass;
        return RegisterClassA(&wc);
    }();
    if (!s_class)
        return nullptr;
    t_window = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               ThisModule(), nullptr);
    return t_window;
}

// The open socket that a notification came for; null when that socket has been closed.
SocketWatch* WatchOf(SOCKET s, UINT message) {
    if (!t_sockets)
        return nullptr;
    auto found = t_sockets->find(s);
    return found != t_sockets->end() && found->second->message == message ? found->second : nullptr;
}

// Puts a new socket under the thread's window with a message of its own.
SocketWatch* Register(CAsyncSocket* owner, SOCKET s, HWND window) {
    auto* watch = new SocketWatch;
    watch->owner = owner;
    watch->handle = s;
    watch->window = window;
    watch->message = NextNotifyMessage();
    watch->events = 0;
    if (!t_sockets)
        t_sockets = new SocketMap;
    (*t_sockets)[s] = watch;
    return watch;
}

// Bytes that have arrived and wait to be received, read ahead or not.
size_t Waiting(const SocketWatch& w) {
    u_long n = 0;
    return w.Buffered() + (ioctlsocket(w.handle, FIONREAD, &n) == 0 ? n : 0);
}

// FD_READ again and again while the handler takes bytes and some are left; the system notifies
// anew for what it holds once the buffer is empty.
void DeliverReads(SOCKET s, UINT message, int error) {
    for (int run = 0; run < kNotificationRun; ++run) {
        SocketWatch* w = WatchOf(s, message);
        // A notification the read-ahead has overtaken (its bytes were read already) is dropped:
        // FD_READ comes only while bytes wait.
        if (!w || (!error && Waiting(*w) == 0))
            return;
        const size_t before = w->input.Taken();
        w->owner->OnReceive(error);
        if (error || (w = WatchOf(s, message)) == nullptr || w->Buffered() == 0 ||
            w->input.Taken() == before)
            return;
    }
    PostMessageA(t_window, message, s, WSAMAKESELECTREPLY(FD_READ, 0)); // the rest later
}

// FD_WRITE again while the handler asks for it, without a round through the system each time;
// a send that would block ends the run (the system notifies once the socket can take data).
void DeliverWrites(SOCKET s, UINT message, int error) {
    SocketWatch* w = WatchOf(s, message);
    // Held bytes first: while the system takes none of them, the handler has nothing to do.
    if (!w || (!error && !w->Flush() && !w->sendError))
        return;
    bool again = false;
    for (int run = 0; run < kNotificationRun; ++run) {
        w->inWriteRun = true;
        w->writeAsked = false;
        w->owner->OnSend(error);
        if ((w = WatchOf(s, message)) == nullptr)
            return;
        w->inWriteRun = false;
        again = w->writeAsked && !error;
        if (!again)
            break;
    }
    // What the handlers sent leaves before the dispatch returns; the system notifies once it can
    // take the rest.
    if (w->Flush() && again) // asked once more after the longest run: after what waits already
        WSAAsyncSelect(s, w->window, w->message, w->events & ~FD_OOB);
}

LRESULT CALLBACK SocketWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message < kFirstNotify || message >= kFirstNotify + kNotifyCount)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    const SOCKET s = static_cast<SOCKET>(wParam);
    SocketWatch* w = WatchOf(s, message);
    if (!w)
        return 0; // for a socket closed since
    const int error = WSAGETSELECTERROR(lParam);
    switch (WSAGETSELECTEVENT(lParam)) {
        case FD_READ:
            DeliverReads(s, message, error);
            break;
        case FD_WRITE:
            DeliverWrites(s, message, error);
            break;
        case FD_OOB:
            break; // out-of-band data is not watched, as on every platform of the library
        case FD_ACCEPT:
            w->owner->OnAccept(error);
            break;
        case FD_CONNECT:
            w->owner->OnConnect(error);
            break;
        case FD_CLOSE: {
            // Wine posts it a second time when the peer closed right after accepting, and every
            // WSAAsyncSelect after the close may post it again.
            if (w->closeDelivered)
                break;
            w->closeDelivered = true;
            // The system may report the close while bytes that came before it still wait: they
            // are handed out first, for as long as the handler takes some.
            for (size_t waiting = error ? 0 : Waiting(*w); waiting > 0;) {
                w->owner->OnReceive(0);
                if ((w = WatchOf(s, message)) == nullptr)
                    return 0; // the handler closed or deleted the socket
                const size_t left = Waiting(*w);
                if (left >= waiting)
                    break;
                waiting = left;
            }
            w->owner->OnClose(error);
            break;
        }
    }
    return 0;
}

void NoDelay(SOCKET s) {
    BOOL on = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

} // namespace

int Fail(int error) {
    WSASetLastError(error);
    return SOCKET_ERROR;
}

SOCKET OpenTcpSocket(int& error) {
    AfxSocketInit(nullptr);
    if (!SocketWindow()) {
        error = WSAENOBUFS;
        return INVALID_SOCKET;
    }
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        error = WSAGetLastError();
        return INVALID_SOCKET;
    }
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    NoDelay(s);
    return s;
}

void CloseSocket(SOCKET s) {
    closesocket(s);
}

int BindSocket(SOCKET s, const sockaddr_in& local) {
    const auto* address = reinterpret_cast<const sockaddr*>(&local);
    return bind(s, address, sizeof local) == SOCKET_ERROR ? WSAGetLastError() : 0;
}

int SocketName(SOCKET s, sockaddr_in& local) {
    int length = sizeof local;
    const int r = getsockname(s, reinterpret_cast<sockaddr*>(&local), &length);
    return r == SOCKET_ERROR ? WSAGetLastError() : 0;
}

int ShutDownSocket(SOCKET s, int how) {
    return shutdown(s, how) == SOCKET_ERROR ? WSAGetLastError() : 0;
}

long ReceiveFromSocket(SOCKET s, void* into, size_t length, bool peek, int& error) {
    const int most = length < 0x7fffffffu ? static_cast<int>(length) : 0x7fffffff;
    const int n = recv(s, static_cast<char*>(into), most, peek ? MSG_PEEK : 0);
    if (n == SOCKET_ERROR)
        error = WSAGetLastError();
    return n;
}

void WatchSocket(CAsyncSocket& owner, std::unique_ptr<SocketWatch>& watch) {
    watch.reset(Register(&owner, owner.m_hSocket, SocketWindow()));
}

void FlushHeld(SocketWatch& watch) {
    watch.Flush();
}

} // namespace ltpadmin_platform

using namespace ltpadmin_platform;

BOOL AfxSocketInit(WSADATA* lpwsaData) {
    // Once for the process, on first use: WSAStartup must not run inside DllMain.
    static WSADATA s_data{};
    static const int s_result = WSAStartup(MAKEWORD(2, 2), &s_data);
    if (lpwsaData)
        *lpwsaData = s_data;
    return s_result == 0 ? TRUE : FALSE;
}

CAsyncSocket::CAsyncSocket() : m_hSocket(INVALID_SOCKET) {}

CAsyncSocket::~CAsyncSocket() {
    if (m_hSocket != INVALID_SOCKET)
        CAsyncSocket::Close();
}

BOOL CAsyncSocket::Connect(LPCSTR lpszHostAddress, UINT nHostPort) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK), FALSE;
    if (!lpszHostAddress)
        return Fail(WSAEINVAL), FALSE;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<u_short>(nHostPort));
    peer.sin_addr.s_addr = inet_addr(lpszHostAddress);
    if (peer.sin_addr.s_addr == INADDR_NONE) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(lpszHostAddress, nullptr, &hints, &found) != 0 || !found) {
            if (found)
                freeaddrinfo(found);
            return Fail(WSAHOST_NOT_FOUND), FALSE;
        }
        peer.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
        freeaddrinfo(found);
    }
    // Non-blocking: WSAEWOULDBLOCK while the attempt goes on, its outcome as FD_CONNECT.
    return connect(m_hSocket, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0 ? TRUE : FALSE;
}

BOOL CAsyncSocket::AsyncSelect(long lEvent) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK), FALSE;
    SocketWatch& w = *m_pWatch;
    if (w.inWriteRun && lEvent == w.events && (lEvent & FD_WRITE)) {
        w.writeAsked = true; // the run delivers it
        return TRUE;
    }
    // Out-of-band data is never watched; selecting FD_WRITE again asks for one write notification
    // when the socket can take data, as the system does on every WSAAsyncSelect.
    if (WSAAsyncSelect(m_hSocket, w.window, w.message, lEvent & ~FD_OOB) == SOCKET_ERROR)
        return FALSE;
    w.events = lEvent;
    return TRUE;
}

BOOL CAsyncSocket::Listen(int nConnectionBacklog) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK), FALSE;
    return listen(m_hSocket, nConnectionBacklog) == 0 ? TRUE : FALSE;
}

BOOL CAsyncSocket::Accept(CAsyncSocket& rConnectedSocket, sockaddr* lpSockAddr,
                          int* lpSockAddrLen) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK), FALSE;
    if (rConnectedSocket.m_hSocket != INVALID_SOCKET)
        return Fail(WSAEINVAL), FALSE;
    SOCKET s = accept(m_hSocket, lpSockAddrLen ? lpSockAddr : nullptr, lpSockAddrLen);
    if (s == INVALID_SOCKET)
        return FALSE;
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    NoDelay(s);
    rConnectedSocket.m_hSocket = s;
    rConnectedSocket.m_pWatch.reset(Register(&rConnectedSocket, s, m_pWatch->window));
    // The system gave it the listener's selection already; selecting again records it.
    return rConnectedSocket.AsyncSelect(m_pWatch->events);
}

int CAsyncSocket::Send(const void* lpBuf, int nBufLen, int nFlags) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK);
    if (nBufLen < 0 || (nBufLen > 0 && !lpBuf))
        return Fail(WSAEFAULT);
    SocketWatch& w = *m_pWatch;
    if (w.sendError) {
        const int error = w.sendError;
        w.sendError = 0;
        return Fail(error);
    }
    const size_t length = static_cast<size_t>(nBufLen);
    if (w.inWriteRun && nFlags == 0 && length <= kHoldAtMost &&
        w.held.size() + length <= kWriteBehind) {
        w.held.append(static_cast<const char*>(lpBuf), length);
        return nBufLen;
    }
    // Held bytes go first, to keep the order; the system notifies once it can take more.
    if (!w.Flush())
        return Fail(WSAEWOULDBLOCK);
    if (w.sendError)
        return Send(lpBuf, nBufLen, nFlags);
    return send(m_hSocket, static_cast<const char*>(lpBuf), nBufLen, nFlags);
}

int CAsyncSocket::Receive(void* lpBuf, int nBufLen, int nFlags) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK);
    if (nBufLen < 0 || (nBufLen > 0 && !lpBuf))
        return Fail(WSAEFAULT);
    SocketWatch& w = *m_pWatch;
    const size_t want = static_cast<size_t>(nBufLen);
    // Flags the read-ahead does not know of go to the system while nothing is read ahead.
    if ((nFlags & ~MSG_PEEK) != 0 && w.Buffered() == 0 && !w.input.Ended() && want > 0)
        return recv(m_hSocket, static_cast<char*>(lpBuf), nBufLen, nFlags);
    int error = 0;
    const int n = w.input.Receive(m_hSocket, lpBuf, want, (nFlags & MSG_PEEK) != 0, error);
    return n < 0 ? Fail(error) : n;
}

void CAsyncSocket::Close() {
    if (m_pWatch) {
        m_pWatch->Flush();                                 // as far as the system takes it now
        WSAAsyncSelect(m_hSocket, m_pWatch->window, 0, 0); // nothing more is posted
        if (t_sockets) {
            auto found = t_sockets->find(m_hSocket);
            if (found != t_sockets->end() && found->second == m_pWatch.get())
                t_sockets->erase(found);
            if (t_sockets->empty()) {
                delete t_sockets;
                t_sockets = nullptr;
            }
        }
        closesocket(m_hSocket);
        m_pWatch.reset();
    }
    m_hSocket = INVALID_SOCKET;
}
