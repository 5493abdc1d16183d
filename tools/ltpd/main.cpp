// ltpd: the reference LTP/1.0 server. See README.md beside this file.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <sys/signalfd.h>
#include <unistd.h>

#include <ltpadmin/ltp/dates.h>

#include "tools/ltpd/checkpointer.h"
#include "tools/ltpd/database.h"
#include "tools/ltpd/schema.h"
#include "tools/ltpd/seed.h"
#include "tools/ltpd/server.h"
#include "tools/ltpd/service.h"

namespace {

const char kUsage[] =
    "usage: ltpd [options]\n"
    "Serves LTP/1.0 administration requests.\n"
    "\n"
    "  --address ADDR        address or host name to listen on (default 127.0.0.1)\n"
    "  --port N              TCP port (default 120; 0 picks a free one)\n"
    "  --port-file PATH      write the port listened on to PATH once listening\n"
    "  --user NAME           user name every request must carry (default admin)\n"
    "  --password-file PATH  the password, first line of PATH; otherwise the\n"
    "                        LTPD_PASSWORD environment variable\n"
    "  --db PATH             keep the data in this SQLite file (default: in memory)\n"
    "  --seed demo           load a small demo data set into an empty database\n"
    "  --stats-csv PATH      add usage rows (user,program,started,stopped) from PATH\n"
    "  --codepage N          code page of texts: 1252 (default), 932, 936, 949, 950\n"
    "  --head-timeout S      seconds a client has to send a whole request head (default 10)\n"
    "  --idle-timeout S      seconds a connection may stay idle between requests\n"
    "                        (default 300)\n"
    "  --max-connections N   connections at once (default 1000); when full, the one idle\n"
    "                        longest is closed to make room\n"
    "  --max-per-address N   connections at once from one client address (default 64);\n"
    "                        beyond it, the address's longest idle one is closed\n"
    "  --trusted-gateway ADDR  a gateway serving many clients from ADDR (repeatable): not\n"
    "                        capped or slowed per address\n"
    "  --login-failure-rate N  failed log-ins answered per second over all addresses,\n"
    "                        after a burst of 20 (default 2)\n"
    "  --quiet               no line per request on stderr\n"
    "  --version             the version of ltpd\n"
    "  --help                this text\n";

struct Options {
    ltpd::ServerOptions server;
    std::string portFile;
    std::string user = "admin";
    std::string passwordFile;
    std::string db = ":memory:";
    std::string seed;
    std::string statsCsv;
    unsigned codePage = 1252;
};

int Usage(const char* problem) {
    std::fprintf(stderr, "ltpd: %s\n%s", problem, kUsage);
    return 2;
}

bool ParseUnsigned(const char* text, unsigned long max, unsigned long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(text, &end, 10);
    return *text && *end == '\0' && errno == 0 && value <= max && text[0] != '-';
}

// 0 to go on, otherwise the exit code.
int ParseArgs(int argc, char** argv, Options& o, bool& help) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            help = true;
            return 0;
        }
        if (a == "--version") {
            std::printf("ltpd %s\n", LTPADMIN_VERSION);
            std::exit(0);
        }
        if (a == "--quiet") {
            o.server.quiet = true;
            continue;
        }
        static const char* const kTakesValue[] = {"--address",
                                                  "--port",
                                                  "--port-file",
                                                  "--user",
                                                  "--password-file",
                                                  "--db",
                                                  "--seed",
                                                  "--stats-csv",
                                                  "--codepage",
                                                  "--head-timeout",
                                                  "--idle-timeout",
                                                  "--max-connections",
                                                  "--max-per-address",
                                                  "--trusted-gateway",
                                                  "--login-failure-rate"};
        bool known = false;
        for (const char* name : kTakesValue)
            known = known || a == name;
        if (!known)
            return Usage(("unknown option " + a).c_str());
        if (i + 1 >= argc)
            return Usage(("missing value after " + a).c_str());
        const char* v = argv[++i];
        unsigned long n = 0;
        if (a == "--address")
            o.server.address = v;
        else if (a == "--port") {
            if (!ParseUnsigned(v, 65535, n))
                return Usage("--port takes a number from 0 to 65535");
            o.server.port = static_cast<uint16_t>(n);
        } else if (a == "--port-file")
            o.portFile = v;
        else if (a == "--user")
            o.user = v;
        else if (a == "--password-file")
            o.passwordFile = v;
        else if (a == "--db") {
            // An empty path would open a temporary database and lose everything on exit.
            if (!*v)
                return Usage("--db needs a file path");
            o.db = v;
        } else if (a == "--head-timeout" || a == "--idle-timeout") {
            if (!ParseUnsigned(v, 24UL * 3600, n) || n == 0)
                return Usage((a + " takes a number of seconds from 1 to 86400").c_str());
            (a == "--head-timeout" ? o.server.headTimeout : o.server.idleTimeout) =
                std::chrono::seconds(n);
        } else if (a == "--max-connections" || a == "--max-per-address") {
            if (!ParseUnsigned(v, 1000000, n) || n == 0)
                return Usage((a + " takes a number from 1 to 1000000").c_str());
            (a == "--max-connections" ? o.server.maxConnections : o.server.maxPerAddress) = n;
        } else if (a == "--trusted-gateway") {
            std::string canonical;
            if (!ltpd::CanonicalAddress(v, canonical))
                return Usage(("--trusted-gateway takes a numeric IPv4 or IPv6 address, not '" +
                              std::string(v) + "'")
                                 .c_str());
            o.server.trustedGateways.push_back(canonical);
        } else if (a == "--login-failure-rate") {
            if (!ParseUnsigned(v, 1000000, n) || n == 0)
                return Usage("--login-failure-rate takes a number from 1 to 1000000");
            o.server.throttle.sharedInterval = std::chrono::microseconds(1000 * 1000) / n;
        } else if (a == "--seed") {
            if (std::string(v) != "demo")
                return Usage("--seed knows only the data set 'demo'");
            o.seed = v;
        } else if (a == "--stats-csv")
            o.statsCsv = v;
        else if (a == "--codepage") {
            if (!ParseUnsigned(v, 65535, n))
                return Usage("--codepage takes a number");
            o.codePage = static_cast<unsigned>(n);
        }
    }
    return 0;
}

