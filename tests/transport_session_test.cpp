// The session end to end against the scripted loopback peer: log-in, one request at a time, the
// wait with its message filter, time-outs, closing and copying.
#include "ltpadmin/platform/platform.h"
#include "ltpadmin/transport/server_admin.h"
#include "support/loopback_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using ltptest::LoopbackPeer;
using ltptest::MakeResponse;
using Millis = std::chrono::milliseconds;

namespace {

const char kUsers[] =
    "Get  AllUsers  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic pw\r\n\r\n";

class Session : public CServerAdmin {
public:
    using CServerAdmin::m_nPort;
    using CServerAdmin::m_strServerAddress;

    void Start(const std::string& request, void* result = nullptr, ULONG capacity = 0) {
        AsyncRequest(0, const_cast<char*>(request.data()), static_cast<ULONG>(request.size()),
                     result, capacity);
    }
    int Run(const std::string& request, ULONG timeout = 10000) {
        Start(request);
        return WaitResponseAndPumpMessage(timeout);
    }
    std::string Response() {
        CMessage& m = GetReadMessage();
        return m.GetData() != nullptr ? std::string(m.GetData(), m.GetLength()) : std::string();
    }
    int LogInTo(const LoopbackPeer& peer) {
        SetServerAddressPort(peer.Address(), peer.Port());
        return LogIn("127.0.0.1", "admin", "pw");
    }
};

std::string Body(size_t n) {
    std::string s(n, ' ');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('A' + (i * 7 + i / 1000) % 26);
    return s;
}

std::string InfoRequest(const std::string& body) {
    return "Add  Infomation  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic pw\r\n"
           "Content-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

// A loopback port with nobody listening.
unsigned short ClosedPort() {
    unsigned short port = 0;
    ltptest::CloseSocket(ltptest::BoundLoopbackSocket(&port));
    return port;
}

void ExpectPeerDone(LoopbackPeer& peer) {
    EXPECT_TRUE(peer.Finish());
    EXPECT_TRUE(peer.Failures().empty()) << peer.Failures().front();
}

} // namespace

TEST(ServerAdmin, RunsRequestsOneAfterAnotherOnOneConnection) {
    const std::string first = MakeResponse(200, " OK", "<User>a|b|c|d|e|f</User>\r\n");
    const std::string second = MakeResponse(404, " No such user", "");
    LoopbackPeer peer;
    peer.Serve({first, second}).Start();
    Session s;
    ASSERT_EQ(s.LogInTo(peer), 1);
    ASSERT_EQ(s.Run(kUsers), 1);
    EXPECT_EQ(s.GetLastError(), 0u);
    EXPECT_EQ(s.Response(), first);
    ASSERT_EQ(s.Run(kUsers), 1) << "a refusal by the server is no transport error";
    EXPECT_EQ(s.Response(), second);
    ExpectPeerDone(peer);
    ASSERT_EQ(peer.Requests().size(), 2u);
    EXPECT_EQ(peer.Requests()[0], kUsers);
    EXPECT_EQ(peer.Requests()[1], kUsers);
    EXPECT_EQ(peer.Connections(), 1);
}

// The request bytes may come from the session's own buffers, which the request empties.
TEST(ServerAdmin, SendsARequestTakenFromItsOwnResponse) {
    const std::string first = MakeResponse(200, " OK", "");
    LoopbackPeer peer;
    peer.Respond(first).Expect(first).Send(MakeResponse(200, " OK", "")).Start();
    Session s;
    ASSERT_EQ(s.LogInTo(peer), 1);
    ASSERT_EQ(s.Run(kUsers), 1);
    CMessage& response = s.GetReadMessage();
    ULONG capacity = 0;
    s.AsyncRequest(0, response.GetData(), response.GetLength(), nullptr, capacity);
    ASSERT_EQ(s.WaitResponseAndPumpMessage(10000), 1);
    ExpectPeerDone(peer);
}

TEST(ServerAdmin, CopiesTheResponseIntoTheResultBufferUpToItsCapacity) {
    const std::string response = MakeResponse(200, " OK", "0123456789");
    for (ULONG capacity : {5ul, static_cast<unsigned long>(response.size()), 200ul}) {
        LoopbackPeer peer;
        peer.Respond(response).Start();
        Session s;
        ASSERT_EQ(s.LogInTo(peer), 1);
        std::vector<char> buffer(300, '#');
        s.Start(kUsers, buffer.data(), capacity);
        ASSERT_EQ(s.WaitResponseAndPumpMessage(10000), 1);
        const size_t copied = std::min<size_t>(capacity, response.size());
        EXPECT_EQ(std::string(buffer.data(), copied), response.substr(0, copied));
        EXPECT_EQ(buffer[copied], '#') << "no terminating zero is added";
        ExpectPeerDone(peer);
    }
}

TEST(ServerAdmin, LogInChoosesAddressAndPort) {
    {
        Session s; // no port set: 120, with the log-in address stored
        s.LogIn("127.0.0.1", "u", "p");
        EXPECT_EQ(s.m_nPort, 120u);
        EXPECT_STREQ(s.m_strServerAddress, "127.0.0.1");
    }
    {
        Session s; // port 0 counts as not set
        s.SetServerAddressPort(inet_addr("10.0.0.1"), 0);
        s.LogIn("127.0.0.2", "u", "p");
        EXPECT_EQ(s.m_nPort, 120u);
        EXPECT_STREQ(s.m_strServerAddress, "127.0.0.2");
    }
    // A port set beforehand is used modulo 65536; the stored address text stays as it was while
    // the log-in address is the one connected to.
    for (bool numeric : {false, true}) {
        LoopbackPeer peer;
        peer.Respond(MakeResponse(200, " OK", "")).Start();
        Session s;
        s.SetServerAddressPort(inet_addr("10.1.2.3"), peer.Port() + 65536u);
        ASSERT_EQ(numeric ? s.LogIn(static_cast<ULONG>(inet_addr("127.0.0.1")), "u", "p")
                          : s.LogIn("127.0.0.1", "u", "p"),
                  1);
        EXPECT_EQ(s.Run(kUsers), 1) << numeric;
        EXPECT_STREQ(s.m_strServerAddress, "10.1.2.3");
        ExpectPeerDone(peer);
    }
}

TEST(ServerAdmin, ARefusedConnectionEndsTheWaitWithMinus4) {
    Session s;
    s.SetServerAddressPort(inet_addr("127.0.0.1"), ClosedPort());
    EXPECT_EQ(s.LogIn("127.0.0.1", "u", "p"), 1) << "the attempt goes on in the background";
    EXPECT_EQ(s.Run(kUsers, 10000), 0);
    EXPECT_EQ(s.GetLastError(), 0xFFFFFFFCu);
}

TEST(ServerAdmin, FramesResponsesSplitAcrossReads) {
    const std::string tenBytes = MakeResponse(200, " OK", "0123456789");
    const std::string large = MakeResponse(200, " OK", Body(5000));
    struct Case {
        const char* what;
        std::string response;
        std::vector<size_t> pieces;
    };
    const Case cases[] = {
        {"length 10 arriving 6 + 4", tenBytes, {tenBytes.size() - 4}},
        {"head split inside Content-Length", large, {25, 3000}},
        {"head without its blank line yet", large, {large.find("\r\n\r\n") + 2, 1}},
    };
    for (const Case& k : cases) {
        LoopbackPeer peer;
        peer.ExpectRequest().SendPieces(k.response, k.pieces, Millis(60)).Start();
        Session s;
        ASSERT_EQ(s.LogInTo(peer), 1);
        EXPECT_EQ(s.Run(kUsers), 1) << k.what;
        EXPECT_EQ(s.Response(), k.response) << k.what;
        ExpectPeerDone(peer);
    }
}

TEST(ServerAdmin, CarriesA1MBRequestAndA10MBResponseIntact) {
    const std::string request = InfoRequest(Body(1 << 20));
    const std::string response = MakeResponse(200, " OK", Body(10 << 20));
    LoopbackPeer peer;
    peer.Respond(response).Start();
    Session s;
    ASSERT_EQ(s.LogInTo(peer), 1);
    ASSERT_EQ(s.Run(request, 120000), 1);
    EXPECT_TRUE(s.Response() == response);
    ExpectPeerDone(peer);
    ASSERT_EQ(peer.Requests().size(), 1u);
    EXPECT_TRUE(peer.Requests()[0] == request);
}

TEST(ServerAdmin, TwoSessionsOnOneThreadSendLargeRequestsAtOnce) {
    const std::string requestA = InfoRequest(Body(1 << 20));
    const std::string requestB = InfoRequest(std::string(700000, 'z'));
    LoopbackPeer peerA, peerB;
    peerA.Respond(MakeResponse(200, " A", "a")).Start();
    peerB.Respond(MakeResponse(200, " B", "b")).Start();
    Session a, b;
    ASSERT_EQ(a.LogInTo(peerA), 1);
    ASSERT_EQ(b.LogInTo(peerB), 1);
    a.Start(requestA);
    b.Start(requestB);
    EXPECT_EQ(a.WaitResponseAndPumpMessage(60000), 1);
    EXPECT_EQ(b.WaitResponseAndPumpMessage(60000), 1);
    EXPECT_EQ(a.Response(), MakeResponse(200, " A", "a"));
    EXPECT_EQ(b.Response(), MakeResponse(200, " B", "b"));
    ExpectPeerDone(peerA);
    ExpectPeerDone(peerB);
    ASSERT_EQ(peerA.Requests().size(), 1u);
    ASSERT_EQ(peerB.Requests().size(), 1u);
    EXPECT_TRUE(peerA.Requests()[0] == requestA);
    EXPECT_TRUE(peerB.Requests()[0] == requestB);
}

TEST(ServerAdmin, TimesOutWithMinus7AlsoAcrossTheTickCountWrap) {
    struct Case {
        const char* what;
        bool nearWrap;
        std::string answer; // what the peer sends, then stays silent
    };
    const Case cases[] = {
        {"silent server", false, ""},
        {"negative Content-Length", false, "LTP/1.0 200 OK\r\nContent-Length: -1\r\n\r\nabc"},
        {"wait starting just before the wrap", true, ""},
    };
    const ULONG timeout = 400;
    for (const Case& k : cases) {
#if defined(_WIN32)
        if (k.nearWrap)
            continue; // the system's tick count cannot be moved
#endif
        LoopbackPeer peer;
        peer.ExpectRequest().Send(k.answer).StaySilent().Start();
        Session s;
        ASSERT_EQ(s.LogInTo(peer), 1);
#if !defined(_WIN32)
        if (k.nearWrap)
            SetTickCountForTest(0xFFFFFFFFu - 100);
#endif
        const auto begin = std::chrono::steady_clock::now();
        EXPECT_EQ(s.Run(kUsers, timeout), 0) << k.what;
        const auto waited = std::chrono::steady_clock::now() - begin;
        EXPECT_EQ(s.GetLastError(), 0xFFFFFFF9u) << k.what;
        // Ending early would mean the elapsed time was miscounted.
        EXPECT_GE(waited, Millis(timeout - 20)) << k.what;
        if (k.nearWrap) {
            EXPECT_LT(GetTickCount(), 0x80000000u) << "the count did wrap during the wait";
        }
    }
#if !defined(_WIN32)
    SetTickCountForTest(1000000);
#endif
}

TEST(ServerAdmin, ARequestWithoutAConnectionTimesOut) {
    Session s;
    EXPECT_EQ(s.Run(kUsers, 100), 0);
    EXPECT_EQ(s.GetLastError(), 0xFFFFFFF9u);
}

namespace {
Session* g_loggingOut = nullptr;
void CALLBACK LogOutFromTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    g_loggingOut->LogOut();
}
} // namespace

