#include "ltpadmin/client/addresses.h"

#include "ltpadmin/ltp/errors.h"

namespace ltp::detail {

Addresses::Addresses(const std::string& host, std::uint16_t port) : service_(std::to_string(port)) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    // The resolver stops at a NUL: "127.0.0.1\0x" would reach a server nobody named.
    if (host.find('\0') != std::string::npos)
        throw TransportError(TransportError::Kind::connect, "",
                             "cannot resolve the host name: it holds a NUL character");
    const int resolved = ::getaddrinfo(host.c_str(), service_.c_str(), &hints, &first_);
    if (resolved != 0)
        throw TransportError(TransportError::Kind::connect, ::gai_strerror(resolved),
                             "cannot resolve \"" + host + "\"");
}

} // namespace ltp::detail
