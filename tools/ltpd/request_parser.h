// Cuts one LTP/1.0 request off the front of the bytes a connection has received. A pure function
// of its input: it keeps no state between calls, so a connection simply calls it again when more
// bytes have arrived.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tools/ltpd/library.h"

namespace ltpd {

// Sizes a request may not exceed. A larger one is refused and its connection closed, since the
// rest of it cannot be told from the next request.
struct RequestLimits {
    size_t maxHead = 64 * 1024;    // request line, header lines and the blank line
    size_t maxKeyLine = 64 * 1024; // key line of a request without Content-Length
    size_t maxBody = 1024 * 1024;  // Content-Length
};

struct Request {
    const ltp::detail::CommandRow* row = nullptr; // nullptr: verb and object name no known request
    std::string verb;
    std::string object;
    std::string version;
    bool hasUser = false;
    std::string user;
    bool hasPassword = false; // an "Authorization: basic" line was there
    std::string password;
    bool hasContentLength = false;
    // The counted body as it is, or the key line without its line end.
    std::string body;
};

enum class ParseState {
    Incomplete, // wait for more bytes
    Complete,   // request holds one request of `consumed` bytes
    Failed,     // answer status/reason, then close: the byte stream cannot be followed further
};

struct ParseResult {
    ParseState state = ParseState::Incomplete;
    size_t consumed = 0;
    // Incomplete, but the head is whole: request holds all of it but the body, so that the
    // credentials can be checked before the body is read.
    bool headComplete = false;
    size_t needed = 0; // with headComplete and a Content-Length: bytes the whole request takes
    Request request;
    int status = 0;
    std::string reason;
};

ParseResult ParseRequest(std::string_view input, const RequestLimits& limits = RequestLimits());

} // namespace ltpd