TEST(ServerAdmin, LogOutEndsARunningWaitAndTheNextOneWithMinus4) {
    LoopbackPeer peer;
    peer.ExpectRequest().StaySilent().Start();
    Session s;
    ASSERT_EQ(s.LogInTo(peer), 1);
    g_loggingOut = &s;
    s.Start(kUsers);
    SetTimer(nullptr, 0, 50, LogOutFromTimer);
    EXPECT_EQ(s.WaitResponseAndPumpMessage(10000), 0);
    EXPECT_EQ(s.GetLastError(), 0xFFFFFFFCu);
    EXPECT_TRUE(peer.Finish()) << "the server sees the connection closed";
    // Right after a log-out, a wait returns at once with -4.
    EXPECT_EQ(s.WaitResponseAndPumpMessage(60000), 0);
    EXPECT_EQ(s.GetLastError(), 0xFFFFFFFCu);
}

TEST(ServerAdmin, AQueuedCloseNoticeEndsTheWaitWithZero) {
    LoopbackPeer peer;
    peer.ExpectRequest().StaySilent().Start();
    Session s;
    ASSERT_EQ(s.LogInTo(peer), 1);
    s.Start(kUsers);
    PostMessageA(nullptr, WM_LTP_CLOSED, 0, 0);
    EXPECT_EQ(s.WaitResponseAndPumpMessage(60000), 0);
    EXPECT_EQ(s.GetLastError(), 0u);
}

