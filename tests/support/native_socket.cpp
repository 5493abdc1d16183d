#include "support/native_socket.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ltptest {

void StartSockets() {
#if defined(_WIN32)
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
#endif
}

void CloseSocket(NativeSocket s) {
    if (s == kNoSocket)
        return;
#if defined(_WIN32)
    closesocket(s);
#else
    close(s);
#endif
}

int Poll(PollEntry* entries, unsigned count, int timeoutMs) {
    for (;;) {
#if defined(_WIN32)
        const int ready = WSAPoll(entries, count, timeoutMs);
#else
        const int ready = poll(entries, count, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
#endif
        return ready;
    }
}

NativeSocket BoundLoopbackSocket(unsigned short* port) {
    StartSockets();
    NativeSocket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == kNoSocket)
        return kNoSocket;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(*port);
    socklen_t length = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        CloseSocket(s);
        return kNoSocket;
    }
    *port = ntohs(address.sin_port);
    return s;
}

bool WakePair(NativeSocket pair[2]) {
#if defined(_WIN32)
    // No socketpair on Windows: a loopback connection made through a listener of its own.
    unsigned short port = 0;
    NativeSocket listener = BoundLoopbackSocket(&port);
    pair[0] = pair[1] = kNoSocket;
    if (listener == kNoSocket || listen(listener, 1) != 0) {
        CloseSocket(listener);
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    pair[1] = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (pair[1] != kNoSocket &&
        connect(pair[1], reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        pair[0] = accept(listener, nullptr, nullptr);
    CloseSocket(listener);
    if (pair[0] == kNoSocket) {
        CloseSocket(pair[1]);
        pair[1] = kNoSocket;
        return false;
    }
    return true;
#else
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return false;
    pair[0] = fds[0];
    pair[1] = fds[1];
    return true;
#endif
}

void NoDelay(NativeSocket s) {
    int one = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
}

void AbortOnClose(NativeSocket s) {
    linger abort = {1, 0};
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
}

const char* LastSocketError() {
#if defined(_WIN32)
    static thread_local char text[32];
    std::snprintf(text, sizeof text, "error %d", WSAGetLastError());
    return text;
#else
    return std::strerror(errno);
#endif
}

RefusingPort::RefusingPort() {
    m_socket = BoundLoopbackSocket(&m_port);
}

RefusingPort::~RefusingPort() {
    CloseSocket(m_socket);
}

} // namespace ltptest
