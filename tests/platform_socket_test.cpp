#include "ltpadmin/platform/platform.h"
#include "support/pump.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using ltptest::Pump;
using Events = std::vector<std::pair<int, int>>; // (FD_ bit, error code)

// Records its notifications; reads on FD_READ unless told not to.
class RecordingSocket : public CAsyncSocket {
public:
    Events events;
    std::string received;
    bool readOnNotify = true;
    int readSize = 1024;
    int largestRead = 0;
    std::function<void()> onSend;

    void OnReceive(int e) override {
        events.emplace_back(FD_READ, e);
        if (!readOnNotify)
            return;
        std::vector<char> buf(static_cast<size_t>(readSize));
        int n = Receive(buf.data(), readSize);
        if (n > 0) {
            received.append(buf.data(), static_cast<size_t>(n));
            largestRead = std::max(largestRead, n);
        }
    }
    void OnSend(int e) override {
        events.emplace_back(FD_WRITE, e);
        if (onSend)
            onSend();
    }
    void OnConnect(int e) override { events.emplace_back(FD_CONNECT, e); }
    void OnClose(int e) override { events.emplace_back(FD_CLOSE, e); }
    void OnAccept(int e) override { events.emplace_back(FD_ACCEPT, e); }

    int Count(int bit) const {
        int n = 0;
        for (auto& e : events)
            n += e.first == bit;
        return n;
    }
};