namespace {

struct Recorded {
    UINT message;
    LPARAM lParam;
};
std::vector<Recorded> g_windowMessages;
int g_timerTicks = 0;

LRESULT CALLBACK RecordingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_CREATE)
        g_windowMessages.push_back({message, lParam});
    return message == WM_CLOSE ? 0 : DefWindowProcA(hWnd, message, wParam, lParam);
}

void CALLBACK CountTicks(HWND, UINT, UINT_PTR, DWORD) {
    ++g_timerTicks;
}

HWND MakeWindow(int x, int y, int width, int height) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "LtpTransportTestWindow";
    RegisterClassA(&wc); // 0 once registered by an earlier test: the class is there all the same
    HWND window = CreateWindowExA(0, "LtpTransportTestWindow", "main", WS_OVERLAPPEDWINDOW, x, y,
                                  width, height, nullptr, nullptr, nullptr, nullptr);
#if defined(_WIN32)
    // Without a display (wine on a build machine) only message-only windows can be made: a real
    // window all the same, with its procedure, its messages and its rectangle.
    if (!window)
        window = CreateWindowExA(0, "LtpTransportTestWindow", "main", 0, x, y, width, height,
                                 HWND_MESSAGE, nullptr, nullptr, nullptr);
#endif
    return window;
}

} // namespace

