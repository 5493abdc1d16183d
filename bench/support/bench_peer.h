// BenchPeer: the server end of the benchmarks. It listens on 127.0.0.1 (port chosen by the system)
// and, on a thread of its own with blocking sockets, answers every request of every connection at
// once with the same prepared bytes. A request is framed as the library and the raw client send
// it: the head up to its blank line, then Content-Length bytes of body (none when absent).
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace ltpbench {

class BenchPeer {
public:
    explicit BenchPeer(std::string response);
    ~BenchPeer();
    BenchPeer(const BenchPeer&) = delete;
    BenchPeer& operator=(const BenchPeer&) = delete;

    unsigned short Port() const { return m_port; }
    // Which request of each connection is kept (0: the first), so that a benchmark can check that
    // the library and the raw client put the same bytes on the wire. Set before connecting.
    void KeepRequest(long index) { m_keepIndex = index; }
    // The kept request of the latest connection; empty until it has arrived.
    std::string KeptRequest() const;
    // Requests answered so far.
    long Answered() const { return m_answered.load(); }

private:
    void Run();
    void Serve(int conn);

    const std::string m_response;
    int m_listen = -1;
    unsigned short m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_conn{-1};
    std::atomic<long> m_answered{0};
    mutable std::mutex m_mutex;
    std::atomic<long> m_keepIndex{0};
    std::string m_keptRequest;
    std::thread m_thread;
};

// Serves connections on an already listening socket until it is shut down; for a peer in another
// process. Returns when accept fails.
void ServeForever(int listenFd, const std::string& response);

} // namespace ltpbench
