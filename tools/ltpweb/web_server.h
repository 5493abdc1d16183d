// The HTTP side of ltpweb: serves the page and its files, registers the API routes behind the
// session, CSRF and body checks, adds the security headers and answers every failure as JSON.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/ltpweb/http_server.h"
#include "tools/ltpweb/metrics.h"
#include "tools/ltpweb/options.h"
#include "tools/ltpweb/routes.h"
#include "tools/ltpweb/sessions.h"
#include "tools/ltpweb/static_files.h"

namespace ltpweb {

constexpr const char* kSessionCookie = "ltpweb_session";

// Signs a person in with a real request to the LTP server. Throws ApiError when refused or when
// the server cannot be reached; returns what that person's requests run with.
using SignInCheck = std::function<std::shared_ptr<SessionData>(const std::string& user,
                                                               const std::string& password)>;

class WebServer {
public:
    WebServer(Options options, SignInCheck signIn, std::vector<Route> apiRoutes);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds the listen address (port 0: any free port) and the metrics' own address when one is
    // set. False with the reason in error.
    bool Bind(std::string& error);
    int Port() const { return m_port; }
    int MetricsPort() const { return m_metricsPort; }
    // Serves until Stop.
    void Run();
    void Stop();

    SessionStore& Sessions() { return m_sessions; }
    const std::vector<Route>& Routes() const { return m_routes; }
    // Gauges of other parts (the LTP pools), read at each scrape.
    void AddGauges(std::function<std::vector<Metrics::Gauge>()> gauges) {
        m_gauges = std::move(gauges);
    }

    // One request, whole: routing, checks, the handler, headers, compression and the metrics.
    HttpResponse Answer(HttpRequest& request);

private:
    void AddSessionRoutes(SignInCheck signIn);
    HttpResponse AnswerRoute(HttpRequest& request, const std::string& path,
                             const std::string& query, std::string& routeName);
    HttpResponse MetricsText();
    void Finish(const HttpRequest& request, HttpResponse& response) const;

    Options m_options;
    SessionStore m_sessions;
    SignInThrottle m_throttle;
    std::vector<Route> m_routes;
    StaticFiles m_files;
    Metrics m_metrics;
    std::function<std::vector<Metrics::Gauge>()> m_gauges;
    std::unique_ptr<HttpServer> m_http;
    std::unique_ptr<HttpServer> m_metricsHttp;
    int m_port = 0;
    int m_metricsPort = 0;
};

// A path segment or query value with its %XX escapes decoded, once; '+' is a space only in a
// query. False when an escape is malformed.
bool PercentDecode(const std::string& text, bool plusIsSpace, std::string& out);

} // namespace ltpweb
