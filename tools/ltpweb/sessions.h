// Signed-in sessions: who is behind a cookie, the CSRF token that session's changing requests must
// carry, and when it was last used. Sessions end after an idle time and at sign-out. The LTP
// credentials stay in this process's memory only.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace ltpweb {

using Clock = std::function<std::chrono::steady_clock::time_point()>;

// A random token of the given number of bytes, as URL-safe text (43 characters for 32 bytes).
std::string RandomToken(std::size_t bytes);

// Compares two secrets in time that does not depend on where they differ.
bool SameSecret(const std::string& a, const std::string& b);

// What a signed-in person's requests run with; the server part owns it through the session.
struct SessionData {
    virtual ~SessionData() = default;
};

struct Session {
    std::string id;   // the cookie's value
    std::string csrf; // the token every changing request carries in X-CSRF-Token
    std::string user;
    std::string address; // of the browser that signed in
    std::shared_ptr<SessionData> data;
    std::chrono::steady_clock::time_point lastUsed;
};

class SessionStore {
public:
    SessionStore(std::chrono::seconds idle, Clock clock);

    // At a cap (sessions per browser address, or overall), the least recently used session of
    // that address, or overall, ends to make room.
    void SetCaps(std::size_t perAddress, std::size_t total);
    std::shared_ptr<Session> Create(std::string user, std::shared_ptr<SessionData> data,
                                    std::string address = {});
    // The session of a cookie value, marked as used now; null when unknown or idle too long (an
    // idle session is ended here).
    std::shared_ptr<Session> Find(const std::string& id);
    void End(const std::string& id);
    std::size_t Count();

private:
    void SweepLocked(std::chrono::steady_clock::time_point now);
    // Ends the least recently used session (of that address, when one is given).
    void EvictLocked(const std::string* address);

    std::chrono::seconds m_idle;
    Clock m_clock;
    std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<Session>> m_sessions;
    std::chrono::steady_clock::time_point m_lastSweep;
    std::size_t m_perAddress = static_cast<std::size_t>(-1);
    std::size_t m_total = static_cast<std::size_t>(-1);
};

// Sign-in attempts per client address: after `limit` failures within `window` the address waits
// until the window has passed since its first failure.
class SignInThrottle {
public:
    SignInThrottle(int limit, std::chrono::seconds window, Clock clock);

    // 0 when the address may try now; otherwise the seconds it has to wait.
    long long WaitFor(const std::string& address);
    void Failed(const std::string& address);
    void Succeeded(const std::string& address);

private:
    struct Record {
        int failures = 0;
        std::chrono::steady_clock::time_point first;
    };
    int m_limit;
    std::chrono::seconds m_window;
    Clock m_clock;
    std::mutex m_mutex;
    std::map<std::string, Record> m_records;
};

} // namespace ltpweb
