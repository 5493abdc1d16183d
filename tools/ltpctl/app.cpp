#include "tools/ltpctl/app.h"

#include <cstdlib>
#include <fstream>
#include <istream>
#include <ostream>

#include "tools/ltpctl/batch.h"
#include "tools/ltpctl/commands.h"
#include "tools/ltpctl/input_file.h"

namespace ltpctl {

void AddAllCommands(CLI::App& app, ActionSlot& slot) {
    AddCatalogueCommands(app, slot);
    AddRelationCommands(app, slot);
    AddRightsCommands(app, slot);
    AddStatsCommands(app, slot);
    AddMtpPathCommands(app, slot);
    AddServerCommands(app, slot);
    AddConfigCommands(app, slot);
}

namespace {

constexpr const char* kFooter =
    "Connection: --host and --port (or LTP_HOST, LTP_PORT; default 127.0.0.1:120), --user (or "
    "LTP_USER; default admin). The password comes from LTP_PASSWORD or, with --password-stdin, "
    "from the first line of standard input; it is never taken from the command line.\n"
    "Exit codes: 0 success, 1 refused by the server, 2 usage, 3 connection or transport "
    "failure, 4 input the protocol cannot carry.";

struct GlobalOptions {
    ConnectionSettings connection;
    bool passwordStdin = false;
    unsigned codepage = 0;
    std::string format = "table";
    std::string batchFile;
    bool keepGoing = false;
};

void AddGlobalOptions(CLI::App& app, GlobalOptions& g) {
    app.add_option("--host", g.connection.host, "server address or name")
        ->envname("LTP_HOST")
        ->capture_default_str();
    app.add_option("--port", g.connection.port, "server port")
        ->envname("LTP_PORT")
        ->check(CLI::Range(1, 65535))
        ->capture_default_str();
    app.add_option("--user", g.connection.user, "user name to log in with")
        ->envname("LTP_USER")
        ->capture_default_str();
    app.add_flag("--password-stdin", g.passwordStdin,
                 "read the password from the first line of standard input");
    app.add_option("--codepage", g.codepage,
                   "code page of the server's texts: 1252 (default), 932, 936, 949 or 950");
    app.add_option("--format", g.format, "output: table, json or csv")
        ->check(CLI::IsMember({"table", "json", "csv"}))
        ->capture_default_str();
    app.add_flag("-v,--verbose", g.connection.verbose,
                 "print every request and response as sent and received (password masked)");
}

} // namespace

int RunLtpctl(int argc, const char* const* argv, std::istream& in, std::ostream& out,
              std::ostream& err) {
    CLI::App app("Administer an LTP/1.0 server.", "ltpctl");
    app.fallthrough();
    app.require_subcommand(1);
    app.footer(std::string(kFooter) + "\n" + kDateHelp);
    GlobalOptions g;
    AddGlobalOptions(app, g);
    ActionSlot slot;
    AddAllCommands(app, slot);

    CLI::App* batch = app.add_subcommand(
        "batch", "run one command per line of FILE ('-': standard input) over one login");
    batch->add_option("FILE", g.batchFile, "the commands")->required();
    batch->add_flag("--keep-going,-k", g.keepGoing, "go on after a line that failed");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err) == 0 ? kExitOk : kExitUsage;
    }

    OutputFormat format = OutputFormat::Table;
    ParseOutputFormat(g.format, format);
    if (g.codepage != 0 && !SetProcessACP(g.codepage)) {
        err << "ltpctl: --codepage " << g.codepage << " is not a code page this build knows\n";
        return kExitUsage;
    }

    std::ifstream batchInput;
    if (batch->parsed() && g.batchFile != "-") {
        std::string error;
        if (!OpenInputFile(g.batchFile, batchInput, error)) {
            err << "ltpctl: batch: " << error << "\n";
            return kExitUsage;
        }
    }

    if (g.passwordStdin) {
        std::string line;
        std::getline(in, line);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        g.connection.password = line;
    } else if (const char* env = std::getenv("LTP_PASSWORD")) {
        g.connection.password = env;
    }

    Connection connection(g.connection, err);
    RunContext ctx{connection, format, out};
    if (batch->parsed())
        return RunBatch(g.batchFile == "-" ? in : batchInput, ctx, g.keepGoing);
    return slot.action ? slot.action(ctx) : kExitUsage;
}

} // namespace ltpctl
