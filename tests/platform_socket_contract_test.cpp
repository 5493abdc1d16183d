// What the connection relies on of CAsyncSocket, checked the same over the POSIX stand-in and over
// Windows Sockets: one close notice, nothing of a closed socket for its successor, bytes behind
// every read notice, every byte whatever the reads are like, small sends from write notices
// arriving whole and in order, and the sockets Create refuses.
#include "ltpadmin/platform/platform.h"
#include "support/loopback_peer.h"
#include "support/pump.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using ltptest::LoopbackPeer;
using ltptest::Pump;
using Millis = std::chrono::milliseconds;

namespace {

constexpr long kAll = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;

class Client : public CAsyncSocket {
public:
    int connects = 0, writes = 0, reads = 0, closes = 0;
    int failedReads = 0; // a read notice with nothing to read
    std::string received;
    std::string peeks;  // what peeking showed, one after the other
    std::string toSend; // sent 1024 bytes per write notice
    size_t sent = 0;
    size_t readSize = 1024; // what each read notice asks for
    bool peekFirst = false; // and peeks at before

    bool Open(const LoopbackPeer& peer) {
        if (!Create(0, SOCK_STREAM, kAll))
            return false;
        return Connect("127.0.0.1", peer.Port()) || GetLastError() == WSAEWOULDBLOCK;
    }
    void OnConnect(int) override { ++connects; }
    void OnClose(int) override { ++closes; }
    void OnReceive(int) override {
        ++reads;
        std::vector<char> buffer(readSize);
        const int size = static_cast<int>(readSize);
        if (peekFirst) {
            const int peeked = Receive(buffer.data(), size, MSG_PEEK);
            if (peeked > 0)
                peeks.append(buffer.data(), static_cast<size_t>(peeked));
        }
        const int n = Receive(buffer.data(), size);
        if (n > 0)
            received.append(buffer.data(), static_cast<size_t>(n));
        else if (n == SOCKET_ERROR)
            ++failedReads;
    }
    void OnSend(int) override {
        ++writes;
        if (sent == toSend.size())
            return;
        const size_t rest = toSend.size() - sent;
        const int n = Send(toSend.data() + sent, rest < 1024 ? static_cast<int>(rest) : 1024);
        if (n > 0)
            sent += static_cast<size_t>(n);
        if (sent < toSend.size() && (n > 0 || GetLastError() != WSAEWOULDBLOCK))
            AsyncSelect(kAll); // one more write notice
    }
};

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('a' + (i * 7 + i / 1024) % 26);
    return s;
}

// The tests run on threads of their own: sockets and their notices belong to the thread.
template <class F> void OnFreshThread(F body) {
    std::thread(body).join();
}

} // namespace

TEST(SocketContract, OneCloseNoticeWhateverIsSelectedAfterIt) {
    OnFreshThread([] {
        LoopbackPeer peer;
        peer.Accept().Close().Start();
        Client c;
        ASSERT_TRUE(c.Open(peer));
        ASSERT_TRUE(Pump([&] { return c.closes > 0; }));
        for (int i = 0; i < 3; ++i)
            c.AsyncSelect(kAll);
        Pump([] { return false; }, 200);
        EXPECT_EQ(c.closes, 1);
        EXPECT_EQ(c.connects, 1);
        EXPECT_TRUE(peer.Finish());
    });
}

TEST(SocketContract, ANewSocketHearsNothingOfTheClosedOneBefore) {
    struct Case {
        const char* what;
        bool sendFirst; // the old peer sends a byte before it closes
    };
    for (const Case k : {Case{"close", false}, Case{"byte, then close", true}}) {
        OnFreshThread([&k] {
            LoopbackPeer old, quiet;
            (k.sendFirst ? old.Accept().Send("x") : old.Accept()).Close().Start();
            quiet.Accept().Pause(Millis(400)).Start();
            auto first = std::make_unique<Client>();
            ASSERT_TRUE(first->Open(old));
            ASSERT_TRUE(old.Finish());
            // Its notices are queued or on their way, none dispatched.
            std::this_thread::sleep_for(Millis(100));
            first.reset();
            Client next; // the system gives it the handle of the first, as a rule
            ASSERT_TRUE(next.Open(quiet));
            Pump([] { return false; }, 250);
            EXPECT_EQ(next.connects, 1) << k.what;
            EXPECT_EQ(next.reads, 0) << k.what;
            EXPECT_EQ(next.closes, 0) << k.what;
            next.Close();
            EXPECT_TRUE(quiet.Finish());
        });
    }
}

