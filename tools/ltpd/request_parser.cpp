#include "tools/ltpd/request_parser.h"

#include <cstring>

namespace ltpd {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    // Names compare as the library's scanner compares them: ASCII letters folded.
    return CTextSpan{a.data(), static_cast<UINT>(a.size())}.EqualsNoCase(
        b.data(), static_cast<UINT>(b.size()));
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

ParseResult Fail(int status, std::string reason) {
    ParseResult r;
    r.state = ParseState::Failed;
    r.status = status;
    r.reason = std::move(reason);
    return r;
}

// One line of the head, without its line end ("\r\n" or a lone "\n").
std::string_view StripCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

bool SplitRequestLine(std::string_view line, Request& req) {
    std::string_view parts[3];
    size_t n = 0;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        if (i == line.size())
            break;
        size_t start = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        if (n == 3)
            return false;
        parts[n++] = line.substr(start, i - start);
    }
    if (n != 3)
        return false;
    req.verb.assign(parts[0]);
    req.object.assign(parts[1]);
    req.version.assign(parts[2]);
    return true;
}

// Digits only, at most the limit; false for anything else.
bool ReadLength(std::string_view text, size_t limit, size_t& value, bool& tooLarge) {
    text = TrimBlanks(text);
    if (text.empty())
        return false;
    value = 0;
    tooLarge = false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        if (!tooLarge) {
            value = value * 10 + static_cast<size_t>(c - '0');
            if (value > limit)
                tooLarge = true;
        }
    }
    return true;
}

// The value after "Name:": the library writes one blank after the colon, and everything after
// that blank belongs to the value (a password may begin or end with blanks).
std::string_view HeaderValue(std::string_view rest) {
    if (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    return rest;
}

} // namespace

ParseResult ParseRequest(std::string_view input, const RequestLimits& limits) {
    ParseResult result;
    Request& req = result.request;

    // Blank lines before a request are passed over, as a stray line end from a client is.
    size_t pos = 0;
    bool haveRequestLine = false;
    size_t contentLength = 0;
    for (;;) {
        const void* hit = pos < input.size()
                              ? std::memchr(input.data() + pos, '\n', input.size() - pos)
                              : nullptr;
        if (!hit) {
            if (input.size() > limits.maxHead)
                return Fail(400, "request head longer than " + std::to_string(limits.maxHead) +
                                     " bytes");
            return result; // Incomplete
        }
        size_t nl = static_cast<size_t>(static_cast<const char*>(hit) - input.data());
        if (nl + 1 > limits.maxHead)
            return Fail(400,
                        "request head longer than " + std::to_string(limits.maxHead) + " bytes");
        std::string_view line = StripCr(input.substr(pos, nl - pos));
        pos = nl + 1;
        if (!haveRequestLine) {
            if (line.empty())
                continue;
            if (!SplitRequestLine(line, req))
                return Fail(400, "malformed request line");
            haveRequestLine = true;
            continue;
        }
        if (line.empty())
            break; // end of head
        size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0)
            return Fail(400, "malformed header line");
        std::string_view name = TrimBlanks(line.substr(0, colon));
        std::string_view value = HeaderValue(line.substr(colon + 1));
        if (EqualsNoCase(name, "User-Name")) {
            req.hasUser = true;
            req.user.assign(value);
        } else if (EqualsNoCase(name, "Authorization")) {
            std::string_view scheme = value.substr(0, 6);
            if (EqualsNoCase(scheme, "basic ")) {
                req.hasPassword = true;
                req.password.assign(value.substr(6));
            } else if (EqualsNoCase(value, "basic")) {
                req.hasPassword = true;
                req.password.clear();
            }
        } else if (EqualsNoCase(name, "Content-Length")) {
            size_t length = 0;
            bool tooLarge = false;
            if (!ReadLength(value, limits.maxBody, length, tooLarge))
                return Fail(400, "malformed Content-Length");
            if (tooLarge)
                return Fail(413, "body larger than " + std::to_string(limits.maxBody) + " bytes");
            if (req.hasContentLength && length != contentLength)
                return Fail(400, "conflicting Content-Length lines");
            req.hasContentLength = true;
            contentLength = length;
        }
        // Other header lines carry nothing the server needs.
    }
    const size_t headEnd = pos;

    if (req.version != "LTP/1.0")
        return Fail(400, "unsupported protocol version " + req.version);
    req.row = ltp::detail::FindCommand(req.verb.data(), req.verb.size(), req.object.data(),
                                       req.object.size());

    if (req.hasContentLength) {
        if (input.size() - headEnd < contentLength) {
            result.headComplete = true;
            result.needed = headEnd + contentLength;
            return result;
        }
        req.body.assign(input.substr(headEnd, contentLength));
        result.state = ParseState::Complete;
        result.consumed = headEnd + contentLength;
        return result;
    }
    if (!req.row)
        return Fail(400, "unknown request " + req.verb + " " + req.object);
    switch (req.row->body) {
        case ltp::detail::BodyKind::None:
            result.state = ParseState::Complete;
            result.consumed = headEnd;
            return result;
        case ltp::detail::BodyKind::Key: {
            const void* hit = headEnd < input.size() ? std::memchr(input.data() + headEnd, '\n',
                                                                   input.size() - headEnd)
                                                     : nullptr;
            if (!hit) {
                if (input.size() - headEnd > limits.maxKeyLine)
                    return Fail(400, "key line longer than " + std::to_string(limits.maxKeyLine) +
                                         " bytes");
                result.headComplete = true;
                return result;
            }
            size_t nl = static_cast<size_t>(static_cast<const char*>(hit) - input.data());
            if (nl - headEnd > limits.maxKeyLine)
                return Fail(400,
                            "key line longer than " + std::to_string(limits.maxKeyLine) + " bytes");
            req.body.assign(StripCr(input.substr(headEnd, nl - headEnd)));
            result.state = ParseState::Complete;
            result.consumed = nl + 1;
            return result;
        }
        case ltp::detail::BodyKind::Record:
        case ltp::detail::BodyKind::Query:
        case ltp::detail::BodyKind::Text:
            break;
    }
    return Fail(411, req.verb + " " + req.object + " needs a Content-Length line");
}

} // namespace ltpd
