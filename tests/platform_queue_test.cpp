#include "ltpadmin/platform/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Every window procedure of these tests records here, on its own thread.
struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
};
thread_local std::vector<Seen> t_seen;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    t_seen.push_back(Seen{hwnd, message, wParam});
    if (message == WM_CREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        return cs->lpCreateParams ? -1 : 0; // a creation parameter asks to refuse
    }
    return message == WM_USER + 50 ? 1234 : 0;
}

const char* TestClass() {
    static const char* name = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = "PlatformQueueTest";
        RegisterClassA(&wc);
        return "PlatformQueueTest";
    }();
    return name;
}

HWND MakeWindow(HWND parent = nullptr, int x = 0, int y = 0, int w = 100, int h = 50) {
    return CreateWindowExA(0, TestClass(), "w", WS_OVERLAPPEDWINDOW, x, y, w, h, parent, nullptr,
                           nullptr, nullptr);
}

// Runs a test body on a thread of its own, so that it starts with an empty queue.
template <class F> void OnFreshThread(F body) {
    std::thread(body).join();
}

std::vector<UINT> DrainMessages(HWND filter = nullptr) {
    std::vector<UINT> got;
    MSG m;
    while (PeekMessageA(&m, filter, 0, 0, PM_REMOVE))
        got.push_back(m.message);
    return got;
}

} // namespace

TEST(MessageQueue, PeeksInPostingOrderThroughWindowAndRangeFilters) {
    OnFreshThread([] {
        HWND a = MakeWindow();
        HWND b = MakeWindow();
        ASSERT_TRUE(a && b);
        PostMessageA(a, WM_USER + 1, 1, 0);
        PostThreadMessageA(GetCurrentThreadId(), WM_USER + 2, 2, 0);
        PostMessageA(b, WM_USER + 3, 3, 0);
        PostMessageA(a, WM_USER + 4, 4, 0);
        PostMessageA(nullptr, WM_USER + 5, 5, 0); // no window: a message of this thread

        struct Case {
            const char* what;
            HWND filter;
            UINT lo, hi, flags;
            UINT want; // 0: nothing
        };
        const Case cases[] = {
            {"first of window a, kept", a, 0, 0, PM_NOREMOVE, WM_USER + 1},
            {"thread messages only", reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE, WM_USER + 2},
            {"window b", b, 0, 0, PM_REMOVE, WM_USER + 3},
            {"range skips earlier messages", nullptr, WM_USER + 4, WM_USER + 4, PM_REMOVE,
             WM_USER + 4},
            {"range with nothing in it", nullptr, WM_USER + 10, WM_USER + 20, PM_REMOVE, 0},
            {"window b is empty now", b, 0, 0, PM_REMOVE, 0},
        };
        for (const Case& c : cases) {
            MSG m{};
            BOOL found = PeekMessageA(&m, c.filter, c.lo, c.hi, c.flags);
            EXPECT_EQ(found != FALSE, c.want != 0) << c.what;
            if (found) {
                EXPECT_EQ(m.message, c.want) << c.what;
            }
        }
        EXPECT_EQ(DrainMessages(), (std::vector<UINT>{WM_USER + 1, WM_USER + 5}));
        DestroyWindow(a);
        DestroyWindow(b);
    });
}

TEST(MessageQueue, RecordsCursorAndTimeAtPosting) {
    OnFreshThread([] {
        SetCursorPos(15, 25);
        DWORD before = GetTickCount();
        PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0);
        SetCursorPos(500, 600);
        MSG m{};
        ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(m.pt.x, 15);
        EXPECT_EQ(m.pt.y, 25);
        EXPECT_LE(m.time - before, 1000u);
        POINT p{};
        GetCursorPos(&p);
        EXPECT_EQ(p.x, 500);
        EXPECT_EQ(p.y, 600);
    });
}

