#include "ltpadmin/platform/message_queue.h"

#include "ltpadmin/platform/tagged_message.h"
#include "ltpadmin/platform/thread_queue.h"
#include "ltpadmin/platform/tick_count.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <unordered_map>

namespace ltpadmin_platform {

namespace {

// Every thread that has a queue, by id, for PostThreadMessageA.
struct ThreadRegistry {
    std::mutex mutex;
    std::unordered_map<DWORD, std::shared_ptr<ThreadQueue>> threads;
};

ThreadRegistry& Threads() {
    static ThreadRegistry* registry = new ThreadRegistry; // outlives every thread's exit
    return *registry;
}

std::atomic<DWORD> g_nextThreadId{1};
std::atomic<UINT_PTR> g_nextMessageTag{1};
std::atomic<std::uint64_t> g_cursor{0}; // x in the low half, y in the high half

// Owns the thread's queue; at thread exit the thread's windows go, and posting to it fails.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder() {
        if (!queue)
            return;
        {
            ThreadRegistry& r = Threads();
            std::lock_guard<std::mutex> lock(r.mutex);
            r.threads.erase(queue->threadId);
        }
        ForgetThreadWindows(queue->threadId);
        queue->timers.clear();
    }
};

thread_local QueueHolder t_queue;

// Without a wake-up descriptor (out of descriptors) a sleeping thread looks again this often.
constexpr int kFallbackWakeMs = 10;
// PeekMessageA asks the system about the sockets at least this often even while messages keep
// coming, so that socket notifications are not held back behind a busy queue.
constexpr auto kSocketPollInterval = std::chrono::milliseconds(10);
// With nothing in the queue, PeekMessageA asks the system again only when the sockets were last
// looked at (by it or by WaitMessage) longer ago than this. A wait loop's look right before
// WaitMessage, or right after a notification it just woke for, would find nothing new and costs
// a system call per pass; a caller that only ever peeks still sees its sockets within this gap.
constexpr auto kIdleSocketPollGap = std::chrono::microseconds(500);

bool Matches(const MSG& m, HWND filter, UINT lo, UINT hi) {
    if (filter == reinterpret_cast<HWND>(-1)) {
        if (m.hwnd)
            return false;
    } else if (filter && m.hwnd != filter) {
        return false;
    }
    return (lo == 0 && hi == 0) || (m.message >= lo && m.message <= hi);
}

long FindMatching(const ThreadQueue& q, HWND filter, UINT lo, UINT hi) {
    for (size_t i = 0; i < q.messages.size(); ++i)
        if (Matches(q.messages[i], filter, lo, hi))
            return static_cast<long>(i);
    return -1;
}

bool WantsTimer(UINT lo, UINT hi) {
    return (lo == 0 && hi == 0) || (WM_TIMER >= lo && WM_TIMER <= hi);
}

// Polls the sockets that need it without waiting; q.mutex held.
void PollSocketsNow(ThreadQueue& q) {
    thread_local std::vector<pollfd> fds;
    thread_local std::vector<SocketWatch*> who;
    fds.clear();
    who.clear();
    AddSocketPolls(q, fds, who);
    if (fds.empty())
        return;
    if (poll(fds.data(), fds.size(), 0) <= 0)
        return;
    for (size_t i = 0; i < fds.size(); ++i)
        if (fds[i].revents)
            HandleSocketPoll(q, who[i], fds[i].revents);
}

bool StillWatched(const ThreadQueue& q, const SocketWatch* s) {
    for (const SocketWatch* w : q.sockets)
        if (w == s)
            return true;
    return false;
}

} // namespace

ThreadQueue::ThreadQueue(DWORD id) : threadId(id), wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

ThreadQueue::~ThreadQueue() {
    if (wakeFd >= 0)
        close(wakeFd);
}

std::shared_ptr<ThreadQueue> CurrentQueueShared() {
    if (!t_queue.queue) {
        auto q = std::make_shared<ThreadQueue>(g_nextThreadId.fetch_add(1));
        ThreadRegistry& r = Threads();
        std::lock_guard<std::mutex> lock(r.mutex);
        r.threads.emplace(q->threadId, q);
        t_queue.queue = std::move(q);
    }
    return t_queue.queue;
}

