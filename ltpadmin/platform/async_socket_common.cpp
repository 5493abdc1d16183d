// What CAsyncSocket is the same on every system; the rest is in async_socket.cpp (POSIX) and
// win32/async_socket.cpp (Windows Sockets).
#include "ltpadmin/platform/async_socket.h"

#include "ltpadmin/platform/socket_system.h"

using namespace ltpadmin_platform;

int CAsyncSocket::GetLastError() {
    return WSAGetLastError();
}

BOOL CAsyncSocket::Create(UINT nSocketPort, int nSocketType, long lEvent,
                          LPCSTR lpszSocketAddress) {
    if (m_hSocket != INVALID_SOCKET)
        return Fail(WSAEINVAL), FALSE;
    if (nSocketType != SOCK_STREAM) // only TCP is carried here
        return Fail(WSAEPROTOTYPE), FALSE;
    int error = 0;
    const SOCKET s = OpenTcpSocket(error);
    if (s == INVALID_SOCKET)
        return Fail(error), FALSE;
    if (nSocketPort || lpszSocketAddress) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(static_cast<unsigned short>(nSocketPort));
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        if (lpszSocketAddress &&
            (local.sin_addr.s_addr = inet_addr(lpszSocketAddress)) == INADDR_NONE)
            error = WSAEINVAL;
        else
            error = BindSocket(s, local);
        if (error) {
            CloseSocket(s);
            return Fail(error), FALSE;
        }
    }
    m_hSocket = s;
    WatchSocket(*this, m_pWatch);
    if (!AsyncSelect(lEvent)) {
        error = GetLastError();
        Close();
        return Fail(error), FALSE;
    }
    return TRUE;
}

BOOL CAsyncSocket::GetSockName(CString& rSocketAddress, UINT& rSocketPort) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK), FALSE;
    sockaddr_in local{};
    if (const int error = SocketName(m_hSocket, local))
        return Fail(error), FALSE;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
    rSocketAddress = text;
    rSocketPort = ntohs(local.sin_port);
    return TRUE;
}

BOOL CAsyncSocket::ShutDown(int nHow) {
    if (!m_pWatch)
        return Fail(WSAENOTSOCK), FALSE;
    if (nHow != receives)
        FlushHeld(*m_pWatch); // what was sent goes out before the end
    if (const int error = ShutDownSocket(m_hSocket, nHow))
        return Fail(error), FALSE;
    return TRUE;
}

void CAsyncSocket::OnReceive(int) {}
void CAsyncSocket::OnSend(int) {}
void CAsyncSocket::OnOutOfBandData(int) {}
void CAsyncSocket::OnAccept(int) {}
void CAsyncSocket::OnConnect(int) {}
void CAsyncSocket::OnClose(int) {}
