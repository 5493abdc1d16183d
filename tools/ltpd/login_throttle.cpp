#include "tools/ltpd/login_throttle.h"

#include <algorithm>

namespace ltpd {

LoginThrottle::Clock::time_point LoginThrottle::SharedAnswer(Clock::time_point now) {
    m_sharedDue = std::max(m_sharedDue, now) + m_options.sharedInterval;
    // Up to sharedBurst failures ahead of the steady rate are answered at once.
    return std::max(now, m_sharedDue - m_options.sharedInterval * m_options.sharedBurst);
}

LoginThrottle::Clock::time_point LoginThrottle::Failed(const std::string& address,
                                                       Clock::time_point now, bool perAddress) {
    const Clock::time_point shared = SharedAnswer(now);
    if (!perAddress)
        return shared;
    // Many addresses failing once each must not grow the table without end.
    if (m_addresses.size() >= 100000)
        for (auto it = m_addresses.begin(); it != m_addresses.end();)
            it = Stale(it->second, now) ? m_addresses.erase(it) : std::next(it);
    Record& r = m_addresses[address];
    if (Stale(r, now))
        r = Record();
    ++r.failures;
    r.lastFailure = now;
    if (r.failures <= m_options.freeFailures)
        return shared;
    const unsigned doublings = std::min(r.failures - m_options.freeFailures - 1, 20u);
    auto delay = std::min(m_options.firstDelay * (int64_t{1} << doublings), m_options.maxDelay);
    r.nextAnswer = std::max(r.nextAnswer, now) + delay;
    return std::max(r.nextAnswer, shared);
}

unsigned LoginThrottle::Failures(const std::string& address, Clock::time_point now) const {
    auto it = m_addresses.find(address);
    return it == m_addresses.end() || Stale(it->second, now) ? 0 : it->second.failures;
}

} // namespace ltpd
