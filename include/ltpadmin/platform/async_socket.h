// CAsyncSocket: a non-blocking TCP socket whose readiness arrives as notifications (OnConnect,
// OnSend, OnReceive, OnClose, ...) on the thread that created it, when that thread dispatches its
// messages. The notifications are messages to a hidden top-level window of the thread, so they run
// inside any message loop of that thread, and PeekMessageA and WaitMessage watch the sockets.
//
// What callers may rely on:
// - after Connect: FD_CONNECT (with the error when the attempt failed), then FD_WRITE;
// - one FD_WRITE each time FD_WRITE is selected while the socket can take data, and one after a
//   Send that would block, once the socket can take data again;
// - FD_READ only while received data is waiting; after one, the next comes after Receive;
// - FD_CLOSE once, after every byte that came before it has been received.
// Reads go through a read-ahead buffer of the socket's own. Small sends (up to 4 KiB) may be held
// back and gathered: they go to the system, in order, when the buffer fills, before any larger
// send, when the thread next finds its queue empty or goes to sleep, and on Receive, ShutDown and
// Close. A failure to send held bytes is reported by the next Send (and the peer's reset, by the
// read side). Read and write notifications that are due again as soon as their handler returns
// are delivered in runs while nothing else waits in the queue.
// Out-of-band data is not watched: OnOutOfBandData is never called. Only TCP over IPv4 is carried.
// A socket is used on the thread that created it.
#pragma once

#include "ltpadmin/export.h"

#include "ltpadmin/platform/win32_types.h"
#include "ltpadmin/platform/cstring.h"

#include <memory>

// The message that carries a notification: wParam the socket, lParam MAKELONG(event, error).
#define WM_SOCKET_NOTIFY 0x0373

#if !defined(_WIN32) // Windows Sockets has its own of what follows, up to AfxSocketInit.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#define WSAGETSELECTEVENT(lParam) LOWORD(lParam)
#define WSAGETSELECTERROR(lParam) HIWORD(lParam)

// Error codes of the socket layer, as CAsyncSocket::GetLastError and the notifications give them.
#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAEINPROGRESS 10036
#define WSAEALREADY 10037
#define WSAENOTSOCK 10038
#define WSAEMSGSIZE 10040
#define WSAEPROTOTYPE 10041
#define WSAEOPNOTSUPP 10045
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOBUFS 10055
#define WSAEISCONN 10056
#define WSAENOTCONN 10057
#define WSAESHUTDOWN 10058
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAEHOSTUNREACH 10065
#define WSAHOST_NOT_FOUND 11001

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};
typedef WSADATA* LPWSADATA;

// The calling thread's last socket error (the same value as CAsyncSocket::GetLastError).
LTPADMIN_API int WSAGetLastError();
#endif

// Readies the socket layer; TRUE when it is ready, and may be called any number of times. Signal
// handling is left alone: sends use MSG_NOSIGNAL, so a closed peer gives an error instead of
// SIGPIPE. On Windows it starts Windows Sockets 2.2 once for the process (never from DllMain:
// the library calls it before its first log-in).
LTPADMIN_API BOOL AfxSocketInit(WSADATA* lpwsaData = NULL);

namespace ltpadmin_platform {
struct SocketWatch;
}

class LTPADMIN_API CAsyncSocket {
public:
    CAsyncSocket();
    CAsyncSocket(const CAsyncSocket&) = delete;
    CAsyncSocket& operator=(const CAsyncSocket&) = delete;
    virtual ~CAsyncSocket();

    SOCKET m_hSocket;

    // Makes the socket (bound to the port and address when given), non-blocking, with TCP_NODELAY,
    // and selects the notifications in lEvent. FALSE on failure (see GetLastError).
    BOOL Create(UINT nSocketPort = 0, int nSocketType = SOCK_STREAM,
                long lEvent = FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE,
                LPCSTR lpszSocketAddress = NULL);
    // Starts connecting to a dotted address or a host name. The outcome always arrives as
    // FD_CONNECT; the result is FALSE with WSAEWOULDBLOCK while the attempt goes on, FALSE with
    // another error when it failed at once (a name that does not resolve: WSAHOST_NOT_FOUND).
    BOOL Connect(LPCSTR lpszHostAddress, UINT nHostPort);
    // Chooses the notifications wanted; selecting FD_WRITE asks for one write notification.
    BOOL AsyncSelect(long lEvent = FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE);
    BOOL Listen(int nConnectionBacklog = 5);
    // Takes a waiting connection into rConnectedSocket (which must hold no socket); it gets the
    // notifications selected on this socket.
    virtual BOOL Accept(CAsyncSocket& rConnectedSocket, sockaddr* lpSockAddr = NULL,
                        int* lpSockAddrLen = NULL);
    // The dotted address and the port of the own end, e.g. of a listener bound to port 0.
    BOOL GetSockName(CString& rSocketAddress, UINT& rSocketPort);
    enum { receives = 0, sends = 1, both = 2 };
    BOOL ShutDown(int nHow = sends);

    // The number of bytes taken, or SOCKET_ERROR (WSAEWOULDBLOCK when nothing could be taken now).
    virtual int Send(const void* lpBuf, int nBufLen, int nFlags = 0);
    // At most nBufLen bytes of what has arrived; 0 once the peer has closed and everything has been
    // received; SOCKET_ERROR with WSAEWOULDBLOCK when nothing is waiting. MSG_PEEK is understood.
    virtual int Receive(void* lpBuf, int nBufLen, int nFlags = 0);
    // Closes the socket; notifications not yet dispatched are dropped.
    virtual void Close();

    static int GetLastError();

    virtual void OnReceive(int nErrorCode);
    virtual void OnSend(int nErrorCode);
    virtual void OnOutOfBandData(int nErrorCode);
    virtual void OnAccept(int nErrorCode);
    virtual void OnConnect(int nErrorCode);
    virtual void OnClose(int nErrorCode);

private:
    friend struct ltpadmin_platform::SocketWatch;
    std::unique_ptr<ltpadmin_platform::SocketWatch> m_pWatch;
};
