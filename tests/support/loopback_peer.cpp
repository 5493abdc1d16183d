#include "support/loopback_peer.h"

#include <cstdlib>
#include <cstring>

namespace ltptest {

std::string MakeResponse(int status, const std::string& reason, const std::string& body) {
    return "LTP/1.0 " + std::to_string(status) + reason +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

struct LoopbackPeer::Step {
    enum Kind {
        Accept,
        Expect,
        ExpectBytes,
        ExpectRequest,
        Send,
        Pause,
        Close,
        Reset,
        Silent,
        Serve
    };
    Kind kind;
    std::string bytes;
    std::vector<std::size_t> sizes;
    Millis pause{0};
    std::size_t count = 0;
    Handler handler;
};

LoopbackPeer::LoopbackPeer() {
    m_listen = BoundLoopbackSocket(&m_port);
    if (!WakePair(m_wake) || m_listen == kNoSocket || listen(m_listen, 8) != 0)
        std::abort();
}

LoopbackPeer::~LoopbackPeer() {
    if (m_thread.joinable()) {
        Wake();
        m_thread.join();
    }
    CloseConnection();
    CloseSocket(m_listen);
    CloseSocket(m_wake[0]);
    CloseSocket(m_wake[1]);
}

unsigned int LoopbackPeer::Address() const {
    return htonl(INADDR_LOOPBACK);
}

LoopbackPeer& LoopbackPeer::Accept() {
    m_steps.push_back(Step{Step::Accept, {}, {}, {}, 0, {}});
    return *this;
}

LoopbackPeer& LoopbackPeer::Expect(const std::string& expected) {
    m_steps.push_back(Step{Step::Expect, expected, {}, {}, expected.size(), {}});
    return *this;
}

LoopbackPeer& LoopbackPeer::ExpectBytes(std::size_t count) {
    m_steps.push_back(Step{Step::ExpectBytes, {}, {}, {}, count, {}});
    return *this;
}

LoopbackPeer& LoopbackPeer::ExpectRequest() {
    m_steps.push_back(Step{Step::ExpectRequest, {}, {}, {}, 0, {}});
    return *this;
}

LoopbackPeer& LoopbackPeer::Send(const std::string& bytes) {
    return SendPieces(bytes, {}, Millis(0));
}

LoopbackPeer& LoopbackPeer::SendPieces(const std::string& bytes,
                                       const std::vector<std::size_t>& sizes, Millis pause) {
    m_steps.push_back(Step{Step::Send, bytes, sizes, pause, 0, {}});
    return *this;
}

LoopbackPeer& LoopbackPeer::Pause(Millis duration) {
    m_steps.push_back(Step{Step::Pause, {}, {}, duration, 0, {}});
    return *this;
}

LoopbackPeer& LoopbackPeer::Close() {
    m_steps.push_back(Step{Step::Close, {}, {}, {}, 0, {}});
    return *this;
}

LoopbackPeer& LoopbackPeer::Reset() {
    m_steps.push_back(Step{Step::Reset, {}, {}, {}, 0, {}});
    return *this;
}

LoopbackPeer& LoopbackPeer::StaySilent() {
    m_steps.push_back(Step{Step::Silent, {}, {}, {}, 0, {}});
    return *this;
}

LoopbackPeer& LoopbackPeer::Respond(const std::string& response) {
    return ExpectRequest().Send(response);
}

LoopbackPeer& LoopbackPeer::Serve(const std::vector<std::string>& responses) {
    for (const std::string& response : responses)
        Respond(response);
    return *this;
}

LoopbackPeer& LoopbackPeer::ServeEach(Handler handler) {
    m_steps.push_back(Step{Step::Serve, {}, {}, {}, 0, std::move(handler)});
    return *this;
}

LoopbackPeer& LoopbackPeer::Start() {
    m_thread = std::thread([this] { Run(); });
    return *this;
}

bool LoopbackPeer::Finish(Millis timeout) {
    bool finished;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        finished = m_doneChanged.wait_for(lock, timeout, [this] { return m_done; });
    }
    if (!finished)
        Wake();
    if (m_thread.joinable())
        m_thread.join();
    return finished;
}

std::vector<std::string> LoopbackPeer::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

std::string LoopbackPeer::Received() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

std::vector<std::string> LoopbackPeer::Failures() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failures;
}

int LoopbackPeer::Connections() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_connections;
}

void LoopbackPeer::Fail(const std::string& what) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failures.push_back(what);
}

void LoopbackPeer::Record(const char* data, std::size_t length) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_received.append(data, length);
}

