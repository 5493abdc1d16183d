#include "tools/ltpweb/sessions.h"

#include <stdexcept>
#include <vector>

#include <openssl/crypto.h>
#include <openssl/rand.h>

namespace ltpweb {

std::string RandomToken(std::size_t bytes) {
    std::vector<unsigned char> raw(bytes);
    if (RAND_bytes(raw.data(), static_cast<int>(raw.size())) != 1)
        throw std::runtime_error("no random bytes from the system");
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    unsigned bits = 0;
    int held = 0;
    for (unsigned char c : raw) {
        bits = (bits << 8) | c;
        held += 8;
        while (held >= 6) {
            held -= 6;
            out += kAlphabet[(bits >> held) & 63u];
        }
    }
    if (held > 0)
        out += kAlphabet[(bits << (6 - held)) & 63u];
    return out;
}

bool SameSecret(const std::string& a, const std::string& b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

SessionStore::SessionStore(std::chrono::seconds idle, Clock clock)
    : m_idle(idle), m_clock(std::move(clock)), m_lastSweep(m_clock()) {}

void SessionStore::SetCaps(std::size_t perAddress, std::size_t total) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_perAddress = perAddress > 0 ? perAddress : 1;
    m_total = total > 0 ? total : 1;
}

std::shared_ptr<Session> SessionStore::Create(std::string user, std::shared_ptr<SessionData> data,
                                              std::string address) {
    auto s = std::make_shared<Session>();
    s->id = RandomToken(32);
    s->csrf = RandomToken(32);
    s->user = std::move(user);
    s->address = std::move(address);
    s->data = std::move(data);
    std::lock_guard<std::mutex> lock(m_mutex);
    s->lastUsed = m_clock();
    SweepLocked(s->lastUsed);
    std::size_t mine = 0;
    for (const auto& entry : m_sessions)
        mine += entry.second->address == s->address ? 1 : 0;
    if (mine >= m_perAddress)
        EvictLocked(&s->address);
    if (m_sessions.size() >= m_total)
        EvictLocked(nullptr);
    m_sessions[s->id] = s;
    return s;
}

void SessionStore::EvictLocked(const std::string* address) {
    auto oldest = m_sessions.end();
    for (auto it = m_sessions.begin(); it != m_sessions.end(); ++it)
        if ((!address || it->second->address == *address) &&
            (oldest == m_sessions.end() || it->second->lastUsed < oldest->second->lastUsed))
            oldest = it;
    if (oldest != m_sessions.end())
        m_sessions.erase(oldest);
}

std::shared_ptr<Session> SessionStore::Find(const std::string& id) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto now = m_clock();
    SweepLocked(now);
    auto it = m_sessions.find(id);
    if (it == m_sessions.end())
        return nullptr;
    if (now - it->second->lastUsed > m_idle) {
        m_sessions.erase(it);
        return nullptr;
    }
    it->second->lastUsed = now;
    return it->second;
}

void SessionStore::End(const std::string& id) {
    std::shared_ptr<Session> gone;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_sessions.find(id);
        if (it == m_sessions.end())
            return;
        gone = std::move(it->second);
        m_sessions.erase(it);
    }
    // The session's connections close here, outside the lock.
}

std::size_t SessionStore::Count() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sessions.size();
}

// Idle sessions are dropped at most once a minute so that a forgotten sign-in does not keep its
// LTP connections open until someone presents its cookie again.
void SessionStore::SweepLocked(std::chrono::steady_clock::time_point now) {
    if (now - m_lastSweep < std::chrono::minutes(1))
        return;
    m_lastSweep = now;
    for (auto it = m_sessions.begin(); it != m_sessions.end();)
        it = now - it->second->lastUsed > m_idle ? m_sessions.erase(it) : std::next(it);
}

SignInThrottle::SignInThrottle(int limit, std::chrono::seconds window, Clock clock)
    : m_limit(limit), m_window(window), m_clock(std::move(clock)) {}

long long SignInThrottle::WaitFor(const std::string& address) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_records.find(address);
    if (it == m_records.end())
        return 0;
    auto elapsed = m_clock() - it->second.first;
    if (elapsed >= m_window) {
        m_records.erase(it);
        return 0;
    }
    if (it->second.failures < m_limit)
        return 0;
    auto left = std::chrono::duration_cast<std::chrono::seconds>(m_window - elapsed).count();
    return left > 0 ? left : 1;
}

void SignInThrottle::Failed(const std::string& address) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto now = m_clock();
    // Forget old records so that a stream of addresses cannot grow the table without end.
    if (m_records.size() > 10000)
        for (auto it = m_records.begin(); it != m_records.end();)
            it = now - it->second.first >= m_window ? m_records.erase(it) : std::next(it);
    Record& r = m_records[address];
    if (r.failures == 0 || now - r.first >= m_window) {
        r.failures = 0;
        r.first = now;
    }
    ++r.failures;
}

void SignInThrottle::Succeeded(const std::string& address) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_records.erase(address);
}

} // namespace ltpweb
