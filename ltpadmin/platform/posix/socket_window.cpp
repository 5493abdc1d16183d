// The hidden window through which a thread's socket notifications are dispatched, and the watch
// list the thread's poll walks.
#include "ltpadmin/platform/posix/socket_watch.h"

#include "ltpadmin/platform/window.h"

#include <mutex>

namespace ltpadmin_platform {

namespace {

// Set while the thread delivers socket notifications.
thread_local int t_notificationDepth = 0;
// Read or write notifications delivered in a row by one dispatch, at most: a 1 MiB request in one
// run. Held sends go out when the run ends, so a short run cuts a long request into small sends.
constexpr int kNotificationRun = 1024;

// Delivers one notification. A read or write notification that is due again as soon as its handler
// returns (a request going out piece by piece, a response read piece by piece) is delivered again
// at once while nothing else waits in the queue, up to kNotificationRun in a row: the same
// notifications, in the same order, without a post, a look at the queue and a dispatch each.
LRESULT CALLBACK SocketWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_SOCKET_NOTIFY)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    ThreadQueue& q = CurrentQueue();
    const int event = WSAGETSELECTEVENT(lParam);
    int error = WSAGETSELECTERROR(lParam);
    std::uint64_t serial = 0;
    struct Delivering { // also when a handler throws
        ThreadQueue& q;
        explicit Delivering(ThreadQueue& queue) : q(queue) { ++t_notificationDepth; }
        ~Delivering() {
            if (--t_notificationDepth == 0) {
                // What the handlers sent leaves before the dispatch returns.
                std::lock_guard<std::mutex> lock(q.mutex);
                FlushSockets(q);
            }
        }
    } delivering(q);
    for (int run = 0; run < kNotificationRun; ++run) {
        SocketWatch* target = nullptr;
        {
            std::lock_guard<std::mutex> lock(q.mutex);
            for (SocketWatch* s : q.sockets)
                if (static_cast<WPARAM>(s->fd) == wParam && (run == 0 || s->serial == serial))
                    target = s;
            // The handler may have closed the socket, or something else may wait its turn.
            if (run > 0 && (!target || !q.messages.empty() || !target->TakeAgain(event)))
                break;
        }
        if (!target)
            break;
        serial = target->serial;
        target->Deliver(event, error); // may delete the socket
        if (event != FD_READ && event != FD_WRITE)
            break;
        error = 0;
    }
    return 0;
}

} // namespace

bool DeliveringNotifications() {
    return t_notificationDepth > 0;
}

std::unique_ptr<SocketWatch> Watch(CAsyncSocket* owner, int fd) {
    std::shared_ptr<ThreadQueue> q = CurrentQueueShared();
    if (!q->socketWindow)
        q->socketWindow = CreateHiddenWindow(SocketWindowProc);
    auto watch = std::make_unique<SocketWatch>(owner, q, fd);
    std::lock_guard<std::mutex> lock(q->mutex);
    q->sockets.push_back(watch.get());
    return watch;
}

void Unwatch(SocketWatch& s) {
    ThreadQueue& q = *s.queue;
    std::lock_guard<std::mutex> lock(q.mutex);
    for (size_t i = 0; i < q.sockets.size(); ++i)
        if (q.sockets[i] == &s) {
            q.sockets.erase(q.sockets.begin() + static_cast<long>(i));
            break;
        }
    for (auto it = q.messages.begin(); it != q.messages.end();)
        if (it->message == WM_SOCKET_NOTIFY && it->hwnd == q.socketWindow &&
            it->wParam == static_cast<WPARAM>(s.fd))
            it = q.messages.erase(it);
        else
            ++it;
}

} // namespace ltpadmin_platform
