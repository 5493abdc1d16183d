#include "ltpadmin/client/connection.h"

#include <algorithm>
#include <cstring>

namespace ltp::detail {
namespace {

using Kind = TransportError::Kind;

constexpr std::size_t kFirstRoom = 64 * 1024;
// A buffer larger than this is given back after the response that needed it.
constexpr std::size_t kKeptRoom = 1024 * 1024;

constexpr char kHeadEnd[] = "\r\n\r\n";
constexpr std::size_t kHeadEndLength = 4;
constexpr char kContentLength[] = "Content-Length:";
constexpr std::size_t kContentLengthLength = sizeof kContentLength - 1;

// Where the head ends and how long the body is, once the blank line has arrived.
struct Frame {
    bool head_found = false;
    std::size_t body_offset = 0;
    long long body_length = 0; // negative: the server's header is no length
};

// The header's value: blanks, digits; anything else (a sign, no digits) is no length.
long long ParseLength(const char* p, const char* end) {
    while (p != end && (*p == ' ' || *p == '\t'))
        ++p;
    if (p == end || *p < '0' || *p > '9')
        return -1;
    long long value = 0;
    for (; p != end && *p >= '0' && *p <= '9'; ++p)
        value = std::min(value * 10 + (*p - '0'), 1LL << 62);
    return value;
}

// Looks for the blank line in the bytes from `from` on; a head without "Content-Length:" has an
// empty body.
Frame FindFrame(const char* data, std::size_t length, std::size_t from) {
    Frame frame;
    from = from > kHeadEndLength - 1 ? from - (kHeadEndLength - 1) : 0;
    const char* end = data + length;
    const char* found = std::search(data + from, end, kHeadEnd, kHeadEnd + kHeadEndLength);
    if (found == end)
        return frame;
    frame.head_found = true;
    frame.body_offset = static_cast<std::size_t>(found - data) + kHeadEndLength;
    const char* head_end = found + 2;
    const char* header =
        std::search(data, head_end, kContentLength, kContentLength + kContentLengthLength);
    if (header != head_end) {
        const char* line_end = std::find(header, head_end, '\r');
        frame.body_length = ParseLength(header + kContentLengthLength, line_end);
    }
    return frame;
}

[[noreturn]] void Limit(const char* what, std::size_t limit) {
    throw TransportError(Kind::limit, "",
                         std::string(what) + " passes the limit of " + std::to_string(limit) +
                             " bytes");
}

} // namespace

void Connection::connect() {
    if (!socket_.is_open())
        socket_.connect(options_->host, options_->port, options_->connect_timeout);
}

char* Connection::room(std::size_t more) {
    if (capacity_ - used_ >= more)
        return buffer_.get() + used_;
    const std::size_t wanted = std::max(used_ + more, capacity_ * 2);
    std::unique_ptr<char[]> bigger(new char[wanted]);
    if (used_ != 0)
        std::memcpy(bigger.get(), buffer_.get(), used_);
    buffer_ = std::move(bigger);
    capacity_ = wanted;
    return buffer_.get() + used_;
}

Response Connection::exchange(const std::string& request) {
    if (socket_.is_open() && socket_.is_stale())
        socket_.close();
    connect();
    if (capacity_ > kKeptRoom) {
        buffer_.reset();
        capacity_ = 0;
    }
    used_ = 0;
    socket_.send_all(request.data(), request.size(), options_->request_timeout);
    return receive();
}

Response Connection::receive() {
    const std::size_t most = options_->max_response_bytes;
    Frame frame;
    std::size_t total = 0;
    try {
        for (;;) {
            const std::size_t want = frame.head_found ? total - used_ : kFirstRoom;
            char* into = room(want);
            const std::size_t before = used_;
            used_ += socket_.receive(into, capacity_ - used_, options_->request_timeout);
            if (!frame.head_found) {
                if (used_ > most)
                    Limit("the response", most);
                frame = FindFrame(buffer_.get(), used_, before);
                if (!frame.head_found)
                    continue;
                if (frame.body_length < 0)
                    throw ProtocolError("the response's Content-Length is not a length");
                if (static_cast<unsigned long long>(frame.body_length) > most - frame.body_offset)
                    Limit("the response", most);
                total = frame.body_offset + static_cast<std::size_t>(frame.body_length);
            }
            if (used_ >= total)
                break;
        }
    } catch (...) {
        socket_.close();
        throw;
    }
    // Bytes past the response belong to no request: the connection is not used again.
    if (used_ > total)
        socket_.close();
    return Response{buffer_.get(), total, frame.body_offset};
}

} // namespace ltp::detail