TEST(SocketContract, EveryReadNoticeHasBytesBehindIt) {
    OnFreshThread([] {
        const std::string data = Pattern(2560 * 1024);
        LoopbackPeer peer;
        // Pieces that arrive while the earlier ones are still being read: the system notifies of
        // bytes that a read-ahead may take before its notice is dispatched.
        peer.Accept()
            .SendPieces(data, std::vector<size_t>(40, 64 * 1024), Millis(1))
            .Close()
            .Start();
        Client c;
        ASSERT_TRUE(c.Open(peer));
        ASSERT_TRUE(Pump([&] { return c.closes > 0; }, 10000));
        EXPECT_EQ(c.failedReads, 0);
        EXPECT_TRUE(c.received == data) << c.received.size() << " of " << data.size();
        EXPECT_EQ(c.closes, 1);
        EXPECT_TRUE(peer.Finish());
    });
}

TEST(SocketContract, SmallSendsFromWriteNoticesArriveWholeAndInOrder) {
    OnFreshThread([] {
        Client c;
        c.toSend = Pattern(3 * 1024 * 1024);
        LoopbackPeer peer;
        peer.Expect(c.toSend).Send("done").Close().Start();
        ASSERT_TRUE(c.Open(peer));
        ASSERT_TRUE(Pump([&] { return c.closes > 0; }, 20000));
        EXPECT_EQ(c.sent, c.toSend.size());
        EXPECT_EQ(c.received, "done");
        ASSERT_TRUE(peer.Finish());
        EXPECT_TRUE(peer.Failures().empty()) << peer.Failures().front();
    });
}

TEST(SocketContract, EveryByteArrivesWhateverTheReadsAreLike) {
    struct Case {
        const char* what;
        size_t readSize;
        bool peekFirst;
    };
    const std::string data = Pattern(1200 * 1024);
    for (const Case k : {Case{"small reads", 1000, false}, Case{"peeked first", 1000, true},
                         Case{"larger than any read-ahead", 300 * 1024, false}}) {
        OnFreshThread([&] {
            LoopbackPeer peer;
            peer.Accept().SendPieces(data, std::vector<size_t>(12, 100 * 1024), Millis(1));
            peer.Close().Start();
            Client c;
            c.readSize = k.readSize;
            c.peekFirst = k.peekFirst;
            ASSERT_TRUE(c.Open(peer)) << k.what;
            ASSERT_TRUE(Pump([&] { return c.closes > 0; }, 10000)) << k.what;
            EXPECT_EQ(c.failedReads, 0) << k.what;
            EXPECT_TRUE(c.received == data) << k.what << ": " << c.received.size();
            if (k.peekFirst) { // each peek showed what the read after it took
                EXPECT_TRUE(c.peeks == data) << k.what << ": " << c.peeks.size();
            }
            char byte;
            EXPECT_EQ(c.Receive(&byte, 1), 0) << k.what << ": the end, again";
            EXPECT_TRUE(peer.Finish());
        });
    }
}

TEST(SocketContract, CreateRefusesWhatItCannotMake) {
    struct Case {
        const char* what;
        int type;
        const char* address;
        bool twice;
        int error;
    };
    for (const Case k : {Case{"a second socket", SOCK_STREAM, nullptr, true, WSAEINVAL},
                         Case{"not TCP", SOCK_DGRAM, nullptr, false, WSAEPROTOTYPE},
                         Case{"a name as the address", SOCK_STREAM, "localhost", false, WSAEINVAL},
                         Case{"bound to loopback", SOCK_STREAM, "127.0.0.1", false, 0}}) {
        OnFreshThread([&] {
            CAsyncSocket s;
            if (k.twice) {
                ASSERT_TRUE(s.Create()) << k.what;
            }
            EXPECT_EQ(s.Create(0, k.type, kAll, k.address) != FALSE, k.error == 0) << k.what;
            if (k.error != 0) {
                EXPECT_EQ(CAsyncSocket::GetLastError(), k.error) << k.what;
                return;
            }
            CString address;
            UINT port = 0;
            ASSERT_TRUE(s.GetSockName(address, port)) << k.what;
            EXPECT_EQ(address, "127.0.0.1") << k.what;
            EXPECT_NE(port, 0u) << k.what;
        });
    }
}
