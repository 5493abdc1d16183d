// What CAsyncSocket is the same on every system; the rest is in async_socket.cpp (POSIX) and
// win32/async_socket.cpp (Windows Sockets).
#include "ltpadmin/platform/async_socket.h"

int CAsyncSocket::GetLastError() {
    return WSAGetLastError();
}

void CAsyncSocket::OnReceive(int) {}
void CAsyncSocket::OnSend(int) {}
void CAsyncSocket::OnOutOfBandData(int) {}
void CAsyncSocket::OnAccept(int) {}
void CAsyncSocket::OnConnect(int) {}
void CAsyncSocket::OnClose(int) {}