ThreadQueue& CurrentQueue() {
    if (!t_queue.queue)
        CurrentQueueShared();
    return *t_queue.queue;
}

void PostLocked(ThreadQueue& q, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                UINT_PTR sender) {
    std::uint64_t cursor = g_cursor.load(std::memory_order_relaxed);
    QueuedMessage m{};
    m.sender = sender;
    m.hwnd = hwnd;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = GetTickCount();
    m.pt.x = static_cast<LONG>(static_cast<std::uint32_t>(cursor));
    m.pt.y = static_cast<LONG>(static_cast<std::uint32_t>(cursor >> 32));
    q.messages.push_back(m);
    q.changed = true;
    if (q.sleeping && !q.wakeSignalled && q.wakeFd >= 0) {
        std::uint64_t one = 1;
        if (write(q.wakeFd, &one, sizeof one) == sizeof one)
            q.wakeSignalled = true;
    }
}

void Post(ThreadQueue& q, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR sender) {
    std::lock_guard<std::mutex> lock(q.mutex);
    PostLocked(q, hwnd, message, wParam, lParam, sender);
}

UINT_PTR NewMessageTag() {
    return g_nextMessageTag.fetch_add(1);
}

BOOL PostTaggedMessage(UINT_PTR nSender, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (!hWnd) {
        Post(CurrentQueue(), nullptr, Msg, wParam, lParam, nSender);
        return TRUE;
    }
    if (hWnd == HWND_BROADCAST) {
        std::vector<std::pair<HWND, std::shared_ptr<ThreadQueue>>> targets;
        TopLevelWindows(targets);
        for (auto& t : targets)
            Post(*t.second, t.first, Msg, wParam, lParam, nSender);
        return TRUE;
    }
    std::shared_ptr<ThreadQueue> q = WindowQueue(hWnd);
    if (!q)
        return FALSE;
    Post(*q, hWnd, Msg, wParam, lParam, nSender);
    return TRUE;
}

BOOL PeekTaggedMessage(LPMSG lpMsg, UINT_PTR* pSender, HWND hWnd, UINT wMsgFilterMin,
                       UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (!lpMsg)
        return FALSE;
    if (pSender)
        *pSender = 0;
    ThreadQueue& q = CurrentQueue();
    Clock::time_point now = Clock::now();
    {
        std::lock_guard<std::mutex> lock(q.mutex);
        PostReadySockets(q);
        long at = FindMatching(q, hWnd, wMsgFilterMin, wMsgFilterMax);
        const bool pollDue =
            now - q.lastSocketPoll >=
            (at < 0 ? Clock::duration(kIdleSocketPollGap) : Clock::duration(kSocketPollInterval));
        if (at < 0 || pollDue)
            FlushSockets(q); // nothing more to do now: what was sent goes out
        if (pollDue) {
            PollSocketsNow(q);
            q.lastSocketPoll = now;
            if (at < 0)
                at = FindMatching(q, hWnd, wMsgFilterMin, wMsgFilterMax);
        }
        q.lastLook = now;
        q.changed = false;
        if (at >= 0) {
            const QueuedMessage& found = q.messages[static_cast<size_t>(at)];
            *lpMsg = found;
            if (pSender)
                *pSender = found.sender;
            if ((wRemoveMsg & PM_REMOVE) && at == 0)
                q.messages.pop_front(); // the usual case, without erase's general shuffle
            else if (wRemoveMsg & PM_REMOVE)
                q.messages.erase(q.messages.begin() + at);
            return TRUE;
        }
    }
    if (WantsTimer(wMsgFilterMin, wMsgFilterMax) &&
        TakeDueTimer(q, hWnd, now, (wRemoveMsg & PM_REMOVE) != 0, lpMsg))
        return TRUE;
    return FALSE;
}

} // namespace ltpadmin_platform

using namespace ltpadmin_platform;

