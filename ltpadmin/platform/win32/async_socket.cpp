// CAsyncSocket over WSAAsyncSelect: the system posts each socket's notifications to a hidden
// message-only window of the thread that created the socket, and that window's procedure hands
// them to the socket object.
#include "ltpadmin/platform/async_socket.h"

#include <cstring>
#include <unordered_map>

namespace ltpadmin_platform {

struct SocketWatch {
    HWND window;  // the creating thread's socket window
    UINT message; // the message its notifications come as
    long events;  // what was last selected, passed on to accepted sockets
};

namespace {

// The sockets of this thread by handle: a notification for a handle that is not here (its socket
// closed) is dropped.
struct Registered {
    CAsyncSocket* socket;
    UINT message;
    bool closeDelivered; // FD_CLOSE comes once, though the system may post it again
};
thread_local std::unordered_map<SOCKET, Registered> t_sockets;
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

// The entry of the open socket that a notification came for; null when that socket has been
// closed.
Registered* EntryOf(SOCKET s, UINT message) {
    auto found = t_sockets.find(s);
    return found != t_sockets.end() && found->second.message == message ? &found->second : nullptr;
}

// Puts a new socket under the thread's window with a message of its own.
SocketWatch* Register(CAsyncSocket* socket, SOCKET s, HWND window) {
    const UINT message = NextNotifyMessage();
    t_sockets[s] = Registered{socket, message, false};
    return new SocketWatch{window, message, 0};
}

// Bytes that have arrived and wait to be received.
u_long Waiting(SOCKET s) {
    u_long n = 0;
    return ioctlsocket(s, FIONREAD, &n) == 0 ? n : 0;
}

LRESULT CALLBACK SocketWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message < kFirstNotify || message >= kFirstNotify + kNotifyCount)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    const SOCKET s = static_cast<SOCKET>(wParam);
    Registered* entry = EntryOf(s, message);
    if (!entry)
        return 0; // for a socket closed since
    CAsyncSocket* socket = entry->socket;
    const int error = WSAGETSELECTERROR(lParam);
    switch (WSAGETSELECTEVENT(lParam)) {
        case FD_READ:
            socket->OnReceive(error);
            break;
        case FD_WRITE:
            socket->OnSend(error);
            break;
        case FD_OOB:
            break; // out-of-band data is not watched, as on every platform of the library
        case FD_ACCEPT:
            socket->OnAccept(error);
            break;
        case FD_CONNECT:
            socket->OnConnect(error);
            break;
        case FD_CLOSE: {
            // Wine posts it a second time when the peer closed right after accepting, and every
            // WSAAsyncSelect after the close may post it again.
            if (entry->closeDelivered)
                break;
            entry->closeDelivered = true;
            // The system may report the close while bytes that came before it still wait: they
            // are handed out first, for as long as the handler takes some.
            for (u_long waiting = error ? 0 : Waiting(s); waiting > 0;) {
                socket->OnReceive(0);
                if (EntryOf(s, message) == nullptr)
                    return 0; // the handler closed or deleted the socket
                const u_long left = Waiting(s);
                if (left >= waiting)
                    break;
                waiting = left;
            }
            socket->OnClose(error);
            break;
        }
    }
    return 0;
}

int Fail(int error) {
    WSASetLastError(error);
    return SOCKET_ERROR;
}

void NoDelay(SOCKET s) {
    BOOL on = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

} // namespace

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

int CAsyncSocket::GetLastError() {
    return WSAGetLastError();
}

BOOL CAsyncSocket::Create(UINT nSocketPort, int nSocketType, long lEvent,
                          LPCSTR lpszSocketAddress) {
    if (m_hSocket != INVALID_SOCKET)
        return Fail(WSAEINVAL), FALSE;
    if (nSocketType != SOCK_STREAM) // only TCP is carried here
        return Fail(WSAEPROTOTYPE), FALSE;
    AfxSocketInit(nullptr);
    const HWND window = SocketWindow();
    if (!window)
        return Fail(WSAENOBUFS), FALSE;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return FALSE;
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    NoDelay(s);
    if (nSocketPort || lpszSocketAddress) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(static_cast<u_short>(nSocketPort));
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        if (lpszSocketAddress &&
            (local.sin_addr.s_addr = inet_addr(lpszSocketAddress)) == INADDR_NONE) {
            closesocket(s);
            return Fail(WSAEINVAL), FALSE;
        }
        if (bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
            const int e = WSAGetLastError();
            closesocket(s);
            return Fail(e), FALSE;
        }
    }
    m_hSocket = s;
    m_pWatch.reset(Register(this, s, window));
    if (!AsyncSelect(lEvent)) {
        const int e = WSAGetLastError();
        Close();
        return Fail(e), FALSE;
    }
    return TRUE;
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
    // Out-of-band data is never watched; selecting FD_WRITE again asks for one write notification
    // when the socket can take data, as the system does on every WSAAsyncSelect.
    if (WSAAsyncSelect(m_hSocket, m_pWatch->window, m_pWatch->message, lEvent & ~FD_OOB) ==
        SOCKET_ERROR)
        return FALSE;
    m_pWatch->events = lEvent;
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

BOOL CAsyncSocket::GetSockName(CString& rSocketAddress, UINT& rSocketPort) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK), FALSE;
    sockaddr_in local{};
    int len = sizeof local;
    if (getsockname(m_hSocket, reinterpret_cast<sockaddr*>(&local), &len) == SOCKET_ERROR)
        return FALSE;
    rSocketAddress = inet_ntoa(local.sin_addr);
    rSocketPort = ntohs(local.sin_port);
    return TRUE;
}

BOOL CAsyncSocket::ShutDown(int nHow) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK), FALSE;
    return shutdown(m_hSocket, nHow) == 0 ? TRUE : FALSE;
}

int CAsyncSocket::Send(const void* lpBuf, int nBufLen, int nFlags) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK);
    if (nBufLen < 0 || (nBufLen > 0 && !lpBuf))
        return Fail(WSAEFAULT);
    return send(m_hSocket, static_cast<const char*>(lpBuf), nBufLen, nFlags);
}

int CAsyncSocket::Receive(void* lpBuf, int nBufLen, int nFlags) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK);
    if (nBufLen < 0 || (nBufLen > 0 && !lpBuf))
        return Fail(WSAEFAULT);
    return recv(m_hSocket, static_cast<char*>(lpBuf), nBufLen, nFlags);
}

void CAsyncSocket::Close() {
    if (m_pWatch) {
        WSAAsyncSelect(m_hSocket, m_pWatch->window, 0, 0); // nothing more is posted
        auto found = t_sockets.find(m_hSocket);
        if (found != t_sockets.end() && found->second.socket == this)
            t_sockets.erase(found);
        closesocket(m_hSocket);
        m_pWatch.reset();
    }
    m_hSocket = INVALID_SOCKET;
}

void CAsyncSocket::OnReceive(int) {}
void CAsyncSocket::OnSend(int) {}
void CAsyncSocket::OnOutOfBandData(int) {}
void CAsyncSocket::OnAccept(int) {}
void CAsyncSocket::OnConnect(int) {}
void CAsyncSocket::OnClose(int) {}
