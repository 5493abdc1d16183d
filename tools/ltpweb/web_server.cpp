#include "tools/ltpweb/web_server.h"

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <strings.h>
#include <thread>

#include "tools/ltpweb/api_error.h"
#include "tools/ltpweb/compression.h"

namespace ltpweb {
namespace {

// No inline script or style anywhere: the page's code is its own files.
constexpr const char* kCsp = "default-src 'none'; script-src 'self'; style-src 'self'; "
                             "img-src 'self' data:; connect-src 'self'; font-src 'self'; "
                             "base-uri 'none'; form-action 'self'; frame-ancestors 'none'";

// Written without recursion, so that a tree of any depth can be answered.
std::string Dump(const nlohmann::ordered_json& root) {
    using J = nlohmann::ordered_json;
    // Server texts need not be UTF-8; bytes that are not become U+FFFD instead of an exception.
    auto scalar = [](const J& j) { return j.dump(-1, ' ', false, J::error_handler_t::replace); };
    struct Frame {
        const J* value;
        J::const_iterator next;
    };
    std::string out;
    std::vector<Frame> stack;
    auto open = [&](const J& j) {
        if (!j.is_structured() || j.empty()) {
            out += scalar(j);
            return;
        }
        out += j.is_object() ? '{' : '[';
        stack.push_back({&j, j.begin()});
    };
    open(root);
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next == f.value->end()) {
            out += f.value->is_object() ? '}' : ']';
            stack.pop_back();
            continue;
        }
        if (f.next != f.value->begin())
            out += ',';
        auto it = f.next++;
        if (f.value->is_object())
            out += scalar(J(it.key())) + ':';
        open(*it); // may move the stack: f is not used after this
    }
    return out;
}

HttpResponse Json(int status, const nlohmann::ordered_json& body) {
    return {status, {{"Content-Type", "application/json; charset=utf-8"}}, Dump(body)};
}

HttpResponse Error(const ApiError& e) {
    HttpResponse r = Json(e.http, ErrorBody(e));
    if (e.http == 401)
        r.headers.emplace_back("WWW-Authenticate", "Cookie");
    return r;
}

std::string CookieValue(const HttpRequest& req, const std::string& name) {
    for (const auto& header : req.headers) {
        if (header.first.size() != 6 || strncasecmp(header.first.c_str(), "Cookie", 6) != 0)
            continue;
        std::istringstream parts(header.second);
        std::string part;
        while (std::getline(parts, part, ';')) {
            auto start = part.find_first_not_of(' ');
            if (start == std::string::npos)
                continue;
            part.erase(0, start);
            if (part.size() > name.size() && part.compare(0, name.size(), name) == 0 &&
                part[name.size()] == '=')
                return part.substr(name.size() + 1);
        }
    }
    return {};
}

std::vector<std::string> Split(const std::string& text, char by) {
    std::vector<std::string> out;
    std::string::size_type start = 0;
    while (true) {
        auto at = text.find(by, start);
        out.push_back(text.substr(start, at - start));
        if (at == std::string::npos)
            return out;
        start = at + 1;
    }
}

// The path's segments against a route's ("{name}" takes one segment, decoded once). Literal
// segments compare as sent.
bool Match(const std::vector<std::string>& pattern, const std::vector<std::string>& segments,
           std::map<std::string, std::string>& values) {
    if (pattern.size() != segments.size())
        return false;
    std::map<std::string, std::string> found;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::string& p = pattern[i];
        if (p.size() > 2 && p.front() == '{' && p.back() == '}') {
            std::string value;
            if (segments[i].empty())
                return false;
            if (!PercentDecode(segments[i], false, value))
                throw BadRequest("the path holds a malformed %-escape");
            found[p.substr(1, p.size() - 2)] = std::move(value);
        } else if (p != segments[i]) {
            return false;
        }
    }
    values = std::move(found);
    return true;
}

} // namespace

bool PercentDecode(const std::string& text, bool plusIsSpace, std::string& out) {
    out.clear();
    auto hex = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            int hi = i + 2 < text.size() ? hex(text[i + 1]) : -1;
            int lo = hi >= 0 ? hex(text[i + 2]) : -1;
            if (lo < 0)
                return false;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += plusIsSpace && text[i] == '+' ? ' ' : text[i];
        }
    }
    return true;
}

