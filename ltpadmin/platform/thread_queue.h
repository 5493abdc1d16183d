// Inside the platform: what the message queue, the windows, the timers and the sockets share. Not
// part of the library's interface.
#pragma once

#include "ltpadmin/platform/win32_types.h"

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

struct pollfd;

namespace ltpadmin_platform {

using Clock = std::chrono::steady_clock;

struct SocketWatch;

// A message in a queue, with the tag of who posted it (tagged_message.h), which is not handed out
// as part of the MSG.
struct QueuedMessage : MSG {
    UINT_PTR sender;
};

struct ThreadTimer {
    HWND hwnd;
    UINT_PTR id;
    UINT period;
    TIMERPROC proc;
    Clock::time_point due;
};

// One thread's queue. `mutex` guards what other threads touch: the messages, the wake-up flags
// and the list of sockets. Timers and the look times belong to the owning thread alone.
struct ThreadQueue {
    explicit ThreadQueue(DWORD id);
    ~ThreadQueue();
    ThreadQueue(const ThreadQueue&) = delete;
    ThreadQueue& operator=(const ThreadQueue&) = delete;

    const DWORD threadId;
    int wakeFd; // eventfd that a poster from another thread writes when the owner sleeps

    std::mutex mutex;
    std::deque<QueuedMessage> messages;
    bool changed = false;       // posted to since the owner last looked
    bool sleeping = false;      // the owner is in (or about to enter) poll
    bool wakeSignalled = false; // wakeFd holds a count that has not been read yet
    std::vector<SocketWatch*> sockets;
    HWND socketWindow = nullptr; // hidden window the socket notifications go to

    std::vector<ThreadTimer> timers;
    Clock::time_point lastLook{};       // when the owner last looked at its queue
    Clock::time_point lastSocketPoll{}; // when PeekMessageA last polled the sockets
};

// The calling thread's queue, made on first use.
ThreadQueue& CurrentQueue();
std::shared_ptr<ThreadQueue> CurrentQueueShared();
// Appends a message stamped with the tick count and the cursor position, waking the owner.
void Post(ThreadQueue& q, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
          UINT_PTR sender = 0);
// The same with q.mutex already held.
void PostLocked(ThreadQueue& q, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                UINT_PTR sender = 0);

// Windows (window.cpp).
std::shared_ptr<ThreadQueue> WindowQueue(HWND hwnd);
void TopLevelWindows(std::vector<std::pair<HWND, std::shared_ptr<ThreadQueue>>>& out);
// The procedure of a window of the given thread; null when it is not one.
WNDPROC WindowProcOf(HWND hwnd, DWORD threadId);
// A hidden top-level window of the calling thread, made without sending it WM_CREATE.
HWND CreateHiddenWindow(WNDPROC proc);
// Forgets the windows of a thread that has ended, without sending them anything.
void ForgetThreadWindows(DWORD threadId);

// Timers (thread_timer.cpp), owning thread only.
bool TakeDueTimer(ThreadQueue& q, HWND filter, Clock::time_point now, bool remove, MSG* out);
// The earliest due time of a timer that was not yet due when the queue was last looked at.
bool NextUnseenTimer(const ThreadQueue& q, Clock::time_point* due);
bool TimerIsLive(const ThreadQueue& q, HWND hwnd, UINT_PTR id, TIMERPROC proc);
void KillWindowTimers(ThreadQueue& q, HWND hwnd);

// Sockets (async_socket.cpp), with q.mutex held.
// Posts the notifications that are known without asking the system.
void PostReadySockets(ThreadQueue& q);
// Hands the bytes the sockets hold back to the system (before the thread could sleep).
void FlushSockets(ThreadQueue& q);
// Adds the sockets whose next notification needs a poll; `who` gets the socket of each entry.
void AddSocketPolls(ThreadQueue& q, std::vector<pollfd>& fds, std::vector<SocketWatch*>& who);
// Takes a poll result of one socket and posts what it made ready.
void HandleSocketPoll(ThreadQueue& q, SocketWatch* s, short revents);

} // namespace ltpadmin_platform
