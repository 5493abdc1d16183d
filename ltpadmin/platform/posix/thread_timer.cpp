#include "ltpadmin/platform/thread_timer.h"

#include "ltpadmin/platform/message_queue.h"
#include "ltpadmin/platform/thread_queue.h"
#include "ltpadmin/platform/tick_count.h"

#include <atomic>

namespace ltpadmin_platform {

namespace {

// Ids of thread timers are unique in the process, above the small ids callers tend to pick.
std::atomic<UINT_PTR> g_nextTimerId{0x7F00};

bool FilterTakes(HWND filter, HWND hwnd) {
    if (filter == reinterpret_cast<HWND>(-1))
        return hwnd == nullptr;
    return !filter || filter == hwnd;
}

} // namespace

bool TakeDueTimer(ThreadQueue& q, HWND filter, Clock::time_point now, bool remove, MSG* out) {
    ThreadTimer* first = nullptr;
    for (ThreadTimer& t : q.timers)
        if (t.due <= now && FilterTakes(filter, t.hwnd) && (!first || t.due < first->due))
            first = &t;
    if (!first)
        return false;
    MSG m{};
    m.hwnd = first->hwnd;
    m.message = WM_TIMER;
    m.wParam = first->id;
    m.lParam = reinterpret_cast<LPARAM>(first->proc);
    m.time = GetTickCount();
    GetCursorPos(&m.pt);
    *out = m;
    if (remove)
        first->due = now + std::chrono::milliseconds(first->period);
    return true;
}

bool NextUnseenTimer(const ThreadQueue& q, Clock::time_point* due) {
    bool found = false;
    for (const ThreadTimer& t : q.timers)
        if (t.due > q.lastLook && (!found || t.due < *due)) {
            *due = t.due;
            found = true;
        }
    return found;
}

bool TimerIsLive(const ThreadQueue& q, HWND hwnd, UINT_PTR id, TIMERPROC proc) {
    for (const ThreadTimer& t : q.timers)
        if (t.hwnd == hwnd && t.id == id && t.proc == proc)
            return true;
    return false;
}

void KillWindowTimers(ThreadQueue& q, HWND hwnd) {
    for (size_t i = q.timers.size(); i-- > 0;)
        if (q.timers[i].hwnd == hwnd)
            q.timers.erase(q.timers.begin() + static_cast<long>(i));
}

} // namespace ltpadmin_platform

using namespace ltpadmin_platform;

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
    ThreadQueue& q = CurrentQueue();
    if (hWnd && !WindowProcOf(hWnd, q.threadId))
        return 0;
    UINT period = uElapse < USER_TIMER_MINIMUM ? USER_TIMER_MINIMUM : uElapse;
    Clock::time_point due = Clock::now() + std::chrono::milliseconds(period);
    if (hWnd || nIDEvent) {
        for (ThreadTimer& t : q.timers)
            if (t.hwnd == hWnd && t.id == nIDEvent) {
                t.period = period;
                t.proc = lpTimerFunc;
                t.due = due;
                return nIDEvent;
            }
    }
    UINT_PTR id = hWnd ? nIDEvent : g_nextTimerId.fetch_add(1);
    q.timers.push_back(ThreadTimer{hWnd, id, period, lpTimerFunc, due});
    return id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    ThreadQueue& q = CurrentQueue();
    for (size_t i = 0; i < q.timers.size(); ++i)
        if (q.timers[i].hwnd == hWnd && q.timers[i].id == uIDEvent) {
            q.timers.erase(q.timers.begin() + static_cast<long>(i));
            return TRUE;
        }
    return FALSE;
}
