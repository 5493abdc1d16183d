// The system's sockets as the tests' own helpers use them (the scripted peer, refused ports), the
// same on POSIX and on Windows Sockets.
#pragma once

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace ltptest {

#if defined(_WIN32)
using NativeSocket = SOCKET;
using PollEntry = WSAPOLLFD;
constexpr NativeSocket kNoSocket = INVALID_SOCKET;
constexpr int kSendFlags = 0;
#else
using NativeSocket = int;
using PollEntry = pollfd;
constexpr NativeSocket kNoSocket = -1;
constexpr int kSendFlags = MSG_NOSIGNAL; // a closed peer gives an error, not SIGPIPE
#endif

// Starts the socket layer where the system needs that (Windows Sockets); once per process.
void StartSockets();
void CloseSocket(NativeSocket s);
// poll() over the entries; -1 on failure, retried when a signal interrupted it.
int Poll(PollEntry* entries, unsigned count, int timeoutMs);
// A TCP socket bound to 127.0.0.1 and the given port (0: the system chooses); kNoSocket on
// failure. The port taken is stored in *port.
NativeSocket BoundLoopbackSocket(unsigned short* port);
// A connected pair of sockets, to wake a thread that polls the first by writing to the second.
bool WakePair(NativeSocket pair[2]);
// Sets TCP_NODELAY, or an abortive close (RST) for the next close.
void NoDelay(NativeSocket s);
void AbortOnClose(NativeSocket s);
// The last socket error as text.
const char* LastSocketError();

// A loopback port on which nothing listens: bound, never listening, held until it is destroyed.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    unsigned short Port() const { return m_port; }

private:
    NativeSocket m_socket = kNoSocket;
    unsigned short m_port = 0;
};

} // namespace ltptest
