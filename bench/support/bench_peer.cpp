#include "support/bench_peer.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace ltpbench {

namespace {

constexpr std::size_t kReadSize = 256 * 1024;
const char kHeadEnd[] = "\r\n\r\n";
const char kContentLength[] = "Content-Length:";

bool WriteAll(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = send(fd, data, length, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

// Reads one request after another from conn and answers each with response, calling
// onRequest(bytes, length) first. Returns when the client closes or an error occurs.
template <class OnRequest>
void ServeConnection(int conn, const std::string& response, OnRequest onRequest) {
    std::vector<char> pending(kReadSize);
    std::size_t have = 0;    // bytes in pending
    std::size_t scanned = 0; // bytes of pending searched for the blank line
    std::size_t needed = 0;  // whole request length once the head is known; 0 before
    for (;;) {
        if (needed == 0 && have >= 4) {
            const std::size_t from = scanned > 3 ? scanned - 3 : 0;
            const char* data = pending.data();
            const void* end = memmem(data + from, have - from, kHeadEnd, 4);
            if (end != nullptr) {
                const std::size_t head =
                    static_cast<std::size_t>(static_cast<const char*>(end) - data) + 4;
                const void* at = memmem(data, head, kContentLength, 15);
                const long body = at ? std::atol(static_cast<const char*>(at) + 15) : 0;
                needed = head + static_cast<std::size_t>(body > 0 ? body : 0);
            } else {
                scanned = have;
            }
        }
        if (needed != 0 && have >= needed) {
            onRequest(pending.data(), needed);
            if (!WriteAll(conn, response.data(), response.size()))
                return;
            std::memmove(pending.data(), pending.data() + needed, have - needed);
            have -= needed;
            scanned = 0;
            needed = 0;
            continue;
        }
        if (pending.size() - have < kReadSize)
            pending.resize(pending.size() * 2);
        const ssize_t n = recv(conn, pending.data() + have, pending.size() - have, 0);
        if (n <= 0)
            return;
        have += static_cast<std::size_t>(n);
    }
}

} // namespace

BenchPeer::BenchPeer(std::string response) : m_response(std::move(response)) {
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 ||
        listen(m_listen, 4) < 0) {
        std::perror("benchmark peer");
        std::abort();
    }
    socklen_t length = sizeof address;
    getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread(&BenchPeer::Run, this);
}

BenchPeer::~BenchPeer() {
    m_stop = true;
    shutdown(m_listen, SHUT_RDWR); // wakes accept
    const int conn = m_conn.load();
    if (conn >= 0)
        shutdown(conn, SHUT_RDWR); // wakes recv
    m_thread.join();
    close(m_listen);
}

std::string BenchPeer::KeptRequest() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_keptRequest;
}

void BenchPeer::Run() {
    while (!m_stop) {
        const int conn = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (conn < 0)
            return;
        int on = 1;
        setsockopt(conn, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        m_conn = conn;
        if (!m_stop)
            Serve(conn);
        m_conn = -1;
        close(conn);
    }
}

void BenchPeer::Serve(int conn) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_keptRequest.clear();
    }
    long index = 0;
    const long keep = m_keepIndex.load();
    ServeConnection(conn, m_response, [&](const char* request, std::size_t length) {
        if (index++ == keep) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_keptRequest.assign(request, length);
        }
        ++m_answered;
    });
}

void ServeForever(int listenFd, const std::string& response) {
    for (;;) {
        const int conn = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (conn < 0)
            return;
        int on = 1;
        setsockopt(conn, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        ServeConnection(conn, response, [](const char*, std::size_t) {});
        close(conn);
    }
}

} // namespace ltpbench
