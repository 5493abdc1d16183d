#include "ltpadmin/platform/event.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

struct Event {
    std::mutex mutex;
    std::condition_variable signalled;
    bool manualReset = false;
    // Changed under the mutex; read without it only to see that there is nothing to do.
    std::atomic<bool> state{false};
    std::atomic<bool> closed{false}; // set once its handle is closed
};

// Open handles. A handle is a number, never reused, so that a stale or doubly closed handle is
// recognised instead of reaching freed memory; a wait keeps its event alive while it runs.
struct HandleTable {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<Event>> events;
    std::uintptr_t next = 4;
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable; // never destroyed: handles may outlive main()
    return *table;
}

// The event a thread used last: a session sets, resets and tests its one event many times a
// request, and this spares each call the table's lock and lookup. Handles are never reused, so a
// hit is the right event as long as its handle is open.
struct LastUsed {
    std::uintptr_t handle = 0;
    std::shared_ptr<Event> event;
};
thread_local LastUsed t_lastUsed;

// The open event behind a handle, or null. The pointer stays valid while the thread's cache or
// the caller's copy holds it.
Event* Find(HANDLE h, std::shared_ptr<Event>* keep = nullptr) {
    const auto id = reinterpret_cast<std::uintptr_t>(h);
    LastUsed& last = t_lastUsed;
    if (last.handle != id || !last.event || last.event->closed.load(std::memory_order_acquire)) {
        HandleTable& t = Table();
        std::lock_guard<std::mutex> lock(t.mutex);
        auto it = t.events.find(id);
        if (it == t.events.end())
            return nullptr;
        last.handle = id;
        last.event = it->second;
    }
    if (keep)
        *keep = last.event;
    return last.event.get();
}

} // namespace

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR) {
    auto event = std::make_shared<Event>();
    event->manualReset = bManualReset != FALSE;
    event->state = bInitialState != FALSE;
    HandleTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    std::uintptr_t id = t.next;
    t.next += 4;
    t.events.emplace(id, std::move(event));
    return reinterpret_cast<HANDLE>(id);
}

BOOL SetEvent(HANDLE hEvent) {
    Event* e = Find(hEvent);
    if (!e)
        return FALSE;
    {
        std::lock_guard<std::mutex> lock(e->mutex);
        e->state = true;
    }
    if (e->manualReset)
        e->signalled.notify_all();
    else
        e->signalled.notify_one();
    return TRUE;
}

BOOL ResetEvent(HANDLE hEvent) {
    Event* e = Find(hEvent);
    if (!e)
        return FALSE;
    // A session resets its event as every request starts; mostly it is not set.
    if (!e->state.load(std::memory_order_acquire))
        return TRUE;
    std::lock_guard<std::mutex> lock(e->mutex);
    e->state = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    std::shared_ptr<Event> keep; // a long wait keeps its event even if the cache moves on
    Event* e = Find(hHandle, dwMilliseconds != 0 ? &keep : nullptr);
    if (!e)
        return WAIT_FAILED;
    if (dwMilliseconds == 0 && !e->state.load(std::memory_order_acquire))
        return WAIT_TIMEOUT;
    std::unique_lock<std::mutex> lock(e->mutex);
    auto isSet = [&] { return e->state.load(std::memory_order_relaxed); };
    if (dwMilliseconds == 0) {
        // A look, not a wait: a timed wait of zero would still sleep in the kernel for the
        // timer's slack, and the session's wait looks at its event once per pass.
        if (!e->state)
            return WAIT_TIMEOUT;
    } else if (dwMilliseconds == INFINITE)
        e->signalled.wait(lock, isSet);
    else if (!e->signalled.wait_for(lock, std::chrono::milliseconds(dwMilliseconds), isSet))
        return WAIT_TIMEOUT;
    if (!e->manualReset)
        e->state = false;
    return WAIT_OBJECT_0;
}

BOOL CloseHandle(HANDLE hObject) {
    HandleTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.events.find(reinterpret_cast<std::uintptr_t>(hObject));
    if (it == t.events.end())
        return FALSE;
    it->second->closed.store(true, std::memory_order_release); // stale in every thread's cache
    t.events.erase(it);
    if (t_lastUsed.handle == reinterpret_cast<std::uintptr_t>(hObject))
        t_lastUsed = LastUsed(); // frees the event now rather than at the next lookup
    return TRUE;
}
