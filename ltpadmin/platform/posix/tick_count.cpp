#include "ltpadmin/platform/tick_count.h"

#include <atomic>
#include <chrono>

namespace {

// Added to the monotonic clock's milliseconds; only the test hook changes it.
std::atomic<DWORD> g_offset{0};

DWORD MonotonicMilliseconds() {
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

} // namespace

DWORD GetTickCount() {
    return static_cast<DWORD>(MonotonicMilliseconds() + g_offset.load(std::memory_order_relaxed));
}

void SetTickCountForTest(DWORD dwNow) {
    g_offset.store(static_cast<DWORD>(dwNow - MonotonicMilliseconds()), std::memory_order_relaxed);
}