TEST(ServerAdmin, AServerClosingMidResponseFailsTheRequest) {
    // Whether the close notice reaches a window of the waiting thread or no window at all, and
    // whether the server closes in order or aborts, a response cut short never counts as success.
    const std::string partial = "LTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly part";
    HWND window = MakeWindow(0, 0, 100, 100);
    ASSERT_NE(window, nullptr);
    for (bool reset : {false, true}) {
        for (HWND notify : {window, reinterpret_cast<HWND>(0x7FFF1234)}) {
            LoopbackPeer peer;
            peer.ExpectRequest().Send(partial).Pause(Millis(30));
            (reset ? peer.Reset() : peer.Close()).Start();
            Session s;
            s.SetNotifyWnd(notify);
            ASSERT_EQ(s.LogInTo(peer), 1);
            EXPECT_EQ(s.Run(kUsers, 10000), 0) << reset;
            EXPECT_EQ(s.GetLastError(), 0u) << reset;
            ExpectPeerDone(peer);
        }
    }
    DestroyWindow(window);
    g_windowMessages.clear();
}

// Another session's server closing does not end this session's wait, whether that session's
// notice is dispatched inside this wait (one thread) or reaches this thread by broadcast (two).
// Both used to end this wait at once with 0. The application's window still gets the notice.
TEST(ServerAdmin, AnotherSessionsCloseNoticeLeavesThisWaitRunning) {
    const std::string response = MakeResponse(200, " OK", "late");
    HWND window = MakeWindow(0, 0, 100, 100);
    ASSERT_NE(window, nullptr);
    for (bool otherThread : {false, true}) {
        SCOPED_TRACE(otherThread ? "two threads" : "one thread");
        g_windowMessages.clear();
        LoopbackPeer peerA, peerB;
        peerA.ExpectRequest().Pause(Millis(800)).Send(response).Start();
        peerB.Accept().Pause(Millis(150)).Close().Start();
        Session a, b;
        ASSERT_EQ(a.LogInTo(peerA), 1);
        std::thread other;
        if (otherThread) {
            other = std::thread([&peerB] {
                Session elsewhere;
                elsewhere.LogInTo(peerB);
                EXPECT_EQ(elsewhere.Run(kUsers), 0) << "its own notice ends its own wait";
            });
        } else {
            ASSERT_EQ(b.LogInTo(peerB), 1);
        }
        EXPECT_EQ(a.Run(kUsers), 1);
        EXPECT_EQ(a.Response(), response);
        if (other.joinable())
            other.join();
        bool notified = false;
        for (const Recorded& r : g_windowMessages)
            notified |= r.message == WM_LTP_CLOSED && r.lParam == 0;
#if defined(_WIN32)
        // A broadcast never reaches a message-only window (all wine can make without a display).
        if (GetAncestor(window, GA_PARENT) != GetDesktopWindow())
            notified = true;
#endif
        EXPECT_TRUE(notified);
        ExpectPeerDone(peerA);
        ExpectPeerDone(peerB);
    }
    DestroyWindow(window);
    g_windowMessages.clear();
}

