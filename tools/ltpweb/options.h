// ltpweb's settings from its command line.
#pragma once

#include <cstddef>
#include <string>

#include <ltpadmin/ltp/wire.h>

namespace ltpweb {

struct Options {
    std::string listenHost = "127.0.0.1";
    int listenPort = 8080;
    std::string ltpHost = "127.0.0.1";
    int ltpPort = ltp::default_port;
    std::string labelsFile;
    std::string profile; // an ltpctl profile: server, port and labels unless given here
    std::string tlsCert;
    std::string tlsKey;
    bool insecureListen = false;
    int idleMinutes = 30;
    std::string assetDir; // the page's files; empty: found next to the program or installed
    std::string chartJs = "/usr/share/javascript/chart.js/chart.min.js"; // served as /chart.js
    // What this console changed is kept here; empty: in the user's state folder.
    std::string activityFile;
    long activityMax = 10000;  // entries kept, the newest
    std::string portFile;      // where the bound port is written, for scripts that listen on port 0
    std::string metricsListen; // "": GET /metrics beside the API; "off"; or its own ADDR:PORT
    std::size_t maxConnections = 4096;
    std::size_t maxPerAddress = 64;
    std::size_t maxSessions = 1000;
    std::size_t sessionsPerAddress = 32;
    int headTimeout = 10;    // seconds from a request's first byte to its last header
    int idleTimeout = 15;    // seconds a connection may wait for its next request
    std::size_t ltpPool = 2; // LTP connections per set of credentials
};

// Splits "ADDR:PORT" or "[v6]:PORT". False when it is not one.
bool ParseListen(const std::string& text, std::string& host, int& port);

// True for 127.0.0.0/8, ::1 and "localhost".
bool IsLoopback(const std::string& host);

// Parses the command line into options. Returns -1 to go on, otherwise the exit code (0 after
// --help, 2 for a usage error, with the reason printed).
int ParseOptions(int argc, char** argv, Options& options);

} // namespace ltpweb