WebServer::WebServer(Options options, SignInCheck signIn, std::vector<Route> apiRoutes)
    : m_options(std::move(options)),
      m_sessions(std::chrono::minutes(m_options.idleMinutes), std::chrono::steady_clock::now),
      m_throttle(5, std::chrono::seconds(60), std::chrono::steady_clock::now),
      m_routes(std::move(apiRoutes)), m_files(m_options.assetDir, m_options.chartJs) {
    m_sessions.SetCaps(m_options.sessionsPerAddress, m_options.maxSessions);
    AddSessionRoutes(std::move(signIn));
    m_routes.push_back({"GET",
                        "/api/openapi.json",
                        "meta",
                        "This document",
                        {},
                        {},
                        [this](Call&) { return Reply{OpenApiDocument(m_routes)}; },
                        false,
                        200,
                        "openapi"});
    HttpLimits limits;
    limits.maxBody = kMaxBody;
    limits.maxConnections = m_options.maxConnections;
    limits.maxPerAddress = m_options.maxPerAddress;
    limits.headDeadline = std::chrono::seconds(m_options.headTimeout);
    limits.idleTimeout = std::chrono::seconds(m_options.idleTimeout);
    // The page's files and the metrics come from memory: they never wait behind LTP requests.
    auto quick = [](const HttpRequest& r) {
        std::string path = r.target.substr(0, r.target.find('?'));
        return r.method == "GET" && (StaticFiles::Serves(path) || path == "/metrics");
    };
    m_http = std::make_unique<HttpServer>(
        limits, [this](HttpRequest& r) { return Answer(r); }, m_options.tlsCert, m_options.tlsKey,
        quick);
    if (!m_options.metricsListen.empty() && m_options.metricsListen != "off") {
        HttpLimits small;
        small.maxConnections = 64;
        small.maxPerAddress = 16;
        small.workers = 1;
        m_metricsHttp = std::make_unique<HttpServer>(small, [this](HttpRequest& r) {
            HttpResponse out = r.method == "GET" && Split(r.target, '?')[0] == "/metrics"
                                   ? MetricsText()
                                   : Error(ApiError(404, "not_found", "no such resource"));
            Finish(r, out);
            return out;
        });
    }
}

WebServer::~WebServer() = default;

void WebServer::AddSessionRoutes(SignInCheck signIn) {
    const bool secure = !m_options.tlsCert.empty();
    Route in{"POST",
             "/api/session",
             "session",
             "Sign in: the credentials are checked by the LTP server; sets the session cookie "
             "and returns the CSRF token",
             {{"user", JsonType::String, true}, {"password", JsonType::String, true}},
             {},
             nullptr,
             false};
    in.handler = [this, signIn, secure](Call& call) {
        if (long long wait = m_throttle.WaitFor(call.clientAddress)) {
            ApiError e(429, "throttled", "too many failed sign-ins; try again later");
            Reply r{ErrorBody(e), 429};
            r.headers.emplace_back("Retry-After", std::to_string(wait));
            return r;
        }
        std::string user = call.body["user"].get<std::string>();
        std::shared_ptr<SessionData> data;
        try {
            data = signIn(user, call.body["password"].get<std::string>());
        } catch (const ApiError& e) {
            // Only a refusal of the credentials counts against the address, not an outage.
            if (e.http == 401 || e.http == 403 || e.http == 422)
                m_throttle.Failed(call.clientAddress);
            throw;
        }
        m_throttle.Succeeded(call.clientAddress);
        auto session = m_sessions.Create(user, std::move(data), call.clientAddress);
        Reply r{{{"csrf", session->csrf}, {"user", user}}};
        r.headers.emplace_back("Set-Cookie", std::string(kSessionCookie) + "=" + session->id +
                                                 "; Path=/; HttpOnly; SameSite=Strict" +
                                                 (secure ? "; Secure" : ""));
        return r;
    };
    in.operation = "sign_in";
    m_routes.push_back(in);
    Route out{"DELETE", "/api/session", "session", "Sign out", {}, {}, nullptr};
    out.handler = [this, secure](Call& call) {
        m_sessions.End(call.session->id);
        Reply r{nlohmann::ordered_json::object()};
        r.headers.emplace_back("Set-Cookie", std::string(kSessionCookie) +
                                                 "=; Path=/; Max-Age=0; HttpOnly; SameSite=Strict" +
                                                 (secure ? "; Secure" : ""));
        return r;
    };
    out.operation = "sign_out";
    m_routes.push_back(out);
    Route who{"GET",
              "/api/session",
              "session",
              "The signed-in user and the CSRF token",
              {},
              {},
              [](Call& call) {
                  return Reply{{{"user", call.session->user}, {"csrf", call.session->csrf}}};
              }};
    who.operation = "session";
    m_routes.push_back(who);
}