bool ReadPassword(const Options& o, std::string& password) {
    if (!o.passwordFile.empty()) {
        std::ifstream in(o.passwordFile, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "ltpd: cannot read %s\n", o.passwordFile.c_str());
            return false;
        }
        std::getline(in, password);
        if (!password.empty() && password.back() == '\r')
            password.pop_back();
        if (password.empty()) {
            // An empty password would let anyone in.
            std::fprintf(stderr, "ltpd: the first line of %s is empty; a password is required\n",
                         o.passwordFile.c_str());
            return false;
        }
        return true;
    }
    if (const char* env = std::getenv("LTPD_PASSWORD")) {
        password = env;
        if (password.empty()) {
            std::fprintf(stderr, "ltpd: LTPD_PASSWORD is empty; a password is required\n");
            return false;
        }
        return true;
    }
    std::fprintf(stderr, "ltpd: no password: set LTPD_PASSWORD or give --password-file\n");
    return false;
}

// Opens the database and makes sure it is ours before anything is written to it; false, with
// the file named, when it cannot be used.
bool OpenDatabase(const std::string& path, std::unique_ptr<ltpd::Database>& db,
                  std::unique_ptr<ltpd::Checkpointer>& checkpointer) {
    try {
        db = std::make_unique<ltpd::Database>(path);
        std::string foreign = ltpd::ForeignSchema(*db);
        if (!foreign.empty()) {
            std::fprintf(stderr, "ltpd: %s is not an ltpd database: %s\n", path.c_str(),
                         foreign.c_str());
            return false;
        }
        if (path != ":memory:")
            ltpd::UseWriteAheadLog(*db);
        ltpd::CreateSchema(*db);
        if (path != ":memory:")
            checkpointer = std::make_unique<ltpd::Checkpointer>(*db, path);
        return true;
    } catch (const ltpd::DatabaseError& e) {
        if (e.Busy())
            std::fprintf(stderr, "ltpd: %s is in use by another process (%s)\n", path.c_str(),
                         e.what());
        else
            std::fprintf(stderr, "ltpd: %s: %s\n", path.c_str(), e.what());
        return false;
    }
}

// Written whole under a temporary name and renamed, so that a script waiting for the file never
// reads half a number.
bool WritePortFile(const std::string& path, uint16_t port) {
    std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << port << "\n";
        if (!out)
            return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
}

int Serve(const Options& o, const std::string& password) {
    ltpd::CodePage codePage;
    if (!codePage.Select(o.codePage)) {
        std::fprintf(stderr, "ltpd: unknown code page %u\n", o.codePage);
        return 2;
    }
    std::unique_ptr<ltpd::Database> opened;
    std::unique_ptr<ltpd::Checkpointer> checkpointer; // ends before the database
    if (!OpenDatabase(o.db, opened, checkpointer))
        return 1;
    ltpd::Database& db = *opened;
    if (!o.seed.empty() && !ltpd::SeedDemo(db, ltp::to_wire_date(std::chrono::system_clock::now())))
        std::fprintf(stderr, "ltpd: the database holds data already; demo data not loaded\n");
    if (!o.statsCsv.empty()) {
        std::string error;
        long rows = ltpd::LoadUsageCsv(db, o.statsCsv, error);
        if (rows < 0) {
            std::fprintf(stderr, "ltpd: %s: %s\n", o.statsCsv.c_str(), error.c_str());
            return 1;
        }
        std::fprintf(stderr, "ltpd: loaded %ld usage rows from %s\n", rows, o.statsCsv.c_str());
    }

    ltpd::Service service(db, ltpd::Credentials{o.user, password}, codePage);
    ltpd::Server server(service, o.server);
    std::string error;
    if (!server.Listen(error)) {
        std::fprintf(stderr, "ltpd: %s\n", error.c_str());
        return 1;
    }

    // Signals arrive as readable data on a descriptor the loop polls, so none is lost between
    // two polls and no handler runs in the middle of a request.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (stopFd < 0) {
        std::fprintf(stderr, "ltpd: signalfd: %s\n", std::strerror(errno));
        return 1;
    }

    if (!o.portFile.empty() && !WritePortFile(o.portFile, server.Port())) {
        std::fprintf(stderr, "ltpd: cannot write %s\n", o.portFile.c_str());
        close(stopFd);
        return 1;
    }
    std::printf("ltpd: listening on %s:%u\n", o.server.address.c_str(), server.Port());
    std::fflush(stdout);

    server.Run(stopFd);
    close(stopFd);
    if (!o.portFile.empty())
        std::remove(o.portFile.c_str());
    std::fprintf(stderr, "ltpd: stopped\n");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    Options options;
    bool help = false;
    if (int rc = ParseArgs(argc, argv, options, help))
        return rc;
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::string password;
    if (!ReadPassword(options, password))
        return 2;
    try {
        return Serve(options, password);
    } catch (const ltpd::DatabaseError& e) {
        std::fprintf(stderr, "ltpd: %s\n", e.what());
        return 1;
    }
}
