#include "tools/ltpweb/http_server.h"

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

namespace ltpweb {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

std::string HttpRequest::Header(const std::string& name) const {
    for (const auto& h : headers)
        if (beast::iequals(h.first, name))
            return h.second;
    return {};
}

struct HttpServer::Impl {
    HttpLimits limits;
    HttpHandler handler;
    std::string tlsCert, tlsKey;
    HttpQuick quick;
    // Declared before the I/O parts: connections still queued there give their counts back here
    // when those parts are torn down.
    std::mutex mutex;
    std::map<std::string, std::size_t> perAddress;
    std::size_t total = 0;
    std::atomic<std::size_t> bodiesInFlight{0};
    std::optional<asio::ssl::context> tls; // outlives the connections that use it
    asio::thread_pool workers;
    asio::io_context ioc;
    tcp::acceptor acceptor;
    int port = 0;

    Impl(HttpLimits l, HttpHandler h, std::string cert, std::string key, HttpQuick q)
        : limits(l), handler(std::move(h)), tlsCert(std::move(cert)), tlsKey(std::move(key)),
          quick(std::move(q)), workers(static_cast<std::size_t>(l.workers)),
          acceptor(asio::make_strand(ioc)) {}
    ~Impl() {
        ioc.stop();
        workers.join();
    }

