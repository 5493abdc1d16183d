// RawClient: the least a client must do for one exchange, the yardstick of the library. A plain
// blocking TCP socket (TCP_NODELAY, as the library's) that writes the request bytes in one go and
// reads the response straight into one buffer, framed by its blank line and Content-Length.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ltpbench {

class RawClient {
public:
    RawClient() = default;
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connect(unsigned short port);
    // Sends the request and receives one whole response; false on any failure.
    bool Exchange(const std::string& request);
    // The last response (the buffer is kept for the next exchange, as a raw client would).
    const char* Data() const { return m_buffer.data(); }
    std::size_t Length() const { return m_length; }

private:
    int m_fd = -1;
    std::vector<char> m_buffer;
    std::size_t m_length = 0;
};

} // namespace ltpbench
