#include "tools/ltpweb/web_server.h"

#include <fstream>
#include <regex>
#include <sstream>

#include <httplib.h>

#include "tools/ltpweb/api_error.h"

namespace ltpweb {
namespace {

// No inline script or style anywhere: the page's code is its own files.
constexpr const char* kCsp = "default-src 'none'; script-src 'self'; style-src 'self'; "
                             "img-src 'self' data:; connect-src 'self'; font-src 'self'; "
                             "base-uri 'none'; form-action 'self'; frame-ancestors 'none'";

std::string Dump(const nlohmann::ordered_json& j) {
    // Server texts need not be UTF-8; bytes that are not become U+FFFD instead of an exception.
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void SendJson(httplib::Response& res, int status, const nlohmann::ordered_json& body) {
    res.status = status;
    res.set_content(Dump(body), "application/json; charset=utf-8");
}

void SendError(httplib::Response& res, const ApiError& e) {
    SendJson(res, e.http, ErrorBody(e));
    if (e.http == 401)
        res.set_header("WWW-Authenticate", "Cookie");
}

std::string CookieValue(const httplib::Request& req, const std::string& name) {
    auto range = req.headers.equal_range("Cookie");
    for (auto it = range.first; it != range.second; ++it) {
        std::istringstream parts(it->second);
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

// "/api/users/{id}" -> "/api/users/([^/]+)" with the names in order.
std::string PathPattern(const std::string& path, std::vector<std::string>& names) {
    std::string out;
    for (std::string::size_type i = 0; i < path.size(); ++i) {
        if (path[i] == '{') {
            auto close = path.find('}', i);
            names.push_back(path.substr(i + 1, close - i - 1));
            out += "([^/]+)";
            i = close;
        } else {
            out += path[i];
        }
    }
    return out;
}

bool ReadFile(const std::string& file, std::string& out) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return true;
}

} // namespace

WebServer::WebServer(Options options, SignInCheck signIn, std::vector<Route> apiRoutes)
    : m_options(std::move(options)),
      m_sessions(std::chrono::minutes(m_options.idleMinutes), std::chrono::steady_clock::now),
      m_throttle(5, std::chrono::seconds(60), std::chrono::steady_clock::now),
      m_routes(std::move(apiRoutes)) {
    if (!m_options.tlsCert.empty())
        m_http = std::make_unique<httplib::SSLServer>(m_options.tlsCert.c_str(),
                                                      m_options.tlsKey.c_str());
    else
        m_http = std::make_unique<httplib::Server>();
    m_http->set_payload_max_length(kMaxBody);
    m_http->set_read_timeout(10);
    m_http->set_write_timeout(30);
    m_http->set_keep_alive_timeout(5);
    m_http->set_default_headers({{"Content-Security-Policy", kCsp},
                                 {"X-Content-Type-Options", "nosniff"},
                                 {"X-Frame-Options", "DENY"},
                                 {"Referrer-Policy", "no-referrer"},
                                 {"Cache-Control", "no-store"}});
    m_http->set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty())
            return;
        const char* reason = res.status == 413   ? "the body is larger than 1 MiB"
                             : res.status == 404 ? "no such resource"
                                                 : "the request was refused";
        const char* kind = res.status == 413   ? "too_large"
                           : res.status == 404 ? "not_found"
                                               : "bad_request";
        SendJson(res, res.status, ErrorBody(ApiError(res.status, kind, reason)));
    });
    m_http->set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
            SendJson(res, 500, ErrorBody(ApiError(500, "internal", "the request failed")));
        });
    AddSessionRoutes(std::move(signIn));
    m_routes.push_back({"GET",
                        "/api/openapi.json",
                        "meta",
                        "This document",
                        {},
                        {},
                        [this](Call&) { return Reply{OpenApiDocument(m_routes)}; },
                        false});
    for (const Route& r : m_routes)
        Register(r);
    ServeStatic();
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
        auto session = m_sessions.Create(user, std::move(data));
        Reply r{{{"csrf", session->csrf}, {"user", user}}};
        r.headers.emplace_back("Set-Cookie", std::string(kSessionCookie) + "=" + session->id +
                                                 "; Path=/; HttpOnly; SameSite=Strict" +
                                                 (secure ? "; Secure" : ""));
        return r;
    };
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
    m_routes.push_back(who);
}

