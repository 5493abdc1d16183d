// The addresses a host and port resolve to for a TCP connection, in the resolver's order; the
// same on POSIX and on Windows Sockets (started before).
#pragma once

#include <cstdint>
#include <string>

#if defined(_WIN32)
#include "ltpadmin/platform/win32/windows_api.h"
#else
#include <netdb.h>
#endif

namespace ltp::detail {

class Addresses {
public:
    // Throws a connect TransportError when the host does not resolve.
    Addresses(const std::string& host, std::uint16_t port);
    ~Addresses() { ::freeaddrinfo(first_); }
    Addresses(const Addresses&) = delete;
    Addresses& operator=(const Addresses&) = delete;

    const addrinfo* first() const { return first_; }
    // The port as a service name, for messages.
    const std::string& service() const { return service_; }

private:
    addrinfo* first_ = nullptr;
    std::string service_;
};

} // namespace ltp::detail