TEST(MessageQueue, PostFromAnotherThreadWakesWaitMessage) {
    std::atomic<DWORD> id{0};
    std::atomic<bool> posted{false};
    std::atomic<HWND> window{nullptr};
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<UINT> got;
    std::thread waiter([&] {
        // An old message that the thread has already looked at must not end the wait.
        PostMessageA(nullptr, WM_USER + 9, 0, 0);
        MSG m;
        PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        window = MakeWindow();
        id = GetCurrentThreadId();
        SetEvent(ready);
        while (got.size() < 2) {
            WaitMessage();
            EXPECT_TRUE(posted.load()) << "woke up before anything new was posted";
            while (PeekMessageA(&m, nullptr, WM_USER, WM_USER + 1, PM_REMOVE))
                got.push_back(m.message);
        }
        DestroyWindow(window);
    });
    ASSERT_EQ(WaitForSingleObject(ready, 10000), WAIT_OBJECT_0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    posted = true;
    EXPECT_TRUE(PostMessageA(window, WM_USER, 0, 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(PostThreadMessageA(id, WM_USER + 1, 0, 0));
    waiter.join();
    EXPECT_EQ(got, (std::vector<UINT>{WM_USER, WM_USER + 1}));
    CloseHandle(ready);
    EXPECT_FALSE(PostThreadMessageA(id, WM_USER, 0, 0)) << "the thread has ended";
    EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0)) << "its windows went with it";
}

TEST(MessageQueue, BroadcastReachesEveryTopLevelWindowOnce) {
    const UINT kMsg = WM_USER + 77;
    HANDLE created = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE posted = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<HWND> reached[2];
    HWND tops[2] = {};
    std::atomic<int> ready{0};
    auto worker = [&](int i) {
        tops[i] = MakeWindow();
        MakeWindow(tops[i]); // a child: not reached
        CreateWindowExA(0, TestClass(), "m", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                        nullptr); // message-only: not reached
        if (++ready == 2)
            SetEvent(created);
        WaitForSingleObject(posted, INFINITE);
        MSG m;
        while (PeekMessageA(&m, nullptr, kMsg, kMsg, PM_REMOVE))
            reached[i].push_back(m.hwnd);
        DestroyWindow(tops[i]);
    };
    std::thread t0(worker, 0), t1(worker, 1);
    ASSERT_EQ(WaitForSingleObject(created, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(PostMessageA(HWND_BROADCAST, kMsg, 0, 0));
    SetEvent(posted);
    t0.join();
    t1.join();
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(reached[i], std::vector<HWND>{tops[i]}) << "thread " << i;
    CloseHandle(created);
    CloseHandle(posted);
}

TEST(MessageQueue, GetMessageEndsWithQuit) {
    OnFreshThread([] {
        PostMessageA(nullptr, WM_USER, 0, 0);
        PostQuitMessage(3);
        MSG m;
        EXPECT_NE(GetMessageA(&m, nullptr, 0, 0), 0);
        EXPECT_EQ(m.message, static_cast<UINT>(WM_USER));
        EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), 0);
        EXPECT_EQ(m.wParam, 3u);
    });
}

TEST(Windows, CreateDispatchAndDestroy) {
    OnFreshThread([] {
        t_seen.clear();
        HWND parent = MakeWindow(nullptr, 10, 20, 300, 200);
        HWND child = MakeWindow(parent, 5, 6, 30, 40);
        ASSERT_TRUE(parent && child);
        RECT r{};
        ASSERT_TRUE(GetWindowRect(child, &r));
        EXPECT_EQ(r.left, 15);
        EXPECT_EQ(r.top, 26);
        EXPECT_EQ(r.right, 45);
        EXPECT_EQ(r.bottom, 66);

        PostMessageA(parent, WM_USER + 50, 7, 0);
        MSG m;
        ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
        EXPECT_FALSE(TranslateMessage(&m));
        EXPECT_EQ(DispatchMessageA(&m), 1234);
        ASSERT_FALSE(t_seen.empty());
        EXPECT_EQ(t_seen.back().hwnd, parent);
        EXPECT_EQ(t_seen.back().wParam, 7u);

        // Another thread may post to the window but not destroy it.
        std::thread([&] { EXPECT_FALSE(DestroyWindow(parent)); }).join();

        t_seen.clear();
        PostMessageA(child, WM_USER, 0, 0);
        EXPECT_TRUE(DestroyWindow(parent));
        ASSERT_EQ(t_seen.size(), 2u);
        EXPECT_EQ(t_seen[0].hwnd, parent);
        EXPECT_EQ(t_seen[0].message, static_cast<UINT>(WM_DESTROY));
        EXPECT_EQ(t_seen[1].hwnd, child);
        EXPECT_FALSE(IsWindow(child));
        EXPECT_FALSE(PostMessageA(parent, WM_USER, 0, 0));
        t_seen.clear();
        ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(DispatchMessageA(&m), 0) << "the window is gone";
        EXPECT_TRUE(t_seen.empty());

        int refuse = 1;
        EXPECT_EQ(
            CreateWindowExA(0, TestClass(), "r", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, &refuse),
            nullptr);
        EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "x", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                  nullptr),
                  nullptr);
    });
}

TEST(Windows, RegisterClassRefusesTakenNames) {
    TestClass();
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "platformqueuetest"; // names ignore case
    EXPECT_EQ(RegisterClassA(&wc), 0);
    wc.lpszClassName = "PlatformQueueTestOther";
    EXPECT_NE(RegisterClassA(&wc), 0);
    EXPECT_TRUE(UnregisterClassA("PlatformQueueTestOther", nullptr));
}

TEST(Windows, PtInRectTakesLeftAndTopEdgesOnly) {
    const RECT r{10, 20, 30, 40};
    struct Case {
        LONG x, y;
        bool in;
    };
    const Case cases[] = {{10, 20, true}, {29, 39, true},  {30, 20, false}, {10, 40, false},
                          {9, 25, false}, {15, 19, false}, {20, 30, true}};
    for (const Case& c : cases)
        EXPECT_EQ(PtInRect(&r, POINT{c.x, c.y}) != FALSE, c.in) << c.x << "," << c.y;
    EXPECT_GT(GetSystemMetrics(SM_CYCAPTION), 0);
}
