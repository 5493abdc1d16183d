#include "ltpadmin/platform/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

TEST(Event, ManualAndAutoReset) {
    struct Case {
        const char* what;
        BOOL manual, initial;
        DWORD first, second; // two waits of 0 ms
    };
    const Case cases[] = {
        {"manual, set", TRUE, TRUE, WAIT_OBJECT_0, WAIT_OBJECT_0},
        {"auto, set", FALSE, TRUE, WAIT_OBJECT_0, WAIT_TIMEOUT},
        {"manual, clear", TRUE, FALSE, WAIT_TIMEOUT, WAIT_TIMEOUT},
        {"auto, clear", FALSE, FALSE, WAIT_TIMEOUT, WAIT_TIMEOUT},
    };
    for (const Case& c : cases) {
        HANDLE h = CreateEventA(nullptr, c.manual, c.initial, nullptr);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(WaitForSingleObject(h, 0), c.first) << c.what;
        EXPECT_EQ(WaitForSingleObject(h, 0), c.second) << c.what;
        SetEvent(h);
        ResetEvent(h);
        EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_TIMEOUT) << c.what;
        EXPECT_TRUE(CloseHandle(h));
    }
}

TEST(Event, WaitsForTheTimeGivenOrUntilSet) {
    HANDLE h = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(h, 30), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));

    std::thread setter([h] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        SetEvent(h);
    });
    EXPECT_EQ(WaitForSingleObject(h, INFINITE), WAIT_OBJECT_0);
    setter.join();
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_TIMEOUT) << "auto-reset by the wait";
    CloseHandle(h);
}

TEST(Event, AutoResetReleasesOneWaiterPerSet) {
    HANDLE h = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> released{0};
    std::thread a([&] { released += WaitForSingleObject(h, 2000) == WAIT_OBJECT_0; });
    std::thread b([&] { released += WaitForSingleObject(h, 2000) == WAIT_OBJECT_0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    SetEvent(h);
    a.join();
    b.join();
    EXPECT_EQ(released.load(), 1);
    CloseHandle(h);
}

TEST(Event, ClosedHandlesAreRefused) {
    HANDLE h = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
    EXPECT_FALSE(SetEvent(h));
    EXPECT_FALSE(ResetEvent(nullptr));
}

// A thread that used a handle a moment ago must still see it closed by another thread, and a
// handle closed while another one is in use must not take that one's place.
TEST(Event, AHandleClosedByAnotherThreadIsRefusedHereToo) {
    HANDLE h = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE other = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(SetEvent(h));
    ASSERT_TRUE(ResetEvent(h));
    std::thread closer([h] { EXPECT_TRUE(CloseHandle(h)); });
    closer.join();
    EXPECT_FALSE(SetEvent(h));
    EXPECT_FALSE(ResetEvent(h));
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(h, 10), WAIT_FAILED);

    EXPECT_TRUE(SetEvent(other));
    EXPECT_TRUE(CloseHandle(other));
    EXPECT_EQ(WaitForSingleObject(other, 0), WAIT_FAILED);
    EXPECT_FALSE(ResetEvent(other));
}

TEST(TickCount, WrapsPastZero) {
    SetTickCountForTest(0xFFFFFFF0u);
    DWORD start = GetTickCount();
    EXPECT_GE(start, 0xFFFFFFF0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    DWORD now = GetTickCount();
    EXPECT_LT(now, start) << "wrapped";
    EXPECT_GE(static_cast<DWORD>(now - start), 40u);
}
