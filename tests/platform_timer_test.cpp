#include "ltpadmin/platform/platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

thread_local std::vector<UINT_PTR> t_fired;

void CALLBACK Record(HWND, UINT message, UINT_PTR id, DWORD) {
    if (message == WM_TIMER)
        t_fired.push_back(id);
}

template <class F> void OnFreshThread(F body) {
    std::thread(body).join();
}

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

TEST(ThreadTimer, FiresOnlyWhenTheQueueHoldsNothingElse) {
    OnFreshThread([] {
        t_fired.clear();
        UINT_PTR id = SetTimer(nullptr, 100, 10, Record);
        ASSERT_NE(id, 0u);
        Sleep(40); // several periods: still one WM_TIMER
        PostMessageA(nullptr, WM_USER, 0, 0);
        PostMessageA(nullptr, WM_USER + 1, 0, 0);
        std::vector<UINT> order;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            order.push_back(m.message);
            if (m.message == WM_TIMER) {
                EXPECT_EQ(m.wParam, id);
                EXPECT_EQ(m.lParam, reinterpret_cast<LPARAM>(&Record));
                DispatchMessageA(&m);
            }
        }
        EXPECT_EQ(order, (std::vector<UINT>{WM_USER, WM_USER + 1, WM_TIMER}));
        EXPECT_EQ(t_fired, std::vector<UINT_PTR>{id});

        // A range without WM_TIMER never produces it.
        Sleep(20);
        EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_USER, WM_USER + 10, PM_REMOVE));
        EXPECT_TRUE(KillTimer(nullptr, id));
        EXPECT_FALSE(KillTimer(nullptr, id));
        EXPECT_FALSE(KillTimer(nullptr, 0));
        Sleep(20);
        EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) << "killed";
    });
}

TEST(ThreadTimer, WaitMessageWakesForTheTimer) {
    OnFreshThread([] {
        UINT_PTR id = SetTimer(nullptr, 0, 100, Record);
        WaitMessage();
        MSG m;
        ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(m.message, static_cast<UINT>(WM_TIMER));
        EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) << "next period not due yet";
        KillTimer(nullptr, id);
    });
}

TEST(ThreadTimer, PlatformChoosesIdsAndReplacesByExistingId) {
    OnFreshThread([] {
        UINT_PTR a = SetTimer(nullptr, 100, 1000, Record);
        UINT_PTR b = SetTimer(nullptr, 100, 1000, Record);
        EXPECT_NE(a, 0u);
        EXPECT_NE(b, 0u);
        EXPECT_NE(a, b) << "an unknown id asks for a new timer";
        EXPECT_EQ(SetTimer(nullptr, a, 10, Record), a) << "a known id replaces that timer";
        Sleep(30);
        MSG m;
        ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(m.wParam, a);
        // A timer killed after its message was taken does not run.
        t_fired.clear();
        KillTimer(nullptr, a);
        DispatchMessageA(&m);
        EXPECT_TRUE(t_fired.empty());
        KillTimer(nullptr, b);
    });
}

namespace {
thread_local std::vector<WPARAM> t_windowTimers;
LRESULT CALLBACK TimerWindowProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_TIMER)
        t_windowTimers.push_back(wParam);
    return 0;
}
} // namespace

TEST(ThreadTimer, WindowTimerGoesToTheWindowProcedure) {
    OnFreshThread([] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = TimerWindowProc;
        wc.lpszClassName = "PlatformTimerTest";
        RegisterClassA(&wc);
        HWND w = CreateWindowExA(0, "PlatformTimerTest", "", 0, 0, 0, 1, 1, nullptr, nullptr,
                                 nullptr, nullptr);
        EXPECT_EQ(SetTimer(w, 7, 10, nullptr), 7u);
        Sleep(20);
        MSG m;
        ASSERT_TRUE(PeekMessageA(&m, w, 0, 0, PM_REMOVE));
        EXPECT_EQ(m.hwnd, w);
        DispatchMessageA(&m);
        EXPECT_EQ(t_windowTimers, std::vector<WPARAM>{7});
        DestroyWindow(w);
        EXPECT_FALSE(KillTimer(w, 7)) << "destroying the window killed its timer";
    });
}
