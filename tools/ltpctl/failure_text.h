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

// lastError is the session's outcome code (GetLastError, as a signed value); response the bytes
// received for the call; reason the server's reason text (GetErrorDescription); where the
// server's "HOST:PORT".
// True when the response's head announces more body bytes (Content-Length) than arrived: the
// server closed the connection part way.
bool ResponseCutShort(const char* response, std::size_t length);

Failure ExplainFailure(long lastError, const char* response, std::size_t responseLength,
                       const std::string& reason, const std::string& where);

// The same for an exception of the modern client; response is what arrived for the request and
// timeout the idle time-out as shown ("10 s").
Failure ExplainClientError(const std::exception& error, const std::string& response,
                           const std::string& where, const std::string& timeout);

// A lookup found nothing: the refusal of the response (its status line's reason), or when it
// said 200, that the server has no record, in the words of missing.
Failure ExplainMissing(const std::string& response, const std::string& missing,
                       const std::string& where);

// The status code of a response's status line, or -1 when the response has none.
int ResponseStatus(const char* response, std::size_t length);

} // namespace ltpctl
