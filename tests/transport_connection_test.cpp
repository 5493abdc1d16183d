// The connection's sending and framing, driven notification by notification through a socket
// double, so that every split of the bytes is exact.
#include "ltpadmin/platform/platform.h"
#include "ltpadmin/transport/admin_socket.h"
#include "ltpadmin/transport/connection.h"
#include "support/scripted_socket.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using ltptest::ScriptedSocket;

namespace {

class Probe : public CLTPConnection {
public:
    Probe() {
        socket = new ScriptedSocket(this);
        m_pSocket = socket;
    }
    using CLTPConnection::m_hEvent;
    using CLTPConnection::m_nError;
    using CLTPConnection::m_nMaxResponseBytes;
    using CLTPConnection::m_request;
    using CLTPConnection::m_response;

    bool Signalled() const { return WaitForSingleObject(m_hEvent, 0) == WAIT_OBJECT_0; }
    void Request(const std::string& bytes) {
        CMessage m;
        m.Append(bytes.data(), static_cast<ULONG>(bytes.size()));
        SetRequest(m);
    }
    std::string Sent() const { return socket->Sent(); }

    ScriptedSocket* socket; // owned by the connection
};

std::string Bytes(size_t n, char seed) {
    std::string s(n, ' ');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(seed + i % 23);
    return s;
}

} // namespace

TEST(LTPConnectionSending, GoesOutInPiecesOfAtMost1024Bytes) {
    struct Case {
        size_t length;
        std::vector<size_t> pieces;
    };
    const Case cases[] = {{1, {1}}, {1024, {1024}}, {1025, {1024, 1}}, {3000, {1024, 1024, 952}}};
    for (const Case& k : cases) {
        Probe c;
        const std::string request = Bytes(k.length, 'a');
        c.Request(request);
        for (size_t i = 0; i < k.pieces.size() + 2; ++i)
            c.OnSend(0); // extra notifications find nothing left to send
        ASSERT_EQ(c.socket->sent.size(), k.pieces.size()) << k.length;
        for (size_t i = 0; i < k.pieces.size(); ++i)
            EXPECT_EQ(c.socket->sent[i].size(), k.pieces[i]) << k.length;
        EXPECT_EQ(c.Sent(), request);
        EXPECT_EQ(c.m_request.GetLength(), 0u) << "sent requests are dropped";
        EXPECT_FALSE(c.Signalled());
    }
}

TEST(LTPConnectionSending, APartlyTakenPieceContinuesFromTheNewOffset) {
    Probe c;
    const std::string request = Bytes(2500, 'k');
    c.Request(request);
    c.socket->acceptAtMost = 300;
    for (int i = 0; i < 20; ++i)
        c.OnSend(0);
    EXPECT_EQ(c.Sent(), request);
    EXPECT_EQ(c.socket->sent.size(), 9u);
}

// A server may answer as soon as it has read the head (a refusal, say). Its answer stands, and the
// rest of the request still goes out.
TEST(LTPConnectionSending, AnAnswerThatArrivesBeforeTheLastPieceIsKept) {
    Probe c;
    const std::string request = Bytes(3000, 'r');
    const std::string answer = "LTP/1.0 413 Too long\r\nContent-Length: 0\r\n\r\n";
    c.Request(request);
    c.OnSend(0);
    c.socket->incoming.push_back(answer);
    c.OnReceive(0);
    ASSERT_TRUE(c.Signalled());
    c.OnSend(0);
    c.OnSend(0);
    EXPECT_EQ(c.Sent(), request);
    EXPECT_TRUE(c.Signalled());
    EXPECT_EQ(c.IsComplete(), 1);
    EXPECT_EQ(std::string(c.m_response.GetData(), c.m_response.GetLength()), answer);

    // The next request starts its response afresh with its first piece.
    c.Request("next");
    c.OnSend(0);
    EXPECT_FALSE(c.Signalled());
    EXPECT_EQ(c.m_response.GetLength(), 0u);
}