    bool Admit(const std::string& address) {
        std::lock_guard<std::mutex> lock(mutex);
        std::size_t& mine = perAddress[address];
        if (total >= limits.maxConnections || mine >= limits.maxPerAddress) {
            if (mine == 0)
                perAddress.erase(address);
            return false;
        }
        ++mine;
        ++total;
        return true;
    }
    void Leave(const std::string& address) {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = perAddress.find(address);
        if (it != perAddress.end() && --it->second == 0)
            perAddress.erase(it);
        --total;
    }
    void Accept();
};

namespace {

std::string AddressOf(const tcp::socket& socket) {
    beast::error_code ec;
    auto endpoint = socket.remote_endpoint(ec);
    if (ec)
        return "?";
    auto address = endpoint.address();
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).to_string();
    return address.to_string();
}

// A body budget held while one request's body is read and handled.
class BodyBudget {
public:
    BodyBudget() = default;
    BodyBudget(const BodyBudget&) = delete;
    BodyBudget& operator=(const BodyBudget&) = delete;
    ~BodyBudget() { Release(); }
    bool Take(std::atomic<std::size_t>& pool, std::size_t cap, std::size_t bytes) {
        Release();
        std::size_t now = pool.load();
        do {
            if (now + bytes > cap)
                return false;
        } while (!pool.compare_exchange_weak(now, now + bytes));
        m_pool = &pool;
        m_bytes = bytes;
        return true;
    }
    void Release() {
        if (m_pool)
            m_pool->fetch_sub(m_bytes);
        m_pool = nullptr;
        m_bytes = 0;
    }

private:
    std::atomic<std::size_t>* m_pool = nullptr;
    std::size_t m_bytes = 0;
};

template <class Stream> class Connection : public std::enable_shared_from_this<Connection<Stream>> {
public:
    static constexpr bool kTls = !std::is_same<Stream, beast::tcp_stream>::value;

    template <class... Args>
    Connection(HttpServer::Impl& server, std::string address, Args&&... args)
        : m_server(server), m_address(std::move(address)), m_stream(std::forward<Args>(args)...) {}
    ~Connection() { m_server.Leave(m_address); }

    void Start() {
        if constexpr (kTls) {
            Lowest().expires_after(m_server.limits.headDeadline);
            m_stream.async_handshake(asio::ssl::stream_base::server,
                                     [self = this->shared_from_this()](beast::error_code ec) {
                                         if (!ec)
                                             self->ReadRequest();
                                     });
        } else {
            ReadRequest();
        }
    }

private:
    beast::tcp_stream& Lowest() { return beast::get_lowest_layer(m_stream); }

    void ReadRequest() {
        m_parser.emplace();
        m_parser->header_limit(static_cast<std::uint32_t>(m_server.limits.maxHead));
        m_parser->body_limit(m_server.limits.maxBody);
        if (m_buffer.size() > 0)
            return ReadHead();
        // Waiting for the next request is the idle time; once it starts, the head's deadline.
        Lowest().expires_after(m_server.limits.idleTimeout);
        m_stream.async_read_some(m_buffer.prepare(4096), [self = this->shared_from_this()](
                                                             beast::error_code ec, std::size_t n) {
            if (ec)
                return self->Close();
            self->m_buffer.commit(n);
            self->ReadHead();
        });
    }

    void ReadHead() {
        Lowest().expires_after(m_server.limits.headDeadline);
        http::async_read_header(m_stream, m_buffer, *m_parser,
                                [self = this->shared_from_this()](
                                    beast::error_code ec, std::size_t) { self->OnHead(ec); });
    }

    void OnHead(beast::error_code ec) {
        if (ec == http::error::header_limit)
            return Refuse(431);
        if (ec == http::error::body_limit) // a Content-Length over the limit, seen in the head
            return Refuse(413);
        if (ec == beast::error::timeout)
            return Refuse(408);
        if (ec == http::error::end_of_stream || ec == asio::error::eof ||
            ec == asio::error::connection_reset || ec == asio::ssl::error::stream_truncated)
            return Close();
        if (ec)
            return Refuse(400);
        const auto& head = m_parser->get();
        auto length = m_parser->content_length();
        std::size_t want = 0;
        if (length) {
            if (*length > m_server.limits.maxBody)
                return Refuse(413);
            want = static_cast<std::size_t>(*length);
        } else if (m_parser->chunked()) {
            want = m_server.limits.maxBody;
        } else if (head.method() == http::verb::post || head.method() == http::verb::put ||
                   head.method() == http::verb::patch) {
            // Without a length a body could only end with the connection: it is taken as too
            // large (unbounded), and refused unread.
            return Refuse(411);
        }
        if (want > 0 &&
            !m_budget.Take(m_server.bodiesInFlight, m_server.limits.maxBodiesInFlight, want))
            return Refuse(503);
        if (m_parser->is_done())
            return Dispatch();
        if (beast::iequals(head[http::field::expect], "100-continue")) {
            // The client waits for this before it sends the body it announced.
            auto proceed = std::make_shared<http::response<http::empty_body>>(
                http::status::continue_, head.version());
            Lowest().expires_after(m_server.limits.writeDeadline);
            return http::async_write(
                m_stream, *proceed,
                [self = this->shared_from_this(), proceed](beast::error_code ec2, std::size_t) {
                    if (ec2)
                        return self->Close();
                    self->ReadBody();
                });
        }
        ReadBody();
    }

    void ReadBody() {
        Lowest().expires_after(m_server.limits.bodyDeadline);
        http::async_read(m_stream, m_buffer, *m_parser,
                         [self = this->shared_from_this()](beast::error_code ec2, std::size_t) {
                             if (ec2 == http::error::body_limit)
                                 return self->Refuse(413);
                             if (ec2 == beast::error::timeout)
                                 return self->Refuse(408);
                             if (ec2)
                                 return self->Close();
                             self->Dispatch();
                         });
    }

    void Dispatch() {
        auto message = m_parser->release();
        auto request = std::make_shared<HttpRequest>();
        request->method = std::string(message.method_string());
        request->target = std::string(message.target());
        for (const auto& field : message)
            request->headers.emplace_back(std::string(field.name_string()),
                                          std::string(field.value()));
        request->body = std::move(message.body());
        request->remoteAddress = m_address;
        m_keepAlive = message.keep_alive();
        if (m_server.quick && m_server.quick(*request)) {
            HttpResponse response = Handle(*request);
            m_budget.Release();
            return Write(std::move(response), false);
        }
        asio::post(m_server.workers, [self = this->shared_from_this(), request]() mutable {
            HttpResponse response = self->Handle(*request);
            request.reset();
            self->m_budget.Release();
            asio::post(self->m_stream.get_executor(), [self, r = std::move(response)]() mutable {
                self->Write(std::move(r), false);
            });
        });
    }

    HttpResponse Handle(HttpRequest& request) {
        try {
            return m_server.handler(request);
        } catch (...) {
            return HttpResponse{500, {}, {}};
        }
    }

    // Answers from the HTTP layer itself; the connection closes after them.
    void Refuse(int status) {
        HttpRequest request;
        request.method = "REFUSED";
        request.target = std::to_string(status);
        request.remoteAddress = m_address;
        HttpResponse response{status, {}, {}};
        try {
            response = m_server.handler(request);
        } catch (...) {
        }
        if (status == 503)
            response.headers.emplace_back("Retry-After", "1");
        m_budget.Release();
        Write(std::move(response), true);
    }

    void Write(HttpResponse response, bool close) {
        auto out = std::make_shared<http::response<http::string_body>>();
        out->version(11);
        out->result(static_cast<unsigned>(response.status));
        for (auto& h : response.headers)
            out->insert(h.first, h.second);
        out->body() = std::move(response.body);
        out->keep_alive(m_keepAlive && !close);
        out->prepare_payload();
        Lowest().expires_after(m_server.limits.writeDeadline);
        http::async_write(
            m_stream, *out,
            [self = this->shared_from_this(), out](beast::error_code ec, std::size_t) {
                if (ec || !out->keep_alive())
                    return self->Close(!ec);
                self->ReadRequest();
            });
    }

    // After an answer, a client may still be sending what was refused: that is read and dropped
    // for a bounded while, so that closing does not reset the connection before the answer is read.
    void Close(bool linger = false) {
        if constexpr (!kTls) {
            if (linger) {
                beast::error_code ignored;
                Lowest().socket().shutdown(tcp::socket::shutdown_send, ignored);
                return Drain(4u << 20);
            }
        }
        if constexpr (kTls) {
            Lowest().expires_after(std::chrono::seconds(2));
            m_stream.async_shutdown([self = this->shared_from_this()](beast::error_code) {
                beast::error_code ignored;
                self->Lowest().socket().close(ignored);
            });
        } else {
            beast::error_code ignored;
            Lowest().socket().shutdown(tcp::socket::shutdown_send, ignored);
            Lowest().socket().close(ignored);
        }
    }

    void Drain(std::size_t left) {
        Lowest().expires_after(std::chrono::seconds(2));
        m_buffer.clear();
        m_stream.async_read_some(m_buffer.prepare(65536), [self = this->shared_from_this(), left](
                                                              beast::error_code ec, std::size_t n) {
            if (ec || n >= left)
                return self->Close();
            self->Drain(left - n);
        });
    }

    HttpServer::Impl& m_server;
    std::string m_address;
    Stream m_stream;
    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::string_body>> m_parser;
    BodyBudget m_budget;
    bool m_keepAlive = true;
};

} // namespace

