// Tagged messages on the system's own queue, which has no room for a tag: the library keeps, for
// each message it posts with a tag, the message's target and contents beside the queue, and a
// peeked message that matches one of them (the oldest first) carries its tag. A message of the
// application that is the same to the byte as a pending tagged one may be taken for it, and the
// tagged one then for the application's: both are in the queue already, so a wait that ends on
// either ends within the same run of peeks.
#include "ltpadmin/platform/tagged_message.h"

#include <atomic>
#include <deque>
#include <mutex>

namespace ltpadmin_platform {
namespace {

struct Pending {
    HWND hwnd;
    DWORD thread; // the queue it went to
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    UINT_PTR tag;
};

struct Ledger {
    std::mutex mutex;
    std::deque<Pending> pending;
};

Ledger& TheLedger() {
    static Ledger* ledger = new Ledger; // kept for the process: posts may come at exit
    return *ledger;
}

std::atomic<UINT_PTR> g_nextTag{1};

bool Post(UINT_PTR tag, HWND hwnd, DWORD thread, UINT message, WPARAM wParam, LPARAM lParam) {
    Ledger& ledger = TheLedger();
    std::lock_guard<std::mutex> lock(ledger.mutex);
    // Noted first, so that the message is never peeked before its tag is known.
    ledger.pending.push_back({hwnd, thread, message, wParam, lParam, tag});
    if (PostMessageA(hwnd, message, wParam, lParam))
        return true;
    ledger.pending.pop_back();
    return false;
}

// A broadcast reaches every top-level window; the process's own get one post each, so that
// each copy carries the tag, and the others one plain post each.
struct Broadcast {
    UINT_PTR tag;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

BOOL CALLBACK PostToTopLevel(HWND hwnd, LPARAM context) {
    const Broadcast& b = *reinterpret_cast<const Broadcast*>(context);
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(hwnd, &process);
    if (process == GetCurrentProcessId())
        Post(b.tag, hwnd, thread, b.message, b.wParam, b.lParam);
    else
        PostMessageA(hwnd, b.message, b.wParam, b.lParam);
    return TRUE;
}

// The tag of a message just peeked on this thread; the note is dropped when the message was
// removed. Notes of windows that are gone are dropped on the way.
UINT_PTR TagOf(const MSG& msg, bool removed) {
    Ledger& ledger = TheLedger();
    std::lock_guard<std::mutex> lock(ledger.mutex);
    const DWORD thread = GetCurrentThreadId();
    for (auto it = ledger.pending.begin(); it != ledger.pending.end();) {
        if (it->hwnd != nullptr && !IsWindow(it->hwnd)) {
            it = ledger.pending.erase(it);
            continue;
        }
        if (it->thread == thread && it->hwnd == msg.hwnd && it->message == msg.message &&
            it->wParam == msg.wParam && it->lParam == msg.lParam) {
            const UINT_PTR tag = it->tag;
            if (removed)
                ledger.pending.erase(it);
            return tag;
        }
        ++it;
    }
    return 0;
}

} // namespace

UINT_PTR NewMessageTag() {
    return g_nextTag.fetch_add(1);
}

BOOL PostTaggedMessage(UINT_PTR nSender, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (nSender == 0)
        return PostMessageA(hWnd, Msg, wParam, lParam);
    if (hWnd == HWND_BROADCAST) {
        Broadcast b{nSender, Msg, wParam, lParam};
        EnumWindows(PostToTopLevel, reinterpret_cast<LPARAM>(&b));
        return TRUE;
    }
    // Without a window the message goes to this thread's own queue.
    const DWORD thread =
        hWnd != nullptr ? GetWindowThreadProcessId(hWnd, nullptr) : GetCurrentThreadId();
    if (thread == 0)
        return FALSE;
    return Post(nSender, hWnd, thread, Msg, wParam, lParam) ? TRUE : FALSE;
}

BOOL PeekTaggedMessage(LPMSG lpMsg, UINT_PTR* pSender, HWND hWnd, UINT wMsgFilterMin,
                       UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (pSender)
        *pSender = 0;
    if (!PeekMessageA(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg))
        return FALSE;
    const UINT_PTR tag = TagOf(*lpMsg, (wRemoveMsg & PM_REMOVE) != 0);
    if (pSender)
        *pSender = tag;
    return TRUE;
}

} // namespace ltpadmin_platform
