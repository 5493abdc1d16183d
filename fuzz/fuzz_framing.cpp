// The receiving side of the connection under arbitrary bytes in arbitrary pieces: read
// notifications hand over pieces of any size, interleaved with failed reads, the server's close and
// new requests. After every step the connection must hold exactly the bytes handed out since the
// request went out, report the response whole exactly when a plain reading of the head and its
// "Content-Length:" says so, and keep its error code and event consistent. A response bound small
// enough for the inputs to pass makes the connection fail (or, after a whole response, drop)
// what goes past it.
//
// Input: a series of steps. Each step's first byte chooses what happens; a read takes a size byte
// and then that many bytes of the input.
#include "ltpadmin/platform/platform.h"
#include "ltpadmin/transport/admin_socket.h"
#include "ltpadmin/transport/connection.h"
#include "tests/support/scripted_socket.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

using ltptest::ScriptedSocket;

namespace {

// The most bytes one response may hold, within reach of the longest inputs.
const DWORD kLimit = 6000;

void Require(bool condition) {
    if (!condition)
        __builtin_trap();
}

class Probe : public CLTPConnection {
public:
    Probe() {
        socket = new ScriptedSocket(this);
        m_pSocket = socket;
        SetNotifyWnd(nullptr); // the closing notice goes to this thread's own queue
        m_nMaxResponseBytes = kLimit;
    }
    using CLTPConnection::m_hEvent;
    using CLTPConnection::m_nContentLength;
    using CLTPConnection::m_nError;
    using CLTPConnection::m_request;
    using CLTPConnection::m_response;

    bool Signalled() const { return WaitForSingleObject(m_hEvent, 0) == WAIT_OBJECT_0; }

    ScriptedSocket* socket; // owned by the connection
};

// What a plain reading of the bytes says: the head ends at the first blank line; the
// "Content-Length:" in the head gives the body's length by atoi's rules within its own line; a
// response is whole once that many body bytes have arrived, at once when the length is 0, never
// when it is negative. A response not yet whole is over its bound once it holds more than kLimit
// bytes, or its head announces more. Kept up to date read by read, so that long inputs stay fast.
class Framing {
public:
    void Reset() { *this = Framing(); }
    void Update(const std::string& bytes) {
        if (m_blank == std::string::npos) {
            m_blank = bytes.find("\r\n\r\n", m_scanned >= 3 ? m_scanned - 3 : 0);
            m_scanned = bytes.size();
            if (m_blank == std::string::npos) {
                over = bytes.size() > kLimit;
                return;
            }
            const std::string head = bytes.substr(0, m_blank + 2);
            const size_t header = head.find("Content-Length:");
            if (header != std::string::npos) {
                const size_t from = header + 15;
                const size_t lineEnd = head.find_first_of("\r\n", from);
                const std::string value = head.substr(from, lineEnd - from);
                const long n = std::strtol(value.c_str(), nullptr, 10);
                contentLength = n > INT_MAX ? INT_MAX : n < INT_MIN ? INT_MIN : static_cast<int>(n);
            }
            headSeen = true;
        }
        const size_t body = bytes.size() - (m_blank + 4);
        if (contentLength < 0)
            over = bytes.size() > kLimit;
        else if (m_blank + 4 + static_cast<size_t>(contentLength) > kLimit)
            over = true;
        else
            whole = body >= static_cast<size_t>(contentLength);
    }

