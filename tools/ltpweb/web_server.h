// The HTTP side of ltpweb: serves the page and its files, registers the API routes behind the
// session, CSRF and body checks, adds the security headers and answers every failure as JSON.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tools/ltpweb/options.h"
#include "tools/ltpweb/routes.h"
#include "tools/ltpweb/sessions.h"

namespace httplib {
class Server;
}

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

    // Binds the listen address (port 0: any free port). False with the reason in error.
    bool Bind(std::string& error);
    int Port() const { return m_port; }
    // Serves until Stop.
    void Run();
    void Stop();

    SessionStore& Sessions() { return m_sessions; }
    const std::vector<Route>& Routes() const { return m_routes; }

private:
    void AddSessionRoutes(SignInCheck signIn);
    void Register(const Route& route);
    void ServeStatic();

    Options m_options;
    SessionStore m_sessions;
    SignInThrottle m_throttle;
    std::vector<Route> m_routes;
    std::unique_ptr<httplib::Server> m_http;
    int m_port = 0;
};

} // namespace ltpweb
