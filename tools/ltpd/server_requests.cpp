// The server's requests on one connection: cutting them from the received bytes, the credentials
// checked once on the head, the throttle of failed log-ins, the memory of bodies being read and of
// answers not yet taken, and the line logged for each.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/socket.h>

#include "tools/ltpd/server.h"

namespace ltpd {
namespace {

// A connection owing its client this much reads no further request until the client has taken
// some of it; below it, the same once all connections together owe ServerOptions::outputMemory.
constexpr size_t kPendingPerConnection = 64 * 1024;
// Answers of requests read together are sent at least this often while the rest are served.
constexpr size_t kAnswersPerSend = 8;
// Buffers grown by one large request are given back once they are empty again.
constexpr size_t kKeptCapacity = 64 * 1024;

void ReleaseIfLarge(std::string& buffer) {
    if (buffer.empty() && buffer.capacity() > kKeptCapacity)
        std::string().swap(buffer);
}

std::string Printable(std::string_view s, size_t max = 60) {
    std::string out(s.substr(0, max));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return out;
}

} // namespace

bool Server::MayTakeRequest(const Connection& c) const {
    // A connection that owes nothing always may: a lone client is never stuck.
    return c.Pending() == 0 ||
           (c.Pending() < kPendingPerConnection && m_outputBytes < m_options.outputMemory);
}

void Server::Process(Connection& c) {
    size_t answered = 0;
    while (!c.broken && !c.in.empty() && MayTakeRequest(c) && Clock::now() >= c.holdUntil) {
        ParseResult parsed = ParseRequest(c.in, m_options.limits);
        Response response;
        if (parsed.state == ParseState::Failed) {
            ++m_service.Counters().requests;
            response = Refuse(parsed.status, parsed.reason);
            response.close = true;
            LogLine(c, nullptr, response);
        } else {
            const bool whole = parsed.state == ParseState::Complete;
            c.headComplete = whole || parsed.headComplete;
            if (!c.headComplete)
                break;
            std::optional<Response> refusal;
            if (!c.headScreened) {
                // The credentials are checked before the body is read: a client that cannot log
                // in makes the server hold nothing for it.
                refusal = m_service.Screen(parsed.request);
                if (!refusal) {
                    c.headScreened = true;
                    if (!c.trusted)
                        m_throttle.Succeeded(c.address);
                }
            }
            if (!refusal && !whole) {
                c.bodyNeeded = parsed.needed;
                ReserveBody(c);
                break;
            }
            if (whole) {
                c.in.erase(0, parsed.consumed);
                ReleaseBody(c);
                if (!c.in.empty())
                    c.headStarted = Clock::now();
            }
            response = refusal ? LoginFailed(c, parsed.request, std::move(*refusal), !whole)
                               : m_service.Serve(parsed.request);
            LogLine(c, &parsed.request, response);
        }
        Queue(c, response);
        // A client that sent many requests at once gets their answers as they are ready, a few
        // at a time, so that it sends more while the rest are served rather than waiting for
        // the whole run.
        if (++answered % kAnswersPerSend == 0)
            SendSome(c);
        if (response.close) {
            c.closeAfterWrite = true;
            c.broken = true;
            std::string().swap(c.in); // nothing more is read: hold no memory for it
            ReleaseBody(c);
            break;
        }
    }
    ReleaseIfLarge(c.in);
}

void Server::SendSome(Connection& c) {
    // Without waiting; a failure shows to Flush, which closes the connection. A held answer (a
    // throttled log-in) waits for its time.
    if (c.closed || c.Pending() == 0 || Clock::now() < c.holdUntil)
        return;
    const ssize_t n =
        ::send(c.fd, c.out.data() + c.outOffset, c.Pending(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
        c.outOffset += static_cast<size_t>(n);
        m_outputBytes -= static_cast<size_t>(n);
        c.lastActivity = Clock::now();
    }
}

void Server::Queue(Connection& c, const Response& response) {
    if (c.outOffset == c.out.size()) {
        c.out.clear();
        c.outOffset = 0;
    }
    const std::string bytes = SerializeResponse(response);
    c.out += bytes;
    m_outputBytes += bytes.size();
}

Response Server::LoginFailed(Connection& c, const Request& request, Response refusal,
                             bool bodyUnread) {
    const Clock::time_point now = Clock::now();
    const Clock::time_point answerAt = m_throttle.Failed(c.address, now, !c.trusted);
    // Logged even when quiet: someone may be guessing the password.
    if (c.trusted)
        std::fprintf(stderr, "ltpd: failed log-in through the gateway %s as '%s'\n",
                     c.address.c_str(), Printable(request.user, 30).c_str());
    else
        std::fprintf(stderr, "ltpd: failed log-in from %s as '%s' (%u in a row)\n",
                     c.address.c_str(), Printable(request.user, 30).c_str(),
                     m_throttle.Failures(c.address, now));
    if (answerAt > now)
        c.holdUntil = answerAt;
    // A body not read yet is never read. A guesser gets one try per connection once slowed; a
    // gateway keeps its connection, which serves others too.
    if (bodyUnread || (answerAt > now && !c.trusted))
        refusal.close = true;
    return refusal;
}

bool Server::ReserveBody(Connection& c) {
    if (c.bodyReserved > 0 || c.bodyNeeded == 0)
        return true;
    // One body always fits, however large the budget: a lone client is never stuck.
    if (m_bodyBytes > 0 && m_bodyBytes + c.bodyNeeded > m_options.bodyMemory)
        return false;
    c.bodyReserved = c.bodyNeeded;
    m_bodyBytes += c.bodyReserved;
    c.in.reserve(c.bodyNeeded); // read into once, never grown by doubling
    return true;
}

void Server::ReleaseBody(Connection& c) {
    m_bodyBytes -= c.bodyReserved;
    c.bodyReserved = 0;
    c.bodyNeeded = 0;
    c.headComplete = false;
    c.headScreened = false;
}

void Server::LogLine(const Connection& c, const Request* request, const Response& response) const {
    if (m_options.quiet)
        return;
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::string what = request ? Printable(request->user, 30) + " " + Printable(request->verb) +
                                     " " + Printable(request->object)
                               : std::string("- (unreadable request)");
    std::string outcome = std::to_string(response.status);
    if (response.status != 200)
        outcome += " " + Printable(response.reason, 120);
    std::fprintf(stderr, "%s %s %s -> %s (%zu bytes)\n", stamp, c.peer.c_str(), what.c_str(),
                 outcome.c_str(), response.body.size());
}

} // namespace ltpd
