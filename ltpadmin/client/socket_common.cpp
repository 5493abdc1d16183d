// What the client socket does the same on every system: trying the resolved addresses in turn,
// and owning the handle.
#include "ltpadmin/client/socket.h"

#include "ltpadmin/client/addresses.h"

#include <utility>

namespace ltp::detail {

Socket::Socket(Socket&& other) noexcept
    : idle_(other.idle_), fd_(std::exchange(other.fd_, kNoHandle)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        idle_ = other.idle_;
        fd_ = std::exchange(other.fd_, kNoHandle);
    }
    return *this;
}

void Socket::close() noexcept {
    if (fd_ != kNoHandle)
        close_handle(fd_);
    fd_ = kNoHandle;
}

int Milliseconds(std::chrono::milliseconds wait) {
    const auto count = wait.count();
    if (count < 0)
        return 0;
    return count > 0x7fffffff ? 0x7fffffff : static_cast<int>(count);
}

void Socket::fail(TransportError::Kind kind, int error, const char* what) {
    close();
    throw TransportError(kind, system_text(error), what);
}

void Socket::connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout,
                     std::chrono::milliseconds idle) {
    close();
    start_sockets();
    const Addresses addresses(host, port);
    int error = 0;
    for (const addrinfo* a = addresses.first(); a != nullptr; a = a->ai_next) {
        const Handle h = open_handle(*a, error);
        if (h == kNoHandle)
            continue;
        error = connect_within(h, *a, timeout);
        if (error == 0)
            error = settle(h, idle);
        if (error == 0) {
            fd_ = h;
            idle_ = idle;
            return;
        }
        close_handle(h);
    }
    throw TransportError(TransportError::Kind::connect, system_text(error),
                         "cannot connect to " + host + " port " + addresses.service());
}

} // namespace ltp::detail