HttpResponse WebServer::MetricsText() {
    std::vector<Metrics::Gauge> gauges = {
        {"ltpweb_sessions", "Signed-in sessions.", static_cast<double>(m_sessions.Count())},
        {"ltpweb_http_connections", "Open HTTP connections.",
         static_cast<double>(m_http->Connections())},
    };
    if (m_gauges)
        for (auto& g : m_gauges())
            gauges.push_back(std::move(g));
    return {200,
            {{"Content-Type", "text/plain; version=0.0.4; charset=utf-8"}},
            m_metrics.Text(gauges)};
}

HttpResponse WebServer::Answer(HttpRequest& request) {
    auto started = std::chrono::steady_clock::now();
    std::string routeName = "(none)";
    HttpResponse response;
    if (request.method == "REFUSED") {
        // The HTTP layer refused the request before it was read whole.
        int status = std::atoi(request.target.c_str());
        routeName = "(refused)";
        response =
            Error(status == 413   ? ApiError(413, "too_large", "the body is larger than 1 MiB")
                  : status == 431 ? ApiError(431, "too_large", "the request's head is too large")
                  : status == 411 ? ApiError(413, "too_large",
                                             "a body without a length is never read: send a "
                                             "Content-Length of at most 1 MiB, or chunked")
                  : status == 408 ? ApiError(408, "timeout", "the request did not arrive in time")
                  : status == 503 ? ApiError(503, "busy", "too many bodies in flight; try again")
                                  : ApiError(400, "bad_request", "the request is not valid HTTP"));
    } else {
        std::string::size_type q = request.target.find('?');
        std::string path = request.target.substr(0, q);
        std::string query = q == std::string::npos ? "" : request.target.substr(q + 1);
        try {
            if (StaticFiles::Serves(path) &&
                (request.method == "GET" || request.method == "HEAD")) {
                routeName = path;
                response =
                    m_files.Has(path)
                        ? m_files.Answer(request, path)
                        : Error(ApiError(404, "not_found", "the page's file is not installed"));
                if (request.method == "HEAD")
                    response.body.clear();
            } else if (path == "/metrics" && request.method == "GET" &&
                       m_options.metricsListen.empty()) {
                routeName = path;
                response = MetricsText();
            } else {
                response = AnswerRoute(request, path, query, routeName);
            }
        } catch (const ApiError& e) {
            response = Error(e);
        } catch (...) {
            response = Error(ApiError(500, "internal", "the request failed"));
        }
    }
    Finish(request, response);
    if (response.status == 502 || response.status == 504)
        m_metrics.LtpError(response.status == 504 ? "timeout" : "unreachable");
    m_metrics.Request(
        request.method, routeName, response.status,
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    return response;
}

// The headers every answer carries, and compression of large JSON answers.
void WebServer::Finish(const HttpRequest& request, HttpResponse& response) const {
    bool cacheSet = false;
    for (const auto& h : response.headers)
        cacheSet = cacheSet || h.first == "Cache-Control";
    response.headers.emplace_back("Content-Security-Policy", kCsp);
    response.headers.emplace_back("X-Content-Type-Options", "nosniff");
    response.headers.emplace_back("X-Frame-Options", "DENY");
    response.headers.emplace_back("Referrer-Policy", "no-referrer");
    if (!cacheSet)
        response.headers.emplace_back("Cache-Control", "no-store");
    if (!m_options.tlsCert.empty())
        response.headers.emplace_back("Strict-Transport-Security", "max-age=31536000");
    bool json = false, encoded = false;
    for (const auto& h : response.headers) {
        json = json || (h.first == "Content-Type" && h.second.rfind("application/json", 0) == 0);
        encoded = encoded || h.first == "Content-Encoding";
    }
    // Small answers, which include every one carrying a secret token, go as they are.
    if (json && !encoded && response.body.size() >= 1024 && AcceptsGzip(request)) {
        std::string packed = Gzip(response.body);
        if (!packed.empty()) {
            response.body = std::move(packed);
            response.headers.emplace_back("Content-Encoding", "gzip");
            response.headers.emplace_back("Vary", "Accept-Encoding");
        }
    }
}

HttpResponse WebServer::AnswerRoute(HttpRequest& req, const std::string& path,
                                    const std::string& query, std::string& routeName) {
    std::vector<std::string> segments = Split(path, '/');
    const Route* route = nullptr;
    Call call;
    bool pathKnown = false;
    for (const Route& r : m_routes) {
        std::map<std::string, std::string> values;
        if (!Match(Split(r.path, '/'), segments, values))
            continue;
        pathKnown = true;
        if (r.method != req.method)
            continue;
        route = &r;
        call.path = std::move(values);
        break;
    }
    if (!route) {
        if (pathKnown)
            throw ApiError(405, "method_not_allowed", "the resource does not take this method");
        throw ApiError(404, "not_found", "no such resource");
    }
    routeName = route->path;
    call.clientAddress = req.remoteAddress;
    std::shared_ptr<Session> session;
    if (route->needsSession) {
        session = m_sessions.Find(CookieValue(req, kSessionCookie));
        if (!session)
            throw ApiError(401, "unauthorized", "not signed in, or the session ended");
        call.session = session.get();
        if (route->method != "GET" && !SameSecret(req.Header("X-CSRF-Token"), session->csrf))
            throw ApiError(403, "forbidden", "the X-CSRF-Token header is missing or wrong");
    }
    std::map<std::string, std::string> params;
    if (!query.empty())
        for (const std::string& pair : Split(query, '&')) {
            auto eq = pair.find('=');
            std::string name, value;
            if (!PercentDecode(pair.substr(0, eq), true, name) ||
                !PercentDecode(eq == std::string::npos ? "" : pair.substr(eq + 1), true, value))
                throw BadRequest("the query holds a malformed %-escape");
            params.emplace(std::move(name), std::move(value));
        }
    for (const QueryParam& q : route->query) {
        auto found = params.find(q.name);
        if (found != params.end())
            call.query[q.name] = found->second;
        else if (q.required)
            throw BadRequest("query parameter \"" + q.name + "\" is missing");
    }
    if (!route->body.empty() || !req.body.empty()) {
        if (req.Header("Content-Type").rfind("application/json", 0) != 0)
            throw ApiError(415, "unsupported_media_type",
                           "the body must be sent as application/json");
        call.body = ParseBody(req.body, route->body);
    }
    Reply reply = route->handler(call);
    HttpResponse out = Json(reply.status == 200 ? route->okStatus : reply.status, reply.body);
    for (auto& h : reply.headers)
        out.headers.push_back(std::move(h));
    return out;
}

bool WebServer::Bind(std::string& error) {
    if (!m_http->Bind(m_options.listenHost, m_options.listenPort, error))
        return false;
    m_port = m_http->Port();
    if (m_metricsHttp) {
        std::string host;
        int port = 0;
        if (!ParseListen(m_options.metricsListen, host, port)) {
            error = "--metrics-listen wants ADDR:PORT or off";
            return false;
        }
        if (!m_metricsHttp->Bind(host, port, error))
            return false;
        m_metricsPort = m_metricsHttp->Port();
    }
    return true;
}

void WebServer::Run() {
    std::thread metrics;
    if (m_metricsHttp)
        metrics = std::thread([this] { m_metricsHttp->Run(); });
    m_http->Run();
    if (m_metricsHttp) {
        m_metricsHttp->Stop();
        metrics.join();
    }
}

void WebServer::Stop() {
    m_http->Stop();
}

} // namespace ltpweb
