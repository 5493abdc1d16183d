#include "ltpadmin/platform/posix/socket_watch.h"

#include "ltpadmin/platform/posix/socket_errors.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <poll.h>
#include <sys/socket.h>

namespace ltpadmin_platform {

namespace {

thread_local std::uint64_t t_lastSerial = 0;

} // namespace

SocketWatch::SocketWatch(CAsyncSocket* o, std::shared_ptr<ThreadQueue> q, int f)
    : owner(o), queue(std::move(q)), fd(f), serial(++t_lastSerial) {}

bool SocketWatch::Flush() {
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

bool SocketWatch::Hold(const void* bytes, size_t length) {
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

bool SocketWatch::Put(const void* bytes, size_t length) {
    std::memcpy(output.get() + outEnd, bytes, length);
    outEnd += length;
    return true;
}

void SocketWatch::Notify(ThreadQueue& q, int event, int error) {
    PostLocked(q, q.socketWindow, WM_SOCKET_NOTIFY, static_cast<WPARAM>(fd),
               MAKELONG(event, error));
}

void SocketWatch::FinishConnect(ThreadQueue& q, int error) {
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

void SocketWatch::PostReady(ThreadQueue& q) {
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

short SocketWatch::WantedPoll() const {
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

void SocketWatch::Polled(ThreadQueue& q, short revents) {
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

bool SocketWatch::TakeAgain(int event) {
    if (state != Connected)
        return false;
    if (event == FD_WRITE && (events & FD_WRITE) && writeEnabled && !sendBlocked) {
        writeEnabled = false;
        return true;
    }
    if (event == FD_READ && (events & FD_READ) && readEnabled && !readPosted && Buffered() > 0) {
        readEnabled = false;
        return true;
    }
    return false;
}

void SocketWatch::Deliver(int event, int error) {
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

} // namespace ltpadmin_platform
