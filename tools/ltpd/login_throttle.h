// Slows password guessing: after a few failed log-ins from one address, each further failure from
// it is answered later than the one before (doubling, up to a cap), one at a time, however many
// connections the address opens. A right password resets its address; other addresses are never
// slowed.
#pragma once

#include <chrono>
#include <string>
#include <unordered_map>

namespace ltpd {

struct ThrottleOptions {
    unsigned freeFailures = 5; // failures answered at once
    std::chrono::milliseconds firstDelay{250};
    std::chrono::milliseconds maxDelay{8000};
    // An address that has not failed for this long starts afresh.
    std::chrono::milliseconds forgetAfter{15 * 60 * 1000};
};

class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;

    explicit LoginThrottle(ThrottleOptions options = ThrottleOptions()) : m_options(options) {}

    // Records a failed log-in from address at now; when its answer may go out (now, or later
    // for an address over its free failures).
    Clock::time_point Failed(const std::string& address, Clock::time_point now);
    void Succeeded(const std::string& address) { m_addresses.erase(address); }
    // Failures counted for the address (0 once forgotten).
    unsigned Failures(const std::string& address, Clock::time_point now) const;
    // Whether failures from the address are being slowed down.
    bool Throttled(const std::string& address, Clock::time_point now) const {
        return Failures(address, now) > m_options.freeFailures;
    }

private:
    struct Record {
        unsigned failures = 0;
        Clock::time_point lastFailure;
        Clock::time_point nextAnswer; // answers of one address go out one after another
    };

    bool Stale(const Record& r, Clock::time_point now) const {
        return now - r.lastFailure > m_options.forgetAfter;
    }

    ThrottleOptions m_options;
    std::unordered_map<std::string, Record> m_addresses;
};

} // namespace ltpd
