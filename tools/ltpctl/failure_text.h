// Turns the outcome of a failed library call into words and an exit code: the server's reason
// for a refusal, or what went wrong with the connection.
#pragma once

#include <cstddef>
#include <exception>
#include <string>

namespace ltpctl {

struct Failure {
    int exitCode;
    std::string message;
};

// True when the response's head announces more body bytes (Content-Length) than arrived: the
// server closed the connection part way.
bool ResponseCutShort(const char* response, std::size_t length);

// The words and exit code of an exception of the client; response is what arrived for the
// request, where the server's "HOST:PORT" and timeout the idle time-out as shown ("10 s").
Failure ExplainClientError(const std::exception& error, const std::string& response,
                           const std::string& where, const std::string& timeout);

// A lookup found nothing: the refusal of the response (its status line's reason), or when it
// said 200, that the server has no record, in the words of missing.
Failure ExplainMissing(const std::string& response, const std::string& missing,
                       const std::string& where);

// The status code of a response's status line, or -1 when the response has none.
int ResponseStatus(const char* response, std::size_t length);

} // namespace ltpctl
