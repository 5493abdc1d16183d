// The delays of failed log-ins: free at first, then doubling up to the cap, one address at a
// time, forgotten after a quiet spell and by a right password.
#include <gtest/gtest.h>

#include "tools/ltpd/login_throttle.h"

namespace ltpd {
namespace {

using namespace std::chrono_literals;

TEST(LoginThrottle, DelaysGrowPerAddressUpToTheCap) {
    LoginThrottle t(ThrottleOptions{2, 100ms, 400ms, 60s});
    const auto start = LoginThrottle::Clock::time_point() + 1h;
    // Failures a second apart: the delay of each, in milliseconds.
    const int64_t expected[] = {0, 0, 100, 200, 400, 400};
    for (size_t i = 0; i < std::size(expected); ++i) {
        const auto now = start + std::chrono::seconds(i);
        EXPECT_EQ((t.Failed("10.0.0.1", now) - now) / 1ms, expected[i]) << "failure " << i + 1;
    }
    EXPECT_TRUE(t.Throttled("10.0.0.1", start + 6s));
    EXPECT_EQ(t.Failed("10.0.0.2", start + 6s), start + 6s); // another address
    EXPECT_EQ(t.Failures("10.0.0.1", start + 5s + 61s), 0u); // forgotten
    t.Succeeded("10.0.0.2");
    EXPECT_EQ(t.Failures("10.0.0.2", start + 7s), 0u);
}

TEST(LoginThrottle, FailuresAtOnceAreAnsweredOneAfterAnother) {
    LoginThrottle t(ThrottleOptions{0, 100ms, 100ms, 60s});
    const auto now = LoginThrottle::Clock::time_point() + 1h;
    EXPECT_EQ(t.Failed("a", now) - now, 100ms);
    EXPECT_EQ(t.Failed("a", now) - now, 200ms); // a second connection does not get in sooner
}

TEST(LoginThrottle, FailuresEverywhereMeetOneSteadyPaceAfterABurst) {
    // Per address: 2 free, then 1 s. Over all: 3 at once, then one each 100 ms.
    LoginThrottle t(ThrottleOptions{2, 1s, 1s, 60s, 3, 100ms});
    const auto start = LoginThrottle::Clock::time_point() + 1h;
    struct Failure {
        const char* address;
        bool perAddress;
        int64_t atMs;
        int64_t answeredAfterMs;
    } failures[] = {
        {"a", true, 0, 0},        {"b", true, 0, 0},
        {"c", true, 0, 0},        {"d", true, 0, 100},
        {"e", false, 0, 200},                           // a gateway meets the pace too
        {"a", true, 0, 300},      {"a", true, 0, 1000}, // a's third: its own delay is longer
        {"f", true, 2000, 0},                           // the pace caught up: a burst again
        {"gw", false, 2000, 0},   {"gw", false, 2000, 0},
        {"gw", false, 2000, 100}, // the gateway is never slowed on its own account
    };
    for (const Failure& f : failures) {
        const auto now = start + std::chrono::milliseconds(f.atMs);
        EXPECT_EQ((t.Failed(f.address, now, f.perAddress) - now) / 1ms, f.answeredAfterMs)
            << f.address << " at " << f.atMs << " ms";
    }
    EXPECT_EQ(t.Failures("gw", start + 2s), 0u);
}

} // namespace
} // namespace ltpd