TEST(ServerAdmin, AServerClosingAfterAWholeResponseLeavesItAValidResult) {
    // The close notice may reach the waiting thread (by default it goes to every top-level window,
    // the thread's socket window among them) or nobody; the whole response stands either way.
    const std::string response = MakeResponse(200, " OK", "done");
    for (HWND notify : {HWND_BROADCAST, reinterpret_cast<HWND>(0x7FFF1234)}) {
        LoopbackPeer peer;
        peer.Respond(response).Close().Start();
        Session s;
        s.SetNotifyWnd(notify);
        ASSERT_EQ(s.LogInTo(peer), 1);
        EXPECT_EQ(s.Run(kUsers), 1);
        EXPECT_EQ(s.Response(), response);
        ExpectPeerDone(peer);
    }
}

TEST(ServerAdmin, TheWaitDropsUserInputButDispatchesPaintAndTimers) {
    HWND main = MakeWindow(100, 50, 400, 300);
    ASSERT_NE(main, nullptr);
    RECT r;
    ASSERT_TRUE(GetWindowRect(main, &r));
    const int cy = GetSystemMetrics(SM_CYCAPTION);
    ASSERT_GT(cy, 0);

    LoopbackPeer peer;
    peer.ExpectRequest().Pause(Millis(150)).Send(MakeResponse(200, " OK", "")).Start();
    Session s;
    s.SetMainWnd(main);
    ASSERT_EQ(s.LogInTo(peer), 1);
    g_windowMessages.clear();
    g_timerTicks = 0;

    for (UINT dropped : {WM_KEYDOWN, WM_CHAR, WM_KEYLAST, WM_MOUSEMOVE, WM_LBUTTONDOWN,
                         WM_MBUTTONDBLCLK, WM_COMMAND, WM_CLOSE, WM_DESTROY})
        PostMessageA(main, dropped, 0, 0);
    struct Click {
        int x;
        bool dispatched;
    };
    // Caption strips cy wide at both ends; the right edge itself lies outside the rectangle.
    const Click clicks[] = {
        {r.right - 1, false}, {r.right - cy, false},    {r.left, false}, {r.left + cy - 1, false},
        {r.left + cy, true},  {r.right - cy - 1, true}, {r.right, true}};
    for (const Click& c : clicks) {
        // The filter reads the position recorded in the message; lParam carries it for the check.
        SetCursorPos(c.x, r.top + 3);
        PostMessageA(main, WM_NCLBUTTONDOWN, 0, MAKELONG(c.x, r.top + 3));
    }
    PostMessageA(main, WM_PAINT, 0, 0);
    PostMessageA(main, WM_USER + 7, 0, 0);
    s.Start(kUsers);
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, CountTicks);
    EXPECT_EQ(s.WaitResponseAndPumpMessage(10000), 1);
    KillTimer(nullptr, timer);

    std::vector<UINT> got;
    std::vector<LONG> clickX;
    for (const Recorded& m : g_windowMessages) {
        got.push_back(m.message);
        if (m.message == WM_NCLBUTTONDOWN)
            clickX.push_back(static_cast<short>(LOWORD(m.lParam)));
    }
    const std::vector<UINT> want = {WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, WM_PAINT,
                                    WM_USER + 7};
    EXPECT_EQ(got, want);
    EXPECT_EQ(clickX, (std::vector<LONG>{r.left + cy, r.right - cy - 1, r.right}));
    EXPECT_GT(g_timerTicks, 0);
    EXPECT_TRUE(IsWindow(main)) << "the close request was dropped";
    DestroyWindow(main);
    g_windowMessages.clear();
    ExpectPeerDone(peer);
}

