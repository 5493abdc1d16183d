#include "ltpadmin/platform/platform.h"
#include "ltpadmin/platform/tagged_message.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <utility>
#include <vector>

namespace {

using ltpadmin_platform::NewMessageTag;
using ltpadmin_platform::PeekTaggedMessage;
using ltpadmin_platform::PostTaggedMessage;

LRESULT CALLBACK Quiet(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND MakeWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Quiet;
    wc.lpszClassName = "PlatformTaggedTest";
    RegisterClassA(&wc); // 0 once registered: the class is there all the same
    HWND window = CreateWindowExA(0, "PlatformTaggedTest", "w", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                                  nullptr, nullptr, nullptr, nullptr);
#if defined(_WIN32)
    // Without a display (wine on a build machine) only message-only windows can be made.
    if (!window)
        window = CreateWindowExA(0, "PlatformTaggedTest", "w", 0, 0, 0, 10, 10, HWND_MESSAGE,
                                 nullptr, nullptr, nullptr);
#endif
    return window;
}

// Each message comes back with the tag it was posted with, the application's with 0, and a look
// without removing leaves the tag for the removal.
TEST(TaggedMessages, EachPeekedMessageCarriesItsPostersTag) {
    std::thread([] {
        HWND window = MakeWindow();
        ASSERT_NE(window, nullptr);
        const UINT_PTR first = NewMessageTag(), second = NewMessageTag();
        EXPECT_NE(first, 0u);
        EXPECT_NE(first, second);
        const UINT kNotice = WM_USER + 7;
        struct Post {
            UINT_PTR tag;
            HWND to;
            WPARAM wParam;
        } posts[] = {
            {first, window, 0}, {0, window, 0},       {second, window, 0},
            {0, nullptr, 1},    {second, nullptr, 1}, {first, window, 2},
        };
        for (const Post& p : posts)
            ASSERT_TRUE(PostTaggedMessage(p.tag, p.to, kNotice, p.wParam, 0));
        MSG m;
        UINT_PTR tag = 99;
        ASSERT_TRUE(PeekTaggedMessage(&m, &tag, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(tag, first) << "a look leaves the tag for the removal";
        std::vector<std::pair<WPARAM, UINT_PTR>> got, expected;
        while (PeekTaggedMessage(&m, &tag, nullptr, kNotice, kNotice, PM_REMOVE))
            got.emplace_back(m.wParam, tag);
        for (const Post& p : posts)
            expected.emplace_back(p.wParam, p.tag);
#if defined(_WIN32)
        // The system's queue keeps no tag: messages the same to the byte may trade tags among
        // themselves (all are queued already, so a wait ends within the same run either way).
        std::sort(got.begin(), got.end());
        std::sort(expected.begin(), expected.end());
#endif
        EXPECT_EQ(got, expected);
        DestroyWindow(window);
    }).join();
}

} // namespace