TEST(LTPConnectionSending, AFailedSendDropsTheRequestWithMinus3) {
    Probe c;
    c.Request(Bytes(5000, 'x'));
    c.socket->failSends = true;
    c.OnSend(0);
    EXPECT_EQ(c.m_nError, -3);
    EXPECT_TRUE(c.Signalled());
    EXPECT_EQ(c.m_request.GetLength(), 0u);
    c.socket->failSends = false;
    c.OnSend(0);
    EXPECT_TRUE(c.socket->sent.empty()) << "nothing more goes out";
}

TEST(LTPConnectionSending, EachConnectionKeepsItsOwnOffset) {
    // Two connections sending at once, their write notifications interleaved.
    Probe a, b;
    const std::string ra = Bytes(4000, 'A'), rb = Bytes(3100, 'a');
    a.Request(ra);
    b.Request(rb);
    for (int i = 0; i < 6; ++i) {
        a.OnSend(0);
        b.OnSend(0);
    }
    EXPECT_EQ(a.Sent(), ra);
    EXPECT_EQ(b.Sent(), rb);
}

TEST(LTPConnectionSending, NotificationErrorsEndTheRequestWithMinus6) {
    Probe sending, receiving;
    sending.Request("Get  AllUsers  LTP/1.0\r\n\r\n");
    sending.OnSend(WSAECONNRESET);
    EXPECT_EQ(sending.m_nError, -6);
    EXPECT_TRUE(sending.Signalled());
    receiving.OnReceive(WSAECONNRESET);
    EXPECT_EQ(receiving.m_nError, -6);
    EXPECT_TRUE(receiving.Signalled());
}

TEST(LTPConnectionReceiving, AFailedReceiveEndsTheRequestWithMinus2) {
    Probe c;
    c.socket->failReceives = true;
    c.OnReceive(0);
    EXPECT_EQ(c.m_nError, -2);
    EXPECT_TRUE(c.Signalled());
    EXPECT_FALSE(c.IsComplete());
}

TEST(LTPConnectionReceiving, AFailedConnectionAttemptEndsWithMinus4) {
    Probe c;
    c.OnConnect(0);
    EXPECT_FALSE(c.Signalled()) << "success is not signalled";
    c.OnConnect(WSAECONNREFUSED);
    EXPECT_EQ(c.m_nError, -4);
    EXPECT_TRUE(c.Signalled());
}

// The buffer makes room for the announced body when the head arrives, within a bound; either way
// the response is the bytes that came, complete only when the body is.
TEST(LTPConnectionReceiving, AnnouncedBodiesArriveIntactWhateverTheirLength) {
    for (unsigned long announced : {5000ul, 200000000ul}) {
        Probe c;
        const std::string head =
            "LTP/1.0 200 OK\r\nContent-Length: " + std::to_string(announced) + "\r\n\r\n";
        const std::string body = Bytes(5000, 'q');
        c.socket->incoming.push_back(head + body.substr(0, 100));
        c.OnReceive(0);
        EXPECT_FALSE(c.Signalled()) << announced;
        c.socket->incoming.push_back(body.substr(100));
        for (int i = 0; i < 10; ++i)
            c.OnReceive(0);
        EXPECT_EQ(c.Signalled(), announced == 5000) << announced;
        EXPECT_EQ(std::string(c.m_response.GetData(), c.m_response.GetLength()), head + body);
    }
}

