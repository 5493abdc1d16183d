// LoopbackPeer: a scripted stand-in for the administration server, for tests. It listens on
// 127.0.0.1 (the port is chosen by the system), and once started runs its script on a thread of its
// own with blocking sockets: accept a connection, expect bytes, answer in pieces with pauses,
// close, reset, stay silent. Everything it receives is recorded so that tests can compare it byte
// for byte.
//
//   ltptest::LoopbackPeer peer;
//   peer.Serve({ltptest::MakeResponse(200, " OK", "<User>...</User>\r\n")}).Start();
//   session.SetServerAddressPort(peer.Address(), peer.Port());
//   session.LogIn("127.0.0.1", "admin", "secret");
//   ... run the operation ...
//   ASSERT_TRUE(peer.Finish());
//   EXPECT_EQ(peer.Requests()[0], "Get  AllUsers  LTP/1.0\r\n...");
#pragma once

#include "support/native_socket.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ltptest {

// A response as the server writes it: "LTP/1.0 <status><reason>\r\nContent-Length:
// <n>\r\n\r\n<body>". The reason text starts with its blank, as on the wire (" OK").
std::string MakeResponse(int status, const std::string& reason, const std::string& body);

class LoopbackPeer {
public:
    using Handler = std::function<std::string(const std::string& request)>;
    using Millis = std::chrono::milliseconds;

    LoopbackPeer();
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    unsigned short Port() const { return m_port; }
    // 127.0.0.1 in network byte order, as inet_addr gives it.
    unsigned int Address() const;

    // ---- Script steps, run in this order once Start is called ----
    // Takes the next connection (closing the current one). The first step that needs a connection
    // accepts one by itself.
    LoopbackPeer& Accept();
    // Reads exactly expected.size() bytes; a difference is recorded in Failures().
    LoopbackPeer& Expect(const std::string& expected);
    // Reads exactly count bytes.
    LoopbackPeer& ExpectBytes(std::size_t count);
    // Reads one request: the head up to its blank line, then Content-Length bytes of body; without
    // the header, a one-line key body ("<...>...\r\n") when one follows. Recorded in Requests().
    LoopbackPeer& ExpectRequest();
    // Writes bytes at once, or in pieces of the given sizes with a pause before each later piece
    // (what is left after the sizes goes as one last piece).
    LoopbackPeer& Send(const std::string& bytes);
    LoopbackPeer& SendPieces(const std::string& bytes, const std::vector<std::size_t>& sizes,
                             Millis pause = Millis(20));
    LoopbackPeer& Pause(Millis duration);
    // Closes the connection in order (FIN) or aborts it (RST).
    LoopbackPeer& Close();
    LoopbackPeer& Reset();
    // Reads and records without answering, until the client closes or the peer is stopped.
    LoopbackPeer& StaySilent();
    // ExpectRequest, then Send(response).
    LoopbackPeer& Respond(const std::string& response);
    // One Respond per response, in order.
    LoopbackPeer& Serve(const std::vector<std::string>& responses);
    // Answers every request with handler(request) until the client closes the connection.
    LoopbackPeer& ServeEach(Handler handler);

    // Runs the script on the peer's thread.
    LoopbackPeer& Start();
    // Waits for the script to end; on time-out the peer is stopped and false returned.
    bool Finish(Millis timeout = Millis(10000));

    // What was received: each request of ExpectRequest, every byte of every connection, the
    // script's mismatches (empty when the client sent what was expected), connections accepted.
    std::vector<std::string> Requests() const;
    std::string Received() const;
    std::vector<std::string> Failures() const;
    int Connections() const;

private:
    struct Step;
    enum class Read { Done, Closed, Stopped };

    void Run();
    bool RunStep(const Step& step);
    bool EnsureConnection();
    void CloseConnection();
    // Stops the script: ends its wait on the connection or its pause.
    void Wake();
    // Reads more bytes into m_pending: waits at most timeout (negative: until data, close or stop).
    Read ReadMore(int timeoutMs);
    bool ReadExactly(std::size_t count, std::string& out);
    bool ReadRequest(std::string& out, bool& sawNothing);
    bool WriteAll(const char* data, std::size_t length);
    // Sleeps, ending early when the peer is stopped; false when stopped.
    bool Sleep(Millis duration);
    void Fail(const std::string& what);
    void Record(const char* data, std::size_t length);

    NativeSocket m_listen = kNoSocket;
    NativeSocket m_conn = kNoSocket;
    NativeSocket m_wake[2] = {kNoSocket, kNoSocket}; // written to stop the script
    unsigned short m_port = 0;
    std::vector<Step> m_steps;
    std::string m_pending; // bytes read ahead of the current step

    mutable std::mutex m_mutex;
    std::condition_variable m_doneChanged;
    bool m_done = false;
    std::vector<std::string> m_requests;
    std::string m_received;
    std::vector<std::string> m_failures;
    int m_connections = 0;
    std::thread m_thread;
};

} // namespace ltptest
