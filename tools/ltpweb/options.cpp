#include "tools/ltpweb/options.h"

#include <cstdlib>
#include <iostream>

#include <CLI/CLI.hpp>

#include "tools/common/config_error.h"
#include "tools/common/profile.h"

namespace ltpweb {

bool ParseListen(const std::string& text, std::string& host, int& port) {
    std::string::size_type colon;
    if (!text.empty() && text[0] == '[') {
        auto close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':')
            return false;
        host = text.substr(1, close - 1);
        colon = close + 1;
    } else {
        colon = text.rfind(':');
        if (colon == std::string::npos)
            return false;
        host = text.substr(0, colon);
    }
    std::string digits = text.substr(colon + 1);
    if (host.empty() || digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    port = std::atoi(digits.c_str());
    return port <= 65535;
}

bool IsLoopback(const std::string& host) {
    if (host == "localhost" || host == "::1")
        return true;
    // 127.a.b.c, digits and dots only.
    if (host.rfind("127.", 0) != 0 || host.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    int dots = 0;
    for (char c : host)
        dots += c == '.';
    return dots == 3 && host.find("..") == std::string::npos && host.back() != '.';
}

int ParseOptions(int argc, char** argv, Options& o) {
    CLI::App app{"ltpweb: web console and JSON API for an LTP/1.0 server"};
    std::string listen = o.listenHost + ":" + std::to_string(o.listenPort);
    app.add_option("--listen", listen, "ADDR:PORT to serve on")->capture_default_str();
    // --host, --port and --labels-file as ltpctl names them; --ltp-host, --ltp-port and --labels
    // are their earlier names.
    app.add_option("--host,--ltp-host", o.ltpHost, "LTP server address")
        ->envname("LTP_HOST")
        ->capture_default_str();
    app.add_option("--port,--ltp-port", o.ltpPort, "LTP server port")
        ->envname("LTP_PORT")
        ->check(CLI::Range(1, 65535))
        ->capture_default_str();
    app.add_option("--labels-file,--labels", o.labelsFile,
                   "schema file (TOML: field labels and what values mean), as ltpctl uses");
    app.add_option("--profile", o.profile, "ltpctl profile naming the server (and labels)");
    app.add_option("--tls-cert", o.tlsCert, "certificate (PEM) to serve HTTPS with");
    app.add_option("--tls-key", o.tlsKey, "private key (PEM) of the certificate");
    app.add_flag("--insecure-listen", o.insecureListen,
                 "allow plain HTTP on an address other than loopback");
    app.add_option("--idle-minutes", o.idleMinutes, "a session ends after this idle time")
        ->check(CLI::Range(1, 24 * 60))
        ->capture_default_str();
    app.add_option("--assets", o.assetDir, "folder of the page's files");
    app.add_option("--chart-js", o.chartJs, "the chart library file served to the page")
        ->capture_default_str();
    app.add_option("--activity", o.activityFile,
                   "SQLite file of what this console changed (default: "
                   "$XDG_STATE_HOME/ltpweb/activity.sqlite)");
    app.add_option("--activity-max", o.activityMax, "entries of the activity kept, the newest")
        ->check(CLI::Range(1L, 10000000L))
        ->capture_default_str();
    app.add_option("--port-file", o.portFile, "write the port listened on to this file");
    app.add_option("--metrics-listen", o.metricsListen,
                   "ADDR:PORT to serve GET /metrics on instead of beside the API, or off");
    app.add_option("--head-timeout", o.headTimeout, "seconds a client has to send a whole head")
        ->check(CLI::Range(1, 3600))
        ->capture_default_str();
    app.add_option("--idle-timeout", o.idleTimeout,
                   "seconds a connection may stay idle between requests")
        ->check(CLI::Range(1, 3600))
        ->capture_default_str();
    app.add_option("--max-connections", o.maxConnections, "open HTTP connections at most")
        ->check(CLI::Range(1, 1000000))
        ->capture_default_str();
    app.add_option("--max-per-address", o.maxPerAddress,
                   "open HTTP connections from one address at most")
        ->check(CLI::Range(1, 1000000))
        ->capture_default_str();
    app.add_option("--max-sessions", o.maxSessions, "sessions at most (the oldest idle ends)")
        ->check(CLI::Range(1, 1000000))
        ->capture_default_str();
    app.add_option("--sessions-per-address", o.sessionsPerAddress,
                   "sessions from one address at most (its oldest idle ends)")
        ->check(CLI::Range(1, 1000000))
        ->capture_default_str();
    app.add_option("--ltp-pool", o.ltpPool, "LTP connections per set of credentials")
        ->check(CLI::Range(1, 64))
        ->capture_default_str();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // CLI11 has a code per kind of mistake; a usage error is 2 whatever the kind.
        return app.exit(e) == 0 ? 0 : 2;
    }
    if (!o.profile.empty()) {
        try {
            ltptools::Profile p = ltptools::LoadProfile(ltptools::DefaultConfigPath(), o.profile);
            if (p.host && !app.count("--host"))
                o.ltpHost = *p.host;
            if (p.port && !app.count("--port"))
                o.ltpPort = *p.port;
            if (p.labels_file && o.labelsFile.empty())
                o.labelsFile = *p.labels_file;
        } catch (const ltptools::ConfigError& e) {
            std::cerr << "ltpweb: " << e.what() << "\n";
            return 2;
        }
    }
    if (!ParseListen(listen, o.listenHost, o.listenPort)) {
        std::cerr << "ltpweb: --listen wants ADDR:PORT, not \"" << listen << "\"\n";
        return 2;
    }
    std::string metricsHost;
    int metricsPort = 0;
    if (!o.metricsListen.empty() && o.metricsListen != "off" &&
        !ParseListen(o.metricsListen, metricsHost, metricsPort)) {
        std::cerr << "ltpweb: --metrics-listen wants ADDR:PORT or off, not \"" << o.metricsListen
                  << "\"\n";
        return 2;
    }
    if (o.tlsCert.empty() != o.tlsKey.empty()) {
        std::cerr << "ltpweb: --tls-cert and --tls-key go together\n";
        return 2;
    }
    if (!IsLoopback(o.listenHost) && o.tlsCert.empty() && !o.insecureListen) {
        std::cerr << "ltpweb: refusing to serve plain HTTP on " << o.listenHost
                  << ": give --tls-cert and --tls-key, or --insecure-listen\n";
        return 2;
    }
    return -1;
}

} // namespace ltpweb