// A response past its limit fails at the read that passes it (or at the head that announces it),
// its bytes released; later bytes are dropped. failsAt is 1-based, 0 for never.
TEST(LTPConnectionReceiving, AResponsePastItsLimitFailsAtOnce) {
    const std::string head = "LTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n"; // 38 bytes
    struct Case {
        const char* what;
        DWORD limit;
        std::vector<std::string> reads;
        size_t failsAt;
        bool complete;
    };
    const Case cases[] = {
        {"exactly the limit", 48, {head + "01234", "56789"}, 0, true},
        {"announced one byte past it", 47, {head, "0"}, 1, false},
        {"a whole response with more in its read", 48, {head + "0123456789+"}, 0, true},
        {"a head that never ends",
         100,
         {std::string(60, 'h'), std::string(60, 'h'), "x"},
         2,
         false},
        {"an endless body",
         100,
         {"LTP/1.0 200 OK\r\nContent-Length: -1\r\n\r\n", Bytes(70, 'a')},
         2,
         false},
        {"bytes after a whole response", 50, {head + "0123456789", "after"}, 0, true},
    };
    for (const Case& k : cases) {
        Probe c;
        c.m_nMaxResponseBytes = k.limit;
        size_t failedAt = 0;
        for (size_t i = 0; i < k.reads.size(); ++i) {
            c.socket->incoming.push_back(k.reads[i]);
            c.OnReceive(0);
            if (failedAt == 0 && c.m_nError != 0)
                failedAt = i + 1;
        }
        EXPECT_EQ(failedAt, k.failsAt) << k.what;
        EXPECT_EQ(c.Signalled(), k.complete || k.failsAt != 0) << k.what;
        EXPECT_EQ(c.IsComplete() != 0, k.complete) << k.what;
        if (k.failsAt != 0) {
            EXPECT_EQ(c.m_nError, -2) << k.what;
            EXPECT_EQ(c.m_response.GetData(), nullptr) << k.what << ": the bytes are released";
        } else {
            EXPECT_EQ(std::string(c.m_response.GetData(), c.m_response.GetLength()).substr(0, 48),
                      head + "0123456789")
                << k.what;
            EXPECT_LE(c.m_response.GetLength(), 49u) << k.what;
        }
        EXPECT_TRUE(c.socket->incoming.empty()) << k.what << ": what came later was read";
    }
}

TEST(LTPConnectionReceiving, ReadsAtMost1024BytesPerNotification) {
    Probe c;
    const std::string body = Bytes(3000, '0');
    const std::string response = "LTP/1.0 200 OK\r\nContent-Length: 3000\r\n\r\n" + body;
    c.socket->incoming.push_back(response);
    int reads = 0;
    while (!c.Signalled() && reads < 10) {
        c.OnReceive(0);
        ++reads;
        EXPECT_LE(c.m_response.GetLength(), static_cast<ULONG>(1024 * reads));
    }
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(std::string(c.m_response.GetData(), c.m_response.GetLength()), response);
}

TEST(LTPConnectionReceiving, AWriteNotificationStartsTheResponseAfresh) {
    Probe c;
    c.socket->incoming.push_back("LTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
    c.OnReceive(0);
    ASSERT_TRUE(c.Signalled());
    c.Request("Get  AllUsers  LTP/1.0\r\n\r\n");
    c.OnSend(0);
    EXPECT_FALSE(c.Signalled());
    EXPECT_EQ(c.m_response.GetData(), nullptr);
    EXPECT_FALSE(c.IsComplete());
    // The next response is framed on its own.
    c.socket->incoming.push_back("LTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nx");
    c.OnReceive(0);
    EXPECT_FALSE(c.Signalled());
}

TEST(LTPConnectionClosing, CloseSignalsWithCodeZeroAndPostsTheNotice) {
    Probe c;
    c.SetNotifyWnd(nullptr); // a thread message to this thread
    c.socket->incoming.push_back("LTP/1.0 200 OK\r\nContent-Length: 50\r\n\r\npart");
    c.OnReceive(0);
    c.OnClose();
    EXPECT_TRUE(c.Signalled());
    EXPECT_EQ(c.m_nError, 0);
    EXPECT_FALSE(c.IsComplete()) << "a cut-off response never counts as whole";
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_LTP_CLOSED));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(msg.lParam, 0);
}
