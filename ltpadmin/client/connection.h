// The client's connection: sends one request, receives its response whole (framed by the head's
// "Content-Length:"), within the limits and idle time-out of the options.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "ltpadmin/ltp/options.h"
#include "ltpadmin/client/socket.h"

namespace ltp::detail {

// A whole response, valid until the next exchange.
struct Response {
    const char* data;
    std::size_t length;      // head and body
    std::size_t body_offset; // where the body starts
    bool dry = false;        // not sent (Options::dry_run): a success with nothing in it
};

// Sees a response while it arrives, each time bytes have come once its head is whole: so_far
// holds the head and the body up to now, total is the whole response's length. May throw to end
// the exchange (which closes the connection).
class BodySink {
public:
    virtual void arrived(const Response& so_far, std::size_t total) = 0;
    // A sink that streams is read into in pieces instead of into room for the whole response, and
    // after each arrival the connection drops the bytes it releases (those at the front of so_far,
    // traced on the way out); so_far and total then count from the first byte kept. Such a sink
    // bounds what is held (Options::max_response_bytes) and the response by max_stream_bytes.
    virtual bool streams() const { return false; }
    virtual std::size_t release() { return 0; }

protected:
    ~BodySink() = default;
};

class Connection {
public:
    // options must outlive the connection.
    explicit Connection(const Options& options) : options_(&options) {}

    void connect();
    void close() noexcept { socket_.close(); }
    bool is_open() const { return socket_.is_open(); }
    // Sends the request and returns its response. An idle connection the server has closed is
    // opened again first; once the request has started going out it is never sent again. Any
    // failure closes the connection.
    // A sink, when given, sees the response as it arrives; when it streams, the response returned
    // is what it had not released.
    Response exchange(const std::string& request, BodySink* sink = nullptr);

private:
    // Receives until the response is whole; returns its length.
    Response receive(BodySink* sink);
    // Room for at least more bytes after the used ones.
    char* room(std::size_t more);
    // Drops the first count bytes a streaming sink released.
    void drop(std::size_t count);

    const Options* options_;
    Socket socket_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace ltp::detail
