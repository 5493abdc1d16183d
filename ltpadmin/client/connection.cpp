#include "ltpadmin/client/connection.h"

#include "ltpadmin/protocol/framing.h"

#include <algorithm>
#include <cstring>

namespace ltp::detail {
namespace {

using Kind = TransportError::Kind;

constexpr std::size_t kFirstRoom = 64 * 1024;
// A buffer larger than this is not kept for the next response: an idle client (in a pool, say)
// should not hold the room of a rare long list. Up to it, a long list asked for again is received
// into memory already in use instead of fresh pages.
constexpr std::size_t kKeptRoom = 32 * 1024 * 1024;

[[noreturn]] void Limit(const char* what, std::size_t limit) {
    throw TransportError(Kind::limit, "",
                         std::string(what) + " passes the limit of " + std::to_string(limit) +
                             " bytes");
}

} // namespace

void Connection::connect() {
    if (!socket_.is_open())
        socket_.connect(options_->host, options_->port, options_->connect_timeout,
                        options_->request_timeout);
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

void Connection::drop(std::size_t count) {
    if (count == 0)
        return;
    if (options_->trace)
        options_->trace(TraceDirection::response, std::string_view(buffer_.get(), count));
    used_ -= count;
    std::memmove(buffer_.get(), buffer_.get() + count, used_);
}

Response Connection::exchange(const std::string& request, BodySink* sink) {
    if (socket_.is_open() && socket_.is_stale())
        socket_.close();
    connect();
    if (capacity_ > kKeptRoom) {
        buffer_.reset();
        capacity_ = 0;
    }
    used_ = 0;
    if (options_->trace)
        options_->trace(TraceDirection::request, request);
    socket_.send_all(request.data(), request.size());
    try {
        const Response response = receive(sink);
        if (options_->trace)
            options_->trace(TraceDirection::response,
                            std::string_view(response.data, response.length));
        return response;
    } catch (...) {
        if (options_->trace && used_ > 0)
            options_->trace(TraceDirection::response, std::string_view(buffer_.get(), used_));
        throw;
    }
}

Response Connection::receive(BodySink* sink) {
    const std::size_t most = options_->max_response_bytes;
    // A streamed response is bounded as a whole by its own limit, and what is held by most.
    const bool streams = sink != nullptr && sink->streams();
    const std::size_t longest = streams ? options_->max_stream_bytes : most;
    Frame frame;
    std::size_t total = 0;
    try {
        for (;;) {
            std::size_t want = frame.headComplete ? total - used_ : kFirstRoom;
            if (streams)
                want = std::min(want, kFirstRoom);
            char* into = room(want);
            used_ += socket_.receive(into, capacity_ - used_);
            if (!frame.headComplete) {
                if (used_ > most && !streams)
                    Limit("the response", most);
                frame = ReadFrame(buffer_.get(), used_, frame);
                // A walk holds the head until its status is read, and body bytes only as far as
                // they come with it.
                if (streams && (frame.headComplete ? frame.bodyOffset : used_) > most)
                    Limit("the response's head", most);
                if (!frame.headComplete)
                    continue;
                if (frame.contentLength < 0)
                    throw ProtocolError("the response's Content-Length is negative");
                if (frame.bodyOffset > longest ||
                    static_cast<std::size_t>(frame.contentLength) > longest - frame.bodyOffset)
                    Limit(streams ? "the streamed response" : "the response", longest);
                total = frame.bodyOffset + static_cast<std::size_t>(frame.contentLength);
            }
            if (used_ >= total)
                break;
            if (sink == nullptr)
                continue;
            sink->arrived(Response{buffer_.get(), used_, frame.bodyOffset}, total);
            if (!streams)
                continue;
            const std::size_t released = std::min(sink->release(), used_);
            drop(released);
            total -= released;
            frame.bodyOffset -= std::min(frame.bodyOffset, released);
            if (used_ > most)
                Limit("the part of the response held at once", most);
        }
    } catch (...) {
        socket_.close();
        throw;
    }
    // Bytes past the response belong to no request: the connection is not used again.
    if (used_ > total)
        socket_.close();
    return Response{buffer_.get(), total, frame.bodyOffset};
}

} // namespace ltp::detail
