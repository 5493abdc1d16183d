// The socket calls whose form differs between the systems, each system's socket file
// (async_socket.cpp, win32/async_socket.cpp) having its own, for the parts of CAsyncSocket that
// are the same everywhere (async_socket_common.cpp, read_ahead.cpp). Errors are the socket
// layer's codes (WSAE...).
#pragma once

#include "ltpadmin/platform/async_socket.h"

#include <cstddef>
#include <memory>

namespace ltpadmin_platform {

struct SocketWatch;

// Notes error as the calling thread's last socket error; SOCKET_ERROR.
int Fail(int error);
// A new non-blocking TCP socket that sends at once and is not inherited; INVALID_SOCKET with the
// error in error when none is made.
SOCKET OpenTcpSocket(int& error);
void CloseSocket(SOCKET s);
// 0 or the error.
int BindSocket(SOCKET s, const sockaddr_in& local);
int SocketName(SOCKET s, sockaddr_in& local);
int ShutDownSocket(SOCKET s, int how);
// One read: the number of bytes (> 0), 0 once the peer has closed, or -1 with the error in error
// (WSAEWOULDBLOCK while nothing waits).
long ReceiveFromSocket(SOCKET s, void* into, size_t length, bool peek, int& error);
// Puts the owner's new socket (m_hSocket) under the calling thread's watch, into watch.
void WatchSocket(CAsyncSocket& owner, std::unique_ptr<SocketWatch>& watch);
// Hands the bytes held back from sends to the system, as far as it takes them now.
void FlushHeld(SocketWatch& watch);

} // namespace ltpadmin_platform
