#include "ltpadmin/platform/event.h"

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
    bool state = false;
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

std::shared_ptr<Event> Find(HANDLE h) {
    HandleTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.events.find(reinterpret_cast<std::uintptr_t>(h));
    return it == t.events.end() ? nullptr : it->second;
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
    std::shared_ptr<Event> e = Find(hEvent);
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
    std::shared_ptr<Event> e = Find(hEvent);
    if (!e)
        return FALSE;
    std::lock_guard<std::mutex> lock(e->mutex);
    e->state = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    std::shared_ptr<Event> e = Find(hHandle);
    if (!e)
        return WAIT_FAILED;
    std::unique_lock<std::mutex> lock(e->mutex);
    auto isSet = [&] { return e->state; };
    if (dwMilliseconds == 0) {
        // A look, not a wait: a timed wait of zero would still sleep in the kernel for the
        // timer's slack, and the session's wait looks at its event once per pass.
        if (!e->state)
            return WAIT_TIMEOUT;
    } else if (dwMilliseconds == INFINITE)
        e->signalled.wait(lock, isSet);
    else if (dwMilliseconds == 0) {
        // A poll: a timed wait that has already expired would still give up the processor.
        if (!isSet())
            return WAIT_TIMEOUT;
    } else if (!e->signalled.wait_for(lock, std::chrono::milliseconds(dwMilliseconds), isSet))
        return WAIT_TIMEOUT;
    if (!e->manualReset)
        e->state = false;
    return WAIT_OBJECT_0;
}

BOOL CloseHandle(HANDLE hObject) {
    HandleTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    return t.events.erase(reinterpret_cast<std::uintptr_t>(hObject)) ? TRUE : FALSE;
}