    bool headSeen = false;
    int contentLength = 0;
    bool whole = false;
    bool over = false;

private:
    size_t m_blank = std::string::npos;
    size_t m_scanned = 0;
};

class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Empty() const { return m_pos >= m_size; }
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    std::string Bytes(size_t n) {
        n = std::min(n, m_size - m_pos);
        std::string s(reinterpret_cast<const char*>(m_data + m_pos), n);
        m_pos += n;
        return s;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

void DrainQueue() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        Require(msg.message == WM_LTP_CLOSED);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    Probe c;
    Framing f;
    bool failed = false;   // an error ended the current request
    size_t kept = 0;       // bytes the response holds
    bool dropping = false; // the response went past its bound: later bytes are dropped
    while (!in.Empty()) {
        const uint8_t op = in.Byte();
        if (op < 200) {
            // A read notification; the peer's bytes arrive in a piece of up to 2 KB (more than
            // one read's worth), what one read leaves behind waiting for the next.
            const size_t length = op < 100 ? op : static_cast<size_t>(op - 100) * 20;
            const std::string piece = in.Bytes(length);
            if (!piece.empty())
                c.socket->incoming.push_back(piece);
            const bool wasComplete = c.IsComplete() != 0;
            const size_t before = c.socket->handedOut.size();
            c.OnReceive(0);
            const std::string& got = c.socket->handedOut;
            const size_t n = got.size() - before;
            Require(n <= 1024);
            bool passed = false; // this read took the response past its bound
            if (!dropping && wasComplete && kept + n > kLimit) {
                dropping = true;
            } else if (!dropping) {
                kept += n;
                if (!wasComplete) {
                    f.Update(got);
                    passed = f.over;
                }
            }
            if (passed) {
                // Failed at once, its bytes released.
                Require(c.m_nError == -2 && c.Signalled() && !c.IsComplete());
                Require(c.m_response.GetData() == nullptr);
                kept = 0;
                dropping = true;
                failed = true;
                continue;
            }
            // Nothing lost, added or reordered: the buffer holds exactly what was handed out,
            // up to where the bound stopped it.
            Require(c.m_response.GetLength() == kept);
            Require(kept <= before || dropping ||
                    std::memcmp(c.m_response.GetData() + before, got.data() + before,
                                kept - before) == 0);
            Require(c.m_response.GetData() == nullptr ||
                    c.m_response.GetData()[c.m_response.GetLength()] == 0);
            if (failed)
                continue;
            if (wasComplete) {
                Require(c.IsComplete() && c.Signalled());
                continue;
            }
            // The response is judged as it stood at the read that made it whole.
            Require((c.IsComplete() != 0) == f.whole);
            Require(c.Signalled() == f.whole);
            if (f.headSeen)
                Require(c.m_nContentLength == f.contentLength);
            if (f.whole)
                Require(c.m_nError == 0);
        } else if (op < 210) {
            c.OnReceive(WSAECONNRESET);
            Require(c.m_nError == -6 && c.Signalled());
            failed = true;
        } else if (op < 220) {
            c.socket->failReceives = true;
            const bool wasComplete = c.IsComplete() != 0;
            c.OnReceive(0);
            c.socket->failReceives = false;
            Require(c.m_nError == -2 && c.Signalled());
            Require((c.IsComplete() != 0) == wasComplete);
            failed = true;
        } else if (op < 230) {
            const bool wasComplete = c.IsComplete() != 0;
            c.OnClose();
            Require(c.m_nError == 0 && c.Signalled());
            Require((c.IsComplete() != 0) == wasComplete);
            DrainQueue();
            failed = true; // the connection is gone; nothing more is judged until a new request
        } else {
            // A new request of up to 3 KB goes out in pieces of a chosen size; the response
            // starts afresh with the first write notification.
            const size_t length = static_cast<size_t>(op - 229) * 100;
            c.socket->acceptAtMost = 1 + in.Byte() * 4;
            CMessage request;
            const std::string bytes(length, 'r');
            request.Append(bytes.data(), static_cast<ULONG>(bytes.size()));
            c.socket->sent.clear();
            c.socket->offered.clear();
            c.SetRequest(request);
            for (int i = 0; i < 4096 && c.m_request.GetLength() != 0; ++i)
                c.OnSend(0);
            Require(c.socket->Sent() == bytes);
            for (const int offer : c.socket->offered)
                Require(offer > 0 && offer <= 1024);
            Require(!c.Signalled() && !c.IsComplete() && c.m_response.GetLength() == 0);
            c.socket->handedOut.clear();
            c.socket->incoming.clear();
            f.Reset();
            failed = false;
            kept = 0;
            dropping = false;
        }
    }
    DrainQueue();
    return 0;
}