DWORD GetCurrentThreadId() {
    return CurrentQueue().threadId;
}

BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return PostTaggedMessage(0, hWnd, Msg, wParam, lParam);
}

BOOL PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<ThreadQueue> q;
    {
        ThreadRegistry& r = Threads();
        std::lock_guard<std::mutex> lock(r.mutex);
        auto it = r.threads.find(idThread);
        if (it == r.threads.end())
            return FALSE;
        q = it->second;
    }
    Post(*q, nullptr, Msg, wParam, lParam);
    return TRUE;
}

void PostQuitMessage(int nExitCode) {
    Post(CurrentQueue(), nullptr, WM_QUIT, static_cast<WPARAM>(nExitCode), 0);
}

BOOL PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    return PeekTaggedMessage(lpMsg, nullptr, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg);
}

BOOL GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (!lpMsg)
        return -1;
    while (!PeekMessageA(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, PM_REMOVE))
        WaitMessage();
    return lpMsg->message == WM_QUIT ? 0 : 1;
}

BOOL WaitMessage() {
    ThreadQueue& q = CurrentQueue();
    thread_local std::vector<pollfd> fds; // kept: no allocation per sleep
    thread_local std::vector<SocketWatch*> who;
    std::unique_lock<std::mutex> lock(q.mutex);
    for (;;) {
        PostReadySockets(q);
        if (q.changed)
            return TRUE;
        int timeout = -1;
        Clock::time_point due;
        if (NextUnseenTimer(q, &due)) {
            Clock::time_point now = Clock::now();
            if (due <= now)
                return TRUE;
            auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - now).count();
            timeout = wait > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(wait);
        }
        if (q.wakeFd < 0 && (timeout < 0 || timeout > kFallbackWakeMs))
            timeout = kFallbackWakeMs;
        FlushSockets(q);
        fds.clear();
        who.clear();
        fds.push_back(pollfd{q.wakeFd, POLLIN, 0});
        who.push_back(nullptr);
        AddSocketPolls(q, fds, who);
        q.sleeping = true;
        lock.unlock();
        int ready = poll(fds.data(), fds.size(), timeout);
        lock.lock();
        q.sleeping = false;
        q.lastSocketPoll = Clock::now();
        if (q.wakeSignalled) {
            std::uint64_t count;
            if (read(q.wakeFd, &count, sizeof count) < 0 && errno != EAGAIN)
                return FALSE;
            q.wakeSignalled = false;
        }
        if (ready <= 0)
            continue;
        for (size_t i = 1; i < fds.size(); ++i)
            if (fds[i].revents && StillWatched(q, who[i]))
                HandleSocketPoll(q, who[i], fds[i].revents);
    }
}

BOOL TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* lpMsg) {
    if (!lpMsg)
        return 0;
    ThreadQueue& q = CurrentQueue();
    if (lpMsg->message == WM_TIMER && lpMsg->lParam) {
        TIMERPROC proc = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
        // Only a timer that still exists: lParam is not trusted as a function pointer otherwise.
        if (TimerIsLive(q, lpMsg->hwnd, lpMsg->wParam, proc))
            proc(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, GetTickCount());
        return 0;
    }
    if (!lpMsg->hwnd)
        return 0;
    WNDPROC proc = WindowProcOf(lpMsg->hwnd, q.threadId);
    if (!proc)
        return 0;
    return proc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

BOOL SetCursorPos(int X, int Y) {
    std::uint64_t packed = static_cast<std::uint32_t>(X) |
                           (static_cast<std::uint64_t>(static_cast<std::uint32_t>(Y)) << 32);
    g_cursor.store(packed, std::memory_order_relaxed);
    return TRUE;
}

BOOL GetCursorPos(LPPOINT lpPoint) {
    if (!lpPoint)
        return FALSE;
    std::uint64_t cursor = g_cursor.load(std::memory_order_relaxed);
    lpPoint->x = static_cast<LONG>(static_cast<std::uint32_t>(cursor));
    lpPoint->y = static_cast<LONG>(static_cast<std::uint32_t>(cursor >> 32));
    return TRUE;
}
