// One TCP connection, used as a blocking one: connecting is bounded by a time-out, and every send
// or receive afterwards by an idle time-out that restarts whenever bytes move. Failures are thrown
// as TransportError; the socket is closed then. socket_common.cpp holds what is the same on every
// system; socket.cpp is the POSIX rest, win32/socket.cpp the Windows Sockets one, and the build
// picks one per target system.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "ltpadmin/ltp/errors.h"

struct addrinfo;

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
    // For pipelined requests, where answers must be read while requests go out so that neither
    // side blocks writing to the other. Sends what the socket takes now, without waiting; returns
    // how many bytes went (0 when it has no room).
    std::size_t send_some(const char* data, std::size_t length);
    // Waits up to the idle time-out until bytes can be received or, when sending, sent; throws
    // on time-out. Returns whether bytes can be received (else there is room to send).
    bool await(bool sending);

private:
    [[noreturn]] void fail(TransportError::Kind kind, int error, const char* what);

#if defined(_WIN32)
    using Handle = std::uintptr_t; // a Windows Sockets handle is pointer-sized
    static constexpr Handle kNoHandle = ~Handle{0};
#else
    using Handle = int;
    static constexpr Handle kNoHandle = -1;
#endif

    // Each system's own; errors are the system's codes.
    // Readies the system's sockets for the process; throws when it cannot.
    static void start_sockets();
    // A new non-blocking socket for address; kNoHandle with the error in error when none is made.
    static Handle open_handle(const addrinfo& address, int& error);
    // Connects the socket to address within timeout: 0 or the error.
    static int connect_within(Handle h, const addrinfo& address, std::chrono::milliseconds timeout);
    // Readies a connected socket for sends and receives that wait at most idle: 0 or the error.
    static int settle(Handle h, std::chrono::milliseconds idle);
    static void close_handle(Handle h) noexcept;
    static std::string system_text(int error);

    std::chrono::milliseconds idle_{0}; // what each send or receive may wait for bytes to move
    Handle fd_ = kNoHandle;
};

// A wait as the system's calls take it: whole milliseconds, none below zero, at most INT_MAX.
int Milliseconds(std::chrono::milliseconds wait);

} // namespace ltp::detail