void WebServer::Register(const Route& route) {
    auto names = std::make_shared<std::vector<std::string>>();
    std::string pattern = PathPattern(route.path, *names);
    httplib::Server::Handler h = [this, &route, names](const httplib::Request& req,
                                                       httplib::Response& res) {
        try {
            Call call;
            call.clientAddress = req.remote_addr;
            for (std::size_t i = 0; i < names->size(); ++i)
                call.path[(*names)[i]] = httplib::detail::decode_url(req.matches[i + 1], false);
            std::shared_ptr<Session> session;
            if (route.needsSession) {
                session = m_sessions.Find(CookieValue(req, kSessionCookie));
                if (!session)
                    throw ApiError(401, "unauthorized", "not signed in, or the session ended");
                call.session = session.get();
                if (route.method != "GET" &&
                    !SameSecret(req.get_header_value("X-CSRF-Token"), session->csrf))
                    throw ApiError(403, "forbidden", "the X-CSRF-Token header is missing or wrong");
            }
            for (const QueryParam& q : route.query) {
                if (req.has_param(q.name.c_str()))
                    call.query[q.name] = req.get_param_value(q.name.c_str());
                else if (q.required)
                    throw BadRequest("query parameter \"" + q.name + "\" is missing");
            }
            if (!route.body.empty() || !req.body.empty()) {
                std::string type = req.get_header_value("Content-Type");
                if (type.rfind("application/json", 0) != 0)
                    throw ApiError(415, "unsupported_media_type",
                                   "the body must be sent as application/json");
                call.body = ParseBody(req.body, route.body);
            }
            Reply reply = route.handler(call);
            for (const auto& h2 : reply.headers)
                res.set_header(h2.first.c_str(), h2.second);
            SendJson(res, reply.status == 200 ? route.okStatus : reply.status, reply.body);
        } catch (const ApiError& e) {
            SendError(res, e);
        }
    };
    if (route.method == "GET")
        m_http->Get(pattern, h);
    else if (route.method == "POST")
        m_http->Post(pattern, h);
    else if (route.method == "PUT")
        m_http->Put(pattern, h);
    else
        m_http->Delete(pattern, h);
}

void WebServer::ServeStatic() {
    struct Asset {
        const char* path;
        std::string file;
        const char* type;
    };
    std::string dir = m_options.assetDir;
    std::vector<Asset> assets = {
        {"/", dir + "/index.html", "text/html; charset=utf-8"},
        {"/app.js", dir + "/app.js", "text/javascript; charset=utf-8"},
        {"/app.css", dir + "/app.css", "text/css; charset=utf-8"},
        {"/chart.js", m_options.chartJs, "text/javascript; charset=utf-8"},
    };
    for (const Asset& a : assets) {
        std::string file = a.file, type = a.type;
        m_http->Get(a.path, [file, type](const httplib::Request&, httplib::Response& res) {
            std::string text;
            if (!ReadFile(file, text)) {
                SendError(res, ApiError(404, "not_found", "the page's file is not installed"));
                return;
            }
            res.set_content(text, type.c_str());
        });
    }
    // The page's modules: plain names only, so that no path leaves the folder.
    m_http->Get(R"(/js/([a-z_]+\.js))", [dir](const httplib::Request& req, httplib::Response& res) {
        std::string text;
        if (!ReadFile(dir + "/js/" + req.matches[1].str(), text)) {
            SendError(res, ApiError(404, "not_found", "no such module"));
            return;
        }
        res.set_content(text, "text/javascript; charset=utf-8");
    });
}

bool WebServer::Bind(std::string& error) {
    if (m_options.tlsCert.empty() == false && !m_http->is_valid()) {
        error = "the TLS certificate or key cannot be used";
        return false;
    }
    if (m_options.listenPort == 0) {
        m_port = m_http->bind_to_any_port(m_options.listenHost);
        if (m_port > 0)
            return true;
    } else if (m_http->bind_to_port(m_options.listenHost, m_options.listenPort)) {
        m_port = m_options.listenPort;
        return true;
    }
    error = "cannot listen on " + m_options.listenHost + ":" + std::to_string(m_options.listenPort);
    return false;
}

void WebServer::Run() {
    m_http->listen_after_bind();
}

void WebServer::Stop() {
    m_http->stop();
}

} // namespace ltpweb
