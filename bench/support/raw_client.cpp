#include "support/raw_client.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ltpbench {

namespace {

constexpr std::size_t kReadSize = 64 * 1024;

} // namespace

RawClient::~RawClient() {
    if (m_fd >= 0)
        close(m_fd);
}

bool RawClient::Connect(unsigned short port) {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return false;
    int on = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool RawClient::Exchange(const std::string& request) {
    const char* data = request.data();
    std::size_t left = request.size();
    while (left > 0) {
        const ssize_t n = send(m_fd, data, left, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    m_length = 0;
    std::size_t scanned = 0;
    std::size_t needed = 0; // the whole response's length once its head is in
    for (;;) {
        if (needed == 0 && m_length >= 4) {
            const std::size_t from = scanned > 3 ? scanned - 3 : 0;
            const char* base = m_buffer.data();
            const void* end = memmem(base + from, m_length - from, "\r\n\r\n", 4);
            if (end != nullptr) {
                const std::size_t head =
                    static_cast<std::size_t>(static_cast<const char*>(end) - base) + 4;
                const void* at = memmem(base, head, "Content-Length:", 15);
                const long body = at ? std::atol(static_cast<const char*>(at) + 15) : 0;
                needed = head + static_cast<std::size_t>(body > 0 ? body : 0);
            } else {
                scanned = m_length;
            }
        }
        if (needed != 0 && m_length >= needed)
            return true;
        if (m_buffer.size() - m_length < kReadSize)
            m_buffer.resize(m_buffer.size() < kReadSize ? 2 * kReadSize : 2 * m_buffer.size());
        const ssize_t n = recv(m_fd, m_buffer.data() + m_length, m_buffer.size() - m_length, 0);
        if (n <= 0)
            return false;
        m_length += static_cast<std::size_t>(n);
    }
}

} // namespace ltpbench