void HttpServer::Impl::Accept() {
    acceptor.async_accept(asio::make_strand(ioc), [this](beast::error_code ec, tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !acceptor.is_open())
            return;
        if (!ec) {
            std::string address = AddressOf(socket);
            if (!Admit(address)) {
                // Over a cap: closed at once, nothing read or kept.
                beast::error_code ignored;
                socket.close(ignored);
            } else {
                socket.set_option(tcp::no_delay(true), ec);
                if (tls)
                    std::make_shared<Connection<beast::ssl_stream<beast::tcp_stream>>>(
                        *this, address, std::move(socket), *tls)
                        ->Start();
                else
                    std::make_shared<Connection<beast::tcp_stream>>(*this, address,
                                                                    std::move(socket))
                        ->Start();
            }
        } else {
            // Out of descriptors: wait a little rather than spin on the failing accept.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        Accept();
    });
}

HttpServer::HttpServer(HttpLimits limits, HttpHandler handler, std::string tlsCert,
                       std::string tlsKey, HttpQuick quick)
    : m_impl(std::make_shared<Impl>(limits, std::move(handler), std::move(tlsCert),
                                    std::move(tlsKey), std::move(quick))) {}

HttpServer::~HttpServer() {
    Stop();
}

bool HttpServer::Bind(const std::string& host, int port, std::string& error) {
    Impl& s = *m_impl;
    beast::error_code ec;
    if (!s.tlsCert.empty()) {
        s.tls.emplace(asio::ssl::context::tls_server);
        s.tls->set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                           asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 |
                           asio::ssl::context::no_tlsv1_1);
        s.tls->use_certificate_chain_file(s.tlsCert, ec);
        if (!ec)
            s.tls->use_private_key_file(s.tlsKey, asio::ssl::context::pem, ec);
        if (ec) {
            error = "the TLS certificate or key cannot be used";
            return false;
        }
    }
    auto address = asio::ip::make_address(host == "localhost" ? "127.0.0.1" : host, ec);
    if (!ec) {
        tcp::endpoint endpoint(address, static_cast<unsigned short>(port));
        s.acceptor.open(endpoint.protocol(), ec);
        if (!ec)
            s.acceptor.set_option(asio::socket_base::reuse_address(true), ec);
        if (!ec)
            s.acceptor.bind(endpoint, ec);
        if (!ec)
            s.acceptor.listen(s.limits.backlog, ec);
    }
    if (ec) {
        error = "cannot listen on " + host + ":" + std::to_string(port) + " (" + ec.message() + ")";
        return false;
    }
    s.port = s.acceptor.local_endpoint().port();
    return true;
}

int HttpServer::Port() const {
    return m_impl->port;
}

void HttpServer::Run() {
    Impl& s = *m_impl;
    asio::post(s.acceptor.get_executor(), [&s] { s.Accept(); });
    std::vector<std::thread> more;
    for (int i = 1; i < s.limits.ioThreads; ++i)
        more.emplace_back([&s] { s.ioc.run(); });
    s.ioc.run();
    for (auto& t : more)
        t.join();
}

void HttpServer::Stop() {
    m_impl->ioc.stop();
}

std::size_t HttpServer::Connections() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->total;
}

} // namespace ltpweb
