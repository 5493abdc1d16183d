/// @file
/// How a Client reaches the server, how long it waits, and what it may hold; every member has a
/// usable default but the credentials.
#pragma once

#include <ltpadmin/ltp/wire.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

namespace ltp {

/// Which way traced bytes went (see Options::trace).
enum class TraceDirection {
    request, ///< about to be sent
    response ///< received: the whole response, or as much as came before the exchange failed;
             ///< for a walk, in pieces as they are dropped, in order (together, the response)
};

/// How to reach the server and how long to wait for it.
struct Options {
    /// Host name, IPv4 literal ("127.0.0.1") or IPv6 literal ("::1").
    std::string host = "127.0.0.1";
    /// TCP port of the server.
    std::uint16_t port = default_port;
    /// User name sent with every request.
    std::string user;
    /// Password sent with every request.
    std::string password;
    /// Longest wait for the connection to be accepted.
    std::chrono::milliseconds connect_timeout = default_connect_timeout;
    /// Longest silence while a request goes out or its response comes in. The wait restarts
    /// whenever bytes move, so a long list over a slow link succeeds while a silent server fails
    /// after about this long.
    std::chrono::milliseconds request_timeout = default_request_timeout;
    /// The server's code page: which bytes open a double-byte character, so that a trail byte is
    /// never taken for "|" or "<". 0 uses the process's code page; 1252 (single-byte), 932, 936,
    /// 949 and 950 are known.
    unsigned code_page = 0;
    /// Most bytes of one response (head and body); a longer one ends the request with a
    /// TransportError of kind limit and closes the connection. For a walk (`users_each`), the
    /// most bytes held at once: the record under way and what came with it.
    std::size_t max_response_bytes = std::size_t{256} << 20;
    /// Most bytes of the records of one result held in memory (texts and the records
    /// themselves); a larger result ends the request with a TransportError of kind limit. For a
    /// walk, the most bytes of one record.
    std::size_t max_result_bytes = std::size_t{512} << 20;
    /// Most bytes of one response that a walk streams through (head and body), as its
    /// Content-Length announces them; a longer one is refused before any record is handed on
    /// (TransportError of kind limit). Unlimited by default, since a walk holds only one record.
    std::size_t max_stream_bytes = std::numeric_limits<std::size_t>::max();
    /// When set, sees the bytes of every exchange: each request just before it is sent (the
    /// password included, as on the wire) and then its response (for a walk, in several calls
    /// whose bytes follow one another: none is held whole). A request refused before
    /// sending is not traced. For logging and diagnostics; it must not throw, and the bytes are
    /// valid only during the call.
    std::function<void(TraceDirection, std::string_view)> trace;
    /// When set, nothing is sent: each request, checked and formatted as it would go out (the
    /// password included), is handed to it instead of to trace, no connection is opened, and the
    /// call returns as a success with nothing to say: an empty list or text, no record (nullopt), 0
    /// for a number or a new record's id, zeros for sys_info(). For previewing changes ("dry
    /// runs"); input the protocol cannot carry still throws InvalidInput. It must not throw, and
    /// the bytes are valid only during the call.
    std::function<void(std::string_view request)> dry_run;
};

} // namespace ltp
