// Slows password guessing: after a few failed log-ins from one address, each further failure from
// it is answered later than the one before (doubling, up to a cap), one at a time, however many
// connections the address opens. A right password resets its address; other addresses are not
// slowed by it. Over all addresses together, failures beyond a burst are answered at a steady
// rate, so that guessing from many addresses gains nothing; a right password is never slowed.
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
    // Over all addresses: this many failures at once, then one answer per sharedInterval.
    unsigned sharedBurst = 20;
    std::chrono::microseconds sharedInterval{500 * 1000};
};

class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;

    explicit LoginThrottle(ThrottleOptions options = ThrottleOptions()) : m_options(options) {}

    // Records a failed log-in from address at now; when its answer may go out (now, or later
    // for an address over its free failures or while failures everywhere exceed their rate).
    // perAddress false: only the limit over all addresses applies (a trusted gateway, which
    // counts its own clients' failures).
    Clock::time_point Failed(const std::string& address, Clock::time_point now,
                             bool perAddress = true);
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

    Clock::time_point SharedAnswer(Clock::time_point now);

    ThrottleOptions m_options;
    std::unordered_map<std::string, Record> m_addresses;
    // When the next failure anywhere would be answered were there no burst (a virtual clock
    // that runs ahead of now by sharedInterval per failure and catches up in real time).
    Clock::time_point m_sharedDue;
};

} // namespace ltpd