void LoopbackPeer::Run() {
    for (const Step& step : m_steps) {
        if (!RunStep(step))
            break;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_done = true;
    m_doneChanged.notify_all();
}

bool LoopbackPeer::EnsureConnection() {
    if (m_conn != kNoSocket)
        return true;
    PollEntry fds[2] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    for (;;) {
        if (Poll(fds, 2, -1) < 0)
            return false;
        if (fds[1].revents != 0)
            return false;
        if (fds[0].revents != 0)
            break;
    }
    m_conn = accept(m_listen, nullptr, nullptr);
    if (m_conn == kNoSocket) {
        Fail("accept failed");
        return false;
    }
    NoDelay(m_conn);
    m_pending.clear();
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_connections;
    return true;
}

void LoopbackPeer::Wake() {
    const char stop = 1;
    send(m_wake[1], &stop, 1, kSendFlags);
}

void LoopbackPeer::CloseConnection() {
    CloseSocket(m_conn);
    m_conn = kNoSocket;
    m_pending.clear();
}

LoopbackPeer::Read LoopbackPeer::ReadMore(int timeoutMs) {
    PollEntry fds[2] = {{m_conn, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    for (;;) {
        const int ready = Poll(fds, 2, timeoutMs);
        if (ready < 0 || fds[1].revents != 0)
            return Read::Stopped;
        if (ready == 0)
            return Read::Done; // nothing more within the time given
        break;
    }
    char buffer[65536];
    const int n = static_cast<int>(recv(m_conn, buffer, sizeof buffer, 0));
    if (n <= 0)
        return Read::Closed;
    Record(buffer, static_cast<std::size_t>(n));
    m_pending.append(buffer, static_cast<std::size_t>(n));
    return Read::Done;
}

bool LoopbackPeer::ReadExactly(std::size_t count, std::string& out) {
    while (m_pending.size() < count) {
        if (ReadMore(-1) != Read::Done) {
            out = m_pending;
            m_pending.clear();
            return false;
        }
    }
    out = m_pending.substr(0, count);
    m_pending.erase(0, count);
    return true;
}

bool LoopbackPeer::ReadRequest(std::string& out, bool& sawNothing) {
    sawNothing = false;
    std::size_t headEnd;
    while ((headEnd = m_pending.find("\r\n\r\n")) == std::string::npos) {
        const Read result = ReadMore(-1);
        if (result != Read::Done) {
            sawNothing = m_pending.empty();
            out = m_pending;
            m_pending.clear();
            return false;
        }
    }
    std::size_t length = headEnd + 4;
    const std::size_t header = m_pending.find("Content-Length:");
    if (header != std::string::npos && header < headEnd) {
        length += static_cast<std::size_t>(std::atol(m_pending.c_str() + header + 15));
        return ReadExactly(length, out);
    }
    // No byte count: a key body, if any, is one line of elements. The client sends requests in
    // pieces of 1024 bytes, so a head ending on such a boundary may have its body still on the way.
    if (m_pending.size() == length && length % 1024 == 0 && ReadMore(200) == Read::Stopped)
        return false;
    if (m_pending.size() > length && m_pending[length] == '<') {
        std::size_t lineEnd;
        while ((lineEnd = m_pending.find("\r\n", length)) == std::string::npos) {
            if (ReadMore(-1) != Read::Done) {
                out = m_pending;
                m_pending.clear();
                return false;
            }
        }
        length = lineEnd + 2;
    }
    out = m_pending.substr(0, length);
    m_pending.erase(0, length);
    return true;
}

bool LoopbackPeer::WriteAll(const char* data, std::size_t length) {
    while (length > 0) {
        const int piece = length < 65536 ? static_cast<int>(length) : 65536;
        const int n = static_cast<int>(send(m_conn, data, piece, kSendFlags));
        if (n <= 0) {
            Fail("send failed: " + std::string(LastSocketError()));
            return false;
        }
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool LoopbackPeer::Sleep(Millis duration) {
    PollEntry fd = {m_wake[0], POLLIN, 0};
    const auto end = std::chrono::steady_clock::now() + duration;
    for (;;) {
        // Rounded up: a pause shorter than what is left of a millisecond still waits.
        const auto left = std::chrono::ceil<Millis>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return true;
        const int ready = Poll(&fd, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return false;
    }
}

bool LoopbackPeer::RunStep(const Step& step) {
    switch (step.kind) {
        case Step::Accept:
            CloseConnection();
            return EnsureConnection();
        case Step::Expect:
        case Step::ExpectBytes: {
            if (!EnsureConnection())
                return false;
            std::string got;
            const bool whole = ReadExactly(step.count, got);
            if (!whole)
                Fail("connection ended after " + std::to_string(got.size()) + " of " +
                     std::to_string(step.count) + " expected bytes");
            else if (step.kind == Step::Expect && got != step.bytes)
                Fail("expected \"" + step.bytes + "\", received \"" + got + "\"");
            return whole;
        }
        case Step::ExpectRequest: {
            if (!EnsureConnection())
                return false;
            std::string request;
            bool sawNothing = false;
            const bool whole = ReadRequest(request, sawNothing);
            if (!sawNothing) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(request);
            }
            if (!whole)
                Fail("connection ended inside a request (" + std::to_string(request.size()) +
                     " bytes)");
            return whole;
        }
        case Step::Send: {
            if (!EnsureConnection())
                return false;
            std::size_t offset = 0;
            for (std::size_t i = 0; i < step.sizes.size() && offset < step.bytes.size(); ++i) {
                if (i > 0 && !Sleep(step.pause))
                    return false;
                const std::size_t piece = std::min(step.sizes[i], step.bytes.size() - offset);
                if (!WriteAll(step.bytes.data() + offset, piece))
                    return false;
                offset += piece;
            }
            if (offset < step.bytes.size()) {
                if (offset > 0 && !Sleep(step.pause))
                    return false;
                return WriteAll(step.bytes.data() + offset, step.bytes.size() - offset);
            }
            return true;
        }
        case Step::Pause:
            return Sleep(step.pause);
        case Step::Close:
            CloseConnection();
            return true;
        case Step::Reset:
            if (m_conn != kNoSocket)
                AbortOnClose(m_conn);
            CloseConnection();
            return true;
        case Step::Silent:
            if (!EnsureConnection())
                return false;
            while (ReadMore(-1) == Read::Done) {
            }
            return true;
        case Step::Serve:
            if (!EnsureConnection())
                return false;
            for (;;) {
                std::string request;
                bool sawNothing = false;
                if (!ReadRequest(request, sawNothing)) {
                    if (!sawNothing)
                        Fail("connection ended inside a request");
                    return true;
                }
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_requests.push_back(request);
                }
                const std::string response = step.handler(request);
                if (!WriteAll(response.data(), response.size()))
                    return false;
            }
    }
    return false;
}

} // namespace ltptest
