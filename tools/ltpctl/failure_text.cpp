#include "tools/ltpctl/failure_text.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "tools/ltpctl/exit_codes.h"

#include <ltpadmin/client.h>

namespace ltpctl {

int ResponseStatus(const char* response, std::size_t length) {
    if (!response)
        return -1;
    std::size_t i = 0;
    while (i < length && response[i] != ' ' && response[i] != '\r' && response[i] != '\n')
        ++i;
    if (i == length || response[i] != ' ')
        return -1;
    while (i < length && (response[i] == ' ' || response[i] == '\t'))
        ++i;
    int code = -1;
    while (i < length && response[i] >= '0' && response[i] <= '9' && code < 100000)
        code = (code < 0 ? 0 : code * 10) + (response[i++] - '0');
    return code;
}

bool ResponseCutShort(const char* response, std::size_t length) {
    if (!response)
        return false;
    const std::string_view text(response, length);
    const size_t headEnd = text.find("\r\n\r\n");
    if (headEnd == std::string_view::npos)
        return false;
    const std::string_view head = text.substr(0, headEnd + 2);
    for (size_t line = head.find("\r\n"); line != std::string_view::npos;
         line = head.find("\r\n", line + 2)) {
        const std::string_view rest = head.substr(line + 2);
        constexpr std::string_view kName = "content-length:";
        if (rest.size() < kName.size())
            break;
        bool match = true;
        for (size_t i = 0; i < kName.size() && match; ++i)
            match = (rest[i] | 0x20) == kName[i];
        if (!match)
            continue;
        size_t i = kName.size();
        while (i < rest.size() && rest[i] == ' ')
            ++i;
        unsigned long long expected = 0;
        for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9' && expected < (1ULL << 40); ++i)
            expected = expected * 10 + static_cast<unsigned>(rest[i] - '0');
        return length - (headEnd + 4) < expected;
    }
    return false;
}

namespace {

// The failures both interfaces share, in the same words.
Failure TransportFailure(ltp::TransportError::Kind kind, const std::string& where,
                         const std::string& timeout) {
    using Kind = ltp::TransportError::Kind;
    switch (kind) {
        case Kind::connect:
            break; // ConnectFailure tells these apart
        case Kind::timeout:
            return {kExitTransport, "no answer within " + timeout + " from " + where};
        case Kind::send:
            return {kExitTransport, "sending the request to " + where + " failed"};
        case Kind::receive:
            return {kExitTransport, "receiving the answer from " + where + " failed"};
        case Kind::closed:
        case Kind::limit:
            break;
    }
    return {kExitTransport, "the connection to " + where + " failed"};
}

// Why no connection came about, in the system's words: a refusal, a name that does not resolve,
// an unreachable network or a silent host each need a different remedy.
Failure ConnectFailure(const ltp::TransportError& error, const std::string& where) {
    const std::string& reason = error.system_message();
    if (reason == std::strerror(ECONNREFUSED))
        return {kExitTransport, "connection refused by " + where};
    const std::string what = error.what();
    if (what.rfind("cannot resolve", 0) == 0)
        return {kExitTransport, what};
    if (reason.empty())
        return {kExitTransport, "cannot connect to " + where};
    return {kExitTransport, "cannot connect to " + where + ": " + reason};
}

// The answer does not begin with this protocol's version: another kind of server listens there.
bool ForeignStatusLine(const std::string& response) {
    static constexpr std::string_view kVersion = "LTP/1.0 ";
    return !response.empty() && response.compare(0, kVersion.size(), kVersion) != 0 &&
           ResponseStatus(response.data(), response.size()) >= 0;
}

// A limit of the options was passed: by the records of the answer, or by the answer itself. The
// records' limit ends a list while it still arrives and the answer's may be passed by one that
// arrived whole, so the client's words ("the records ...", "the response ...") tell which it was.
Failure LimitFailure(const ltp::TransportError& error, const char* response,
                     std::size_t responseLength, const std::string& where) {
    const std::string_view what = error.what();
    const bool records = what.rfind("the records", 0) == 0;
    const bool answer = !records && what.find("response") != std::string_view::npos;
    if (records || (!answer && ResponseStatus(response, responseLength) == 200 &&
                    !ResponseCutShort(response, responseLength)))
        return {kExitTransport,
                "the answer from " + where + " holds more records than --max-result-bytes allows"};
    return {kExitTransport, "receiving the answer from " + where +
                                " failed, or it was longer than --max-response-bytes allows"};
}

// What a response (whole or cut short) says when the call it answered failed.
Failure ExplainStatus(const char* response, std::size_t responseLength, const std::string& reason,
                      const std::string& where) {
    const int status = ResponseStatus(response, responseLength);
    if (status < 0)
        return {kExitTransport, "the server closed the connection"};
    if (status == 200 && ResponseCutShort(response, responseLength))
        return {kExitTransport,
                "the connection to " + where + " broke before the whole answer arrived"};
    if (status == 200)
        return {kExitRefused, "the server's answer held no record"};
    std::string text = reason;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.erase(0, 1);
    if (text.empty())
        return {kExitRefused,
                "the server refused the request with status " + std::to_string(status)};
    return {kExitRefused, "the server refused the request: " + std::to_string(status) + " " + text};
}

} // namespace

Failure ExplainClientError(const std::exception& error, const std::string& response,
                           const std::string& where, const std::string& timeout) {
    using Kind = ltp::TransportError::Kind;
    if (const auto* refused = dynamic_cast<const ltp::Refused*>(&error))
        return ExplainStatus(response.data(), response.size(), refused->reason(), where);
    if (dynamic_cast<const ltp::InvalidInput*>(&error))
        return {kExitUncarried, "the request holds input the protocol cannot carry"};
    if (dynamic_cast<const ltp::ProtocolError*>(&error) && ForeignStatusLine(response))
        return {kExitTransport, where + " did not answer in LTP/1.0: its status line is \"" +
                                    response.substr(0, response.find_first_of("\r\n")) + "\""};
    if (dynamic_cast<const ltp::ProtocolError*>(&error))
        return ExplainStatus(response.data(), response.size(), std::string(), where);
    const auto* transport = dynamic_cast<const ltp::TransportError*>(&error);
    if (!transport)
        return {kExitTransport, "the connection to " + where + " failed: " + error.what()};
    if (transport->kind() == Kind::limit)
        return LimitFailure(*transport, response.data(), response.size(), where);
    if (transport->kind() == Kind::connect)
        return ConnectFailure(*transport, where);
    if (transport->kind() != Kind::closed)
        return TransportFailure(transport->kind(), where, timeout);
    return ExplainStatus(response.data(), response.size(), std::string(), where);
}

Failure ExplainMissing(const std::string& response, const std::string& missing,
                       const std::string& where) {
    const int status = ResponseStatus(response.data(), response.size());
    if (status == 200)
        return {kExitRefused, missing};
    // The reason is what follows the code on the status line.
    const std::size_t line = response.find_first_of("\r\n");
    const std::string first = response.substr(0, line);
    const std::size_t code = first.find(std::to_string(status));
    const std::string reason = code == std::string::npos
                                   ? std::string()
                                   : first.substr(code + std::to_string(status).size());
    return ExplainStatus(response.data(), response.size(), reason, where);
}

} // namespace ltpctl
