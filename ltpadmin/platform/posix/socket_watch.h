// What the POSIX stand-in knows of one socket between system calls: the notifications selected and
// due, the bytes read ahead and the sends held back (write-behind), and how the thread's poll and
// hidden window reach it.
#pragma once

#include "ltpadmin/platform/async_socket.h"
#include "ltpadmin/platform/read_ahead.h"
#include "ltpadmin/platform/thread_queue.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ltpadmin_platform {

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

// The notification state of one socket. Only the thread that created the socket touches it; the
// queue's mutex is held while the queue looks at it.
struct SocketWatch {
    enum State { Idle, Connecting, Connected, Failed, Listening };

    SocketWatch(CAsyncSocket* o, std::shared_ptr<ThreadQueue> q, int f);

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
    bool Flush();

    // Holds a small send back; false when it does not fit even after flushing. A full buffer
    // goes to the system at once, so that the peer can start on it, and the next one is larger,
    // up to kWriteBehind: a long request goes out early and then in few large sends.
    bool Hold(const void* bytes, size_t length);

    bool Put(const void* bytes, size_t length);
    void Notify(ThreadQueue& q, int event, int error);
    void FinishConnect(ThreadQueue& q, int error);

    // Posts what is ready without asking the system.
    void PostReady(ThreadQueue& q);

    short WantedPoll() const;

    void Polled(ThreadQueue& q, short revents);

    // Takes the next read or write notification for delivery right away, when it is due now:
    // as PostReady would post it, but without a trip through the queue.
    bool TakeAgain(int event);

    // Runs the notification on the owning thread, from its message dispatch.
    void Deliver(int event, int error);
};

// Puts a new socket under the calling thread's watch, with its hidden window made on first need.
std::unique_ptr<SocketWatch> Watch(CAsyncSocket* owner, int fd);
// Takes the socket off its thread's watch and drops its notifications not yet dispatched, so that
// none of them reaches a later socket that is given the same descriptor.
void Unwatch(SocketWatch& s);
// Whether the calling thread is delivering socket notifications: only sends made by notification
// handlers are held back, and they go out before the dispatch returns.
bool DeliveringNotifications();

} // namespace ltpadmin_platform
