#include "tools/ltpctl/failure_text.h"

#include <string_view>

#include "tools/ltpctl/exit_codes.h"

#include <ltpadmin/ltpadmin.h>

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

Failure ExplainFailure(long lastError, const char* response, std::size_t responseLength,
                       const std::string& reason, const std::string& where) {
    switch (lastError) {
        case LTP_ERROR_NONE:
            break;
        case LTP_ERROR_RECEIVE:
            return {kExitTransport, "receiving the answer from " + where + " failed"};
        case LTP_ERROR_SEND:
            return {kExitTransport, "sending the request to " + where + " failed"};
        case LTP_ERROR_CONNECT:
            return {kExitTransport, "connection refused by " + where};
        case LTP_ERROR_NOTIFY:
            return {kExitTransport, "the connection to " + where + " reported an error"};
        case LTP_ERROR_TIMEOUT:
            return {kExitTransport, "no answer within " +
                                        std::to_string(LTP_RESPONSE_TIMEOUT / 1000) + " s from " +
                                        where};
        case LTP_ERROR_UNSENDABLE:
            return {kExitUncarried, "the request holds input the protocol cannot carry"};
        default:
            return {kExitTransport, "the connection to " + where + " failed (code " +
                                        std::to_string(lastError) + ")"};
    }
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

} // namespace ltpctl