TEST(ServerAdmin, ASecondLogInClosesTheFirstConnection) {
    LoopbackPeer peer;
    peer.StaySilent().Accept().Respond(MakeResponse(200, " OK", "")).Start();
    Session s;
    ASSERT_EQ(s.LogInTo(peer), 1);
    ASSERT_EQ(s.LogIn("127.0.0.1", "admin", "pw"), 1);
    EXPECT_EQ(s.Run(kUsers), 1);
    ExpectPeerDone(peer);
    EXPECT_EQ(peer.Connections(), 2);
}

TEST(ServerAdmin, ACopyOfALoggedInSessionHasNoConnectionOfItsOwn) {
    const std::string response = MakeResponse(200, " OK", "x");
    LoopbackPeer peer;
    peer.Respond(response).Respond(response).StaySilent().Accept().Respond(response).Start();
    Session original;
    ASSERT_EQ(original.LogInTo(peer), 1);
    ASSERT_EQ(original.Run(kUsers), 1);
    {
        Session copy(original);
        EXPECT_NE(copy.GetRequestHandle(), original.GetRequestHandle());
        EXPECT_EQ(copy.Response(), response) << "the buffers are copied by content";
        EXPECT_EQ(copy.Run(kUsers, 100), 0);
        EXPECT_EQ(copy.GetLastError(), 0xFFFFFFF9u);
    } // destroying the copy leaves the original's socket and event alone
    EXPECT_EQ(original.Run(kUsers), 1);
    EXPECT_EQ(original.Response(), response);

    // The copy keeps the settings: a log-in of its own reaches the same server.
    Session copy(original);
    EXPECT_EQ(copy.m_nPort, original.m_nPort);
    original.LogOut();
    ASSERT_EQ(copy.LogIn("127.0.0.1", "admin", "pw"), 1);
    EXPECT_EQ(copy.Run(kUsers), 1);
    ExpectPeerDone(peer);
    EXPECT_EQ(peer.Requests().size(), 3u);
}

TEST(ServerAdmin, AssignmentClosesTheTargetsOwnConnectionFirst) {
    LoopbackPeer source, target;
    source.Respond(MakeResponse(200, " OK", "")).Start();
    target.StaySilent().Start();
    Session a, b;
    ASSERT_EQ(a.LogInTo(source), 1);
    ASSERT_EQ(b.LogInTo(target), 1);
    b = a;
    EXPECT_TRUE(target.Finish()) << "the target's connection was closed";
    EXPECT_NE(a.GetRequestHandle(), b.GetRequestHandle());
    EXPECT_EQ(b.m_nPort, a.m_nPort);
    Session& alias = b;
    b = alias; // assigning to itself changes nothing
    EXPECT_EQ(b.m_nPort, a.m_nPort);
    EXPECT_EQ(a.Run(kUsers), 1);
    ExpectPeerDone(source);
}