// A blocking loopback listener on a port of its own.
class Listener {
public:
    Listener() {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(fd_, 4);
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~Listener() { close(fd_); }
    UINT port() const { return port_; }
    int Accept() { return accept(fd_, nullptr, nullptr); }

private:
    int fd_;
    UINT port_;
};

void PumpFor(int ms) {
    Pump([] { return false; }, ms);
}

// Waits, without dispatching anything, until a socket notification is in the queue.
bool NotificationQueued() {
    for (int i = 0; i < 5000; ++i) {
        MSG m;
        if (PeekMessageA(&m, nullptr, WM_SOCKET_NOTIFY, WM_SOCKET_NOTIFY, PM_NOREMOVE))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

template <class F> void OnFreshThread(F body) {
    std::thread(body).join();
}

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('a' + (i * 7 + i / 1024) % 26);
    return s;
}

void WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

// Connects a socket to the listener and takes the peer's end; the socket has seen FD_CONNECT and
// FD_WRITE when this returns.
int ConnectPair(RecordingSocket& s, Listener& l) {
    EXPECT_TRUE(s.Create());
    if (!s.Connect("127.0.0.1", l.port())) {
        EXPECT_EQ(CAsyncSocket::GetLastError(), WSAEWOULDBLOCK);
    }
    int peer = l.Accept();
    EXPECT_TRUE(Pump([&] { return s.Count(FD_WRITE) > 0; }));
    return peer;
}

} // namespace

TEST(AsyncSocket, ConnectThenOneWriteNotificationPerSelect) {
    OnFreshThread([] {
        for (const char* host : {"127.0.0.1", "localhost"}) {
            Listener l;
            RecordingSocket s;
            ASSERT_TRUE(s.Create());
            s.Connect(host, l.port());
            int peer = l.Accept();
            ASSERT_TRUE(Pump([&] { return s.events.size() >= 2; })) << host;
            PumpFor(50);
            EXPECT_EQ(s.events, (Events{{FD_CONNECT, 0}, {FD_WRITE, 0}})) << host;

            s.events.clear();
            s.AsyncSelect(FD_READ | FD_WRITE | FD_CLOSE);
            PumpFor(50);
            EXPECT_EQ(s.events, (Events{{FD_WRITE, 0}})) << "one per select: " << host;
            close(peer);
        }
    });
}

TEST(AsyncSocket, RefusedConnectionIsReportedByFdConnect) {
    OnFreshThread([] {
        UINT port;
        {
            Listener gone; // a port nobody listens on any more
            port = gone.port();
        }
        RecordingSocket s;
        ASSERT_TRUE(s.Create());
        s.Connect("127.0.0.1", port);
        ASSERT_TRUE(Pump([&] { return !s.events.empty(); }));
        PumpFor(50);
        EXPECT_EQ(s.events, (Events{{FD_CONNECT, WSAECONNREFUSED}}));
        char c;
        EXPECT_EQ(s.Send("x", 1), SOCKET_ERROR);
        EXPECT_EQ(s.Receive(&c, 1), SOCKET_ERROR);
    });
}

TEST(AsyncSocket, ReadNotificationWaitsForReceiveAndIsNeverSpurious) {
    OnFreshThread([] {
        Listener l;
        RecordingSocket s;
        int peer = ConnectPair(s, l);
        s.events.clear();
        s.readOnNotify = false;
        WriteAll(peer, Pattern(3000));
        ASSERT_TRUE(Pump([&] { return s.Count(FD_READ) == 1; }));
        PumpFor(50);
        EXPECT_EQ(s.Count(FD_READ), 1) << "not again before Receive";

        char buf[4000];
        EXPECT_EQ(s.Receive(buf, 1000), 1000);
        ASSERT_TRUE(Pump([&] { return s.Count(FD_READ) == 2; })) << "re-armed with data left";
        EXPECT_EQ(s.Receive(buf, sizeof buf), 2000) << "the rest, in one piece";
        EXPECT_EQ(std::string(buf, 2000), Pattern(3000).substr(1000));
        PumpFor(50);
        EXPECT_EQ(s.Count(FD_READ), 2) << "nothing waits";
        EXPECT_EQ(s.Receive(buf, 10), SOCKET_ERROR);
        EXPECT_EQ(CAsyncSocket::GetLastError(), WSAEWOULDBLOCK);

        // Data taken while its notification is still queued: the notification is dropped.
        WriteAll(peer, "abc");
        ASSERT_TRUE(NotificationQueued());
        EXPECT_EQ(s.Receive(buf, 10), 3);
        PumpFor(50);
        EXPECT_EQ(s.Count(FD_READ), 2);
        close(peer);
    });
}

TEST(AsyncSocket, CloseComesOnceAfterTheDataBeforeIt) {
    OnFreshThread([] {
        for (bool readAtOnce : {true, false}) {
            Listener l;
            RecordingSocket s;
            int peer = ConnectPair(s, l);
            s.events.clear();
            s.readOnNotify = readAtOnce;
            std::string data = Pattern(5000);
            WriteAll(peer, data);
            close(peer);
            if (!readAtOnce) {
                ASSERT_TRUE(Pump([&] { return s.Count(FD_READ) == 1; }));
                PumpFor(50);
                EXPECT_EQ(s.Count(FD_CLOSE), 0) << "data still waits";
                s.readOnNotify = true;
                s.OnReceive(0); // take what waits, as the handler would have
            }
            ASSERT_TRUE(Pump([&] { return s.Count(FD_CLOSE) > 0; })) << readAtOnce;
            PumpFor(50);
            EXPECT_EQ(s.received, data) << readAtOnce;
            EXPECT_EQ(s.Count(FD_CLOSE), 1) << readAtOnce;
            EXPECT_EQ(s.events.back(), (std::pair<int, int>{FD_CLOSE, 0})) << readAtOnce;
            char c;
            EXPECT_EQ(s.Receive(&c, 1), 0) << "the end, after everything";
        }
    });
}

TEST(AsyncSocket, LargeTransfersArriveIntactInBothDirections) {
    OnFreshThread([] {
        Listener l;
        RecordingSocket s;
        int peer = ConnectPair(s, l);
        const std::string down = Pattern(3 * 1024 * 1024 + 17);
        const std::string up = Pattern(2 * 1024 * 1024 + 5);
        std::string peerGot;
        std::thread server([&] {
            WriteAll(peer, down);
            char buf[65536];
            while (peerGot.size() < up.size()) {
                ssize_t n = recv(peer, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                peerGot.append(buf, static_cast<size_t>(n));
            }
            shutdown(peer, SHUT_WR);
        });
        // Sends in 1024-byte pieces, one per write notification, as the library does.
        size_t sent = 0;
        s.onSend = [&] {
            if (sent >= up.size())
                return;
            size_t piece = std::min<size_t>(1024, up.size() - sent);
            int n = s.Send(up.data() + sent, static_cast<int>(piece));
            if (n > 0)
                sent += static_cast<size_t>(n);
            else
                ASSERT_EQ(CAsyncSocket::GetLastError(), WSAEWOULDBLOCK);
            if (sent < up.size() && n > 0)
                s.AsyncSelect(FD_READ | FD_WRITE);
            else if (sent >= up.size())
                s.AsyncSelect(FD_READ | FD_CLOSE);
        };
        s.AsyncSelect(FD_READ | FD_WRITE);
        EXPECT_TRUE(
            Pump([&] { return s.received.size() >= down.size() && sent >= up.size(); }, 30000));
        server.join();
        EXPECT_TRUE(s.received == down) << s.received.size() << " of " << down.size();
        EXPECT_TRUE(peerGot == up) << peerGot.size() << " of " << up.size();
        EXPECT_LE(s.largestRead, 1024);
        close(peer);
    });
}

TEST(AsyncSocket, WriteNotificationAfterASendThatWouldBlock) {
    OnFreshThread([] {
        Listener l;
        RecordingSocket s;
        int peer = ConnectPair(s, l);
        s.events.clear();
        std::string chunk(65536, 'z');
        size_t queued = 0;
        int n;
        while ((n = s.Send(chunk.data(), static_cast<int>(chunk.size()))) > 0)
            queued += static_cast<size_t>(n);
        ASSERT_EQ(CAsyncSocket::GetLastError(), WSAEWOULDBLOCK);
        PumpFor(50);
        EXPECT_EQ(s.Count(FD_WRITE), 0) << "cannot take data yet";
        std::thread drain([&] {
            char buf[65536];
            size_t got = 0;
            while (got < queued) {
                ssize_t r = recv(peer, buf, sizeof buf, 0);
                if (r <= 0)
                    break;
                got += static_cast<size_t>(r);
            }
        });
        EXPECT_TRUE(Pump([&] { return s.Count(FD_WRITE) == 1; }));
        drain.join();
        PumpFor(50);
        EXPECT_EQ(s.Count(FD_WRITE), 1);
        close(peer);
    });
}

TEST(AsyncSocket, SendToAClosedPeerFailsWithoutSigpipe) {
    OnFreshThread([] {
        struct sigaction before {};
        sigaction(SIGPIPE, nullptr, &before);
        EXPECT_TRUE(AfxSocketInit());
        EXPECT_TRUE(AfxSocketInit()) << "idempotent";
        struct sigaction after {};
        sigaction(SIGPIPE, nullptr, &after);
        EXPECT_EQ(before.sa_handler, after.sa_handler) << "signal handling left alone";

        Listener l;
        RecordingSocket s;
        int peer = ConnectPair(s, l);
        linger hard{1, 0}; // close with a reset
        setsockopt(peer, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        close(peer);
        ASSERT_TRUE(Pump([&] { return s.Count(FD_CLOSE) > 0; }));
        EXPECT_NE(s.events.back().second, 0) << "a reset is an error";
        int result = 0;
        for (int i = 0; i < 10 && result != SOCKET_ERROR; ++i)
            result = s.Send("data", 4);
        EXPECT_EQ(result, SOCKET_ERROR);
        EXPECT_NE(CAsyncSocket::GetLastError(), WSAEWOULDBLOCK);
    });
}

TEST(AsyncSocket, NotificationsRunOnTheCreatingThreadOnly) {
    Listener l;
    RecordingSocket* s = nullptr;
    int peer = -1;
    HANDLE connected = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE sent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    int waits = 0;
    std::thread owner([&] {
        s = new RecordingSocket;
        peer = ConnectPair(*s, l);
        SetEvent(connected);
        WaitForSingleObject(sent, INFINITE);
        // No timer: only the data can end the wait, and it must not spin meanwhile.
        while (s->received.empty()) {
            WaitMessage();
            ++waits;
            MSG m;
            while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&m);
        }
        delete s;
    });
    ASSERT_EQ(WaitForSingleObject(connected, 10000), WAIT_OBJECT_0);
    SetEvent(sent);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    PumpFor(20); // this thread's pumping must not run the other thread's socket
    WriteAll(peer, "ping");
    owner.join();
    EXPECT_LE(waits, 2);
    close(peer);
    CloseHandle(connected);
    CloseHandle(sent);
}

TEST(AsyncSocket, ClosingDropsQueuedNotifications) {
    OnFreshThread([] {
        Listener l;
        RecordingSocket s;
        int peer = ConnectPair(s, l);
        s.events.clear();
        s.AsyncSelect(FD_READ | FD_WRITE | FD_CLOSE);
        WriteAll(peer, "late");
        ASSERT_TRUE(NotificationQueued());
        s.Close();
        EXPECT_EQ(s.m_hSocket, INVALID_SOCKET);
        PumpFor(50);
        EXPECT_TRUE(s.events.empty());
        s.Close(); // twice is harmless
        close(peer);
    });
}

TEST(AsyncSocket, ListensAndAccepts) {
    OnFreshThread([] {
        RecordingSocket server;
        ASSERT_TRUE(server.Create(0, SOCK_STREAM, FD_ACCEPT, "127.0.0.1"));
        ASSERT_TRUE(server.Listen());
        CString address;
        UINT port = 0;
        ASSERT_TRUE(server.GetSockName(address, port));
        EXPECT_EQ(address, "127.0.0.1");
        RecordingSocket client, accepted;
        ASSERT_TRUE(client.Create());
        client.Connect("127.0.0.1", port);
        ASSERT_TRUE(Pump([&] { return server.Count(FD_ACCEPT) == 1 && client.Count(FD_WRITE); }));
        ASSERT_TRUE(server.Accept(accepted));
        accepted.AsyncSelect(FD_READ | FD_CLOSE);
        EXPECT_EQ(client.Send("hello", 5), 5);
        client.ShutDown();
        ASSERT_TRUE(Pump([&] { return accepted.Count(FD_CLOSE) == 1; }));
        EXPECT_EQ(accepted.received, "hello");
        EXPECT_EQ(inet_addr("127.0.0.1"), htonl(INADDR_LOOPBACK));
        in_addr a{};
        a.s_addr = inet_addr("10.1.2.3");
        EXPECT_STREQ(inet_ntoa(a), "10.1.2.3");
    });
}

namespace {

// Reads everything the peer end receives until the other side shuts down its sending.
std::string ReadToEnd(int fd) {
    std::string got;
    char buf[65536];
    for (;;) {
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return got;
        got.append(buf, static_cast<size_t>(n));
    }
}

std::vector<std::string>* g_order = nullptr; // what the order window and the socket saw

LRESULT CALLBACK OrderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER && g_order)
        g_order->push_back("posted");
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

// Small sends may be held back and gathered; they still reach the peer whole and in order, ahead
// of a large send and of the end of sending, without the thread ever pumping its queue.
TEST(AsyncSocket, GatheredSendsKeepTheirOrderAndGoOutBeforeALargeSendAndTheEnd) {
    OnFreshThread([] {
        Listener l;
        RecordingSocket s;
        int peer = ConnectPair(s, l);
        const std::string stream = Pattern(700 * 1000 + 50000 + 30);
        std::string peerGot;
        std::thread reader([&] { peerGot = ReadToEnd(peer); });
        size_t at = 0;
        auto send = [&](size_t n) {
            while (n > 0) {
                int k = s.Send(stream.data() + at, static_cast<int>(n));
                if (k == SOCKET_ERROR) {
                    ASSERT_EQ(CAsyncSocket::GetLastError(), WSAEWOULDBLOCK);
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    continue;
                }
                at += static_cast<size_t>(k);
                n -= static_cast<size_t>(k);
            }
        };
        for (int i = 0; i < 700; ++i)
            send(1000);
        send(50000); // large: the gathered bytes go first
        for (int i = 0; i < 3; ++i)
            send(10);
        ASSERT_EQ(at, stream.size());
        EXPECT_TRUE(s.ShutDown(CAsyncSocket::sends));
        reader.join();
        EXPECT_EQ(peerGot.size(), stream.size());
        EXPECT_TRUE(peerGot == stream);
        close(peer);
    });
}

// A held send goes out as soon as the thread finds its queue empty, and a caller that sends and
// then only polls Receive gets its answer too.
TEST(AsyncSocket, HeldSendsGoOutOnAnEmptyQueueOrAReceive) {
    OnFreshThread([] {
        Listener l;
        RecordingSocket s;
        int peer = ConnectPair(s, l);
        std::thread echo([&] {
            char buf[64];
            for (int i = 0; i < 2; ++i) {
                ssize_t n = recv(peer, buf, sizeof buf, 0);
                if (n <= 0)
                    return;
                WriteAll(peer, std::string(buf, static_cast<size_t>(n)));
            }
        });
        s.readOnNotify = false;
        ASSERT_EQ(s.Send("ping", 4), 4);
        EXPECT_TRUE(Pump([&] { return s.Count(FD_READ) > 0; })) << "sent when the queue was empty";
        char buf[16];
        EXPECT_EQ(s.Receive(buf, sizeof buf), 4);
        ASSERT_EQ(s.Send("pong", 4), 4);
        int n = SOCKET_ERROR;
        for (int i = 0; i < 2000 && n == SOCKET_ERROR; ++i) {
            n = s.Receive(buf, sizeof buf);
            if (n == SOCKET_ERROR)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_EQ(n, 4) << "sent by the Receive";
        EXPECT_EQ(std::string(buf, 4), "pong");
        echo.join();
        close(peer);
    });
}

// Read notifications that follow each other at once are delivered in a run, but a message posted
// meanwhile still comes before the next one.
TEST(AsyncSocket, RunsOfNotificationsLetPostedMessagesIn) {
    OnFreshThread([] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = OrderProc;
        wc.lpszClassName = "SocketOrderTest";
        RegisterClassA(&wc);
        HWND w = CreateWindowExA(0, "SocketOrderTest", "o", 0, 0, 0, 1, 1, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(w, nullptr);
        std::vector<std::string> order;
        g_order = &order;

        class OrderSocket : public RecordingSocket {
        public:
            HWND window = nullptr;
            void OnReceive(int e) override {
                RecordingSocket::OnReceive(e);
                g_order->push_back("read");
                if (Count(FD_READ) == 1)
                    PostMessageA(window, WM_USER, 0, 0);
            }
        };
        Listener l;
        OrderSocket s;
        s.window = w;
        s.readSize = 100;
        int peer = ConnectPair(s, l);
        WriteAll(peer, Pattern(1000));
        ASSERT_TRUE(Pump([&] { return s.received.size() == 1000; }));
        ASSERT_GE(order.size(), 3u);
        EXPECT_EQ(order[0], "read");
        EXPECT_EQ(order[1], "posted");
        EXPECT_EQ(s.Count(FD_READ), 10);
        g_order = nullptr;
        DestroyWindow(w);
        close(peer);
    });
}
