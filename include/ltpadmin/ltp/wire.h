/// @file
/// The fixed facts of the wire that every user of the protocol shares: the server's usual port and
/// the time-outs a client waits by default.
#pragma once

#include <chrono>
#include <cstdint>

namespace ltp {

/// The TCP port an LTP server listens on unless told otherwise.
inline constexpr std::uint16_t default_port = 120;
/// How long a client waits by default for a connection to be accepted.
inline constexpr std::chrono::milliseconds default_connect_timeout{10000};
/// How long a client waits by default while nothing moves on a request's exchange.
inline constexpr std::chrono::milliseconds default_request_timeout{10000};

} // namespace ltp
