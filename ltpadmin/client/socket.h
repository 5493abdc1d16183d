// One TCP connection, used as a blocking one: connecting is bounded by a time-out, and every send
// or receive afterwards by an idle time-out that restarts whenever bytes move. Failures are thrown
// as TransportError; the socket is closed then. socket.cpp is the POSIX one, win32/socket.cpp the
// Windows Sockets one; the build picks one per target system.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "ltpadmin/client.h"

namespace ltp::detail {

class Socket {
public:
    Socket() = default;
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() { close(); }

    // Tries every address the host resolves to, each within timeout; sends and receives on the
    // connection then wait at most idle for bytes to move.
    void connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout,
                 std::chrono::milliseconds idle);
    bool is_open() const { return fd_ != kNoHandle; }
    void close() noexcept;
    // Whether an idle connection can no longer carry a request: the server has closed it, or has
    // sent bytes nobody asked for (which would be taken for the next response).
    bool is_stale() const;
    // Sends all bytes; the wait for room restarts whenever some went out.
    void send_all(const char* data, std::size_t length);
    // Receives at least one byte and at most length; throws when the server closes the connection
    // or stays silent for the idle time-out.
    std::size_t receive(char* data, std::size_t length);

private:
    [[noreturn]] void fail(TransportError::Kind kind, int error, const char* what);

#if defined(_WIN32)
    // A Windows Sockets handle is pointer-sized, and its waits take the idle time-out each time
    // (the socket stays non-blocking there).
    using Handle = std::uintptr_t;
    static constexpr Handle kNoHandle = ~Handle{0};
    std::chrono::milliseconds idle_{0};
#else
    using Handle = int;
    static constexpr Handle kNoHandle = -1;
#endif
    Handle fd_ = kNoHandle;
};

} // namespace ltp::detail
