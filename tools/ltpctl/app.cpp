#include "tools/ltpctl/app.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>

#include "tools/ltpctl/batch.h"
#include "tools/ltpctl/commands.h"
#include "tools/ltpctl/completion.h"
#include "tools/common/config_error.h"
#include "tools/common/profile.h"
#include "tools/ltpctl/input_file.h"
#include "tools/ltpctl/password_prompt.h"
#include "tools/ltpctl/ref_names.h"
#include "tools/ltpctl/shell.h"
#include "tools/ltpctl/suggest.h"

namespace ltpctl {

void AddAllCommands(CLI::App& app, ActionSlot& slot) {
    using AddFamily = void (*)(CLI::App&, ActionSlot&);
    static constexpr AddFamily kFamilies[] = {
        AddCatalogueCommands, AddRelationCommands, AddRightsCommands, AddStatsCommands,
        AddPathCommands,      AddServerCommands,   AddViewCommands,   AddConfigCommands,
    };
    for (const AddFamily add : kFamilies)
        add(app, slot);
}

namespace {

constexpr const char* kFooter =
    "Connection: --host (a name, IPv4 or IPv6 address, HOST:PORT, [IPv6]:PORT) and --port (or "
    "LTP_HOST, LTP_PORT; default 127.0.0.1:120), --user (or LTP_USER; default admin), or a "
    "--profile (LTP_PROFILE) "
    "from $XDG_CONFIG_HOME/ltpctl/config.toml; flags and the environment win over the profile. "
    "The password comes from LTP_PASSWORD, --password-stdin (first line of standard input), the "
    "profile's password_file (readable by its owner only) or, on a terminal, a prompt; it is "
    "never taken from the command line.\n"
    "Exit codes: 0 success, 1 refused by the server, 2 usage, 3 connection or transport "
    "failure, 4 input the protocol cannot carry.";

struct GlobalOptions {
    ConnectionSettings connection;
    bool passwordStdin = false;
    unsigned codepage = 0;
    std::string format = "table";
    std::string profile;
    std::string labelsFile;
    bool labelKeys = false;
    bool namedValues = false;
    bool localDates = false;
    std::vector<std::string> columns;
    bool noHeaders = false;
    std::string batchFile;
    bool keepGoing = false;
    std::size_t pipeline = 1;
    bool yes = false;
    double timeoutSeconds = 10;
};

struct GlobalOptionHandles {
    CLI::Option* host;
    CLI::Option* port;
    CLI::Option* user;
    CLI::Option* codepage;
    CLI::Option* timeout;
};

GlobalOptionHandles AddGlobalOptions(CLI::App& app, GlobalOptions& g) {
    GlobalOptionHandles h{};
    h.host =
        app.add_option(
               "--host", g.connection.host,
               "server name, IPv4 or IPv6 address; HOST:PORT or [IPv6]:PORT also gives the port")
            ->envname("LTP_HOST")
            ->capture_default_str();
    h.port = app.add_option("--port", g.connection.port, "server port")
                 ->envname("LTP_PORT")
                 ->check(CLI::Range(1, 65535))
                 ->capture_default_str();
    h.user = app.add_option("--user", g.connection.user, "user name to log in with")
                 ->envname("LTP_USER")
                 ->capture_default_str();
    app.add_option("--profile", g.profile, "connection profile of the configuration file")
        ->envname("LTP_PROFILE");
    app.add_flag("--password-stdin", g.passwordStdin,
                 "read the password from the first line of standard input");
    h.codepage =
        app.add_option("--code-page,--codepage", g.codepage,
                       "code page of the server's texts: 1252 (default), 932, 936, 949 or 950");
    app.add_option("--format,-o", g.format, "output: table, json or csv")
        ->check(CLI::IsMember({"table", "json", "csv"}))
        ->capture_default_str();
    app.add_option("--labels-file", g.labelsFile,
                   "the schema: field labels and what values mean (TOML: [User] Text2 = "
                   "\"name\"); tables, help, option aliases and value forms use it")
        ->envname("LTP_LABELS");
    app.add_flag("--labels", g.labelKeys, "JSON keys and CSV headers are labels, not field names");
    app.add_flag("--named", g.namedValues,
                 "JSON and CSV values in the schema's named forms, as tables show them "
                 "(Mon-Fri, read,edit, 1 News), not wire values");
    app.add_flag("--local", g.localDates, "tables show dates in local time with their offset");
    app.add_option("--columns", g.columns, "only these columns, in this order (names or labels)")
        ->delimiter(',')
        ->type_name("A,B,...");
    app.add_flag("--no-headers", g.noHeaders, "tables and CSV without the line of column names");
    app.add_option("--max-response-bytes", g.connection.maxResponseBytes,
                   "most bytes one answer may hold; a longer one fails")
        ->capture_default_str();
    app.add_option("--max-result-bytes", g.connection.maxResultBytes,
                   "most bytes the records of one list may take; more fail")
        ->capture_default_str();
    h.timeout = app.add_option("--request-timeout,--timeout", g.timeoutSeconds,
                               "seconds a request may stay silent before it fails (idle, so a "
                               "long answer that keeps arriving never does)")
                    ->check(CLI::Range(0.001, 86400.0))
                    ->capture_default_str();
    app.add_flag("--dry-run", g.connection.dryRun,
                 "print the requests that would change the server (password masked) instead of "
                 "sending them; what a command must read first is still read");
    app.add_flag("--yes,-y", g.yes,
                 "ask nothing: deletes, moves, log clear and apply go ahead on a terminal too");
    app.add_flag("-v,--verbose", g.connection.verbose,
                 "print every request and response as sent and received (password masked)");
    app.set_version_flag("--version", std::string("ltpctl ") + LTPADMIN_VERSION);
    return h;
}

// The value of an option given as "--name VALUE" or "--name=VALUE", or of the variable; empty
// when neither holds one. Profile and labels are needed before the commands are made, as the
// labels become option names.
std::string EarlyValue(const std::vector<std::string>& args, const std::string& name,
                       const char* variable) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == name && i + 1 < args.size())
            return args[i + 1];
        if (args[i].rfind(name + "=", 0) == 0)
            return args[i].substr(name.size() + 1);
    }
    const char* env = std::getenv(variable);
    return env ? env : "";
}

// Fills what the command line and environment left open from the profile.
int ApplyProfile(const ltptools::Profile& p, const GlobalOptionHandles& h, GlobalOptions& g,
                 std::ostream& err) {
    if (h.user->count() == 0 && p.user)
        g.connection.user = *p.user;
    if (h.codepage->count() == 0 && p.code_page)
        g.codepage = *p.code_page;
    if (h.timeout->count() > 0 || !p.timeout)
        g.connection.timeout = std::chrono::milliseconds(
            static_cast<std::chrono::milliseconds::rep>(g.timeoutSeconds * 1000 + 0.5));
    else
        g.connection.timeout = *p.timeout;
    // A port in the host text counts as given where the host was: a profile's "host:port" gives
    // way to --port or LTP_PORT, as the rest of the profile does.
    const bool hostFromProfile = h.host->count() == 0 && p.host;
    const bool portGiven = h.port->count() > 0;
    int port = portGiven ? g.connection.port : p.port.value_or(g.connection.port);
    std::string error;
    if (!ltptools::SplitHostPort(hostFromProfile ? *p.host : g.connection.host, g.connection.host,
                                 port, error)) {
        err << "ltpctl: " << (hostFromProfile ? "the profile's host " : "--host ") << error << "\n";
        return kExitUsage;
    }
    if (!(hostFromProfile && portGiven))
        g.connection.port = port;
    return kExitOk;
}

// The password from the first way that holds one; kExitUsage when none does.
int FindPassword(const GlobalOptions& g, const ltptools::Profile& p, std::istream& in,
                 std::string& password, std::ostream& err) {
    if (g.passwordStdin) {
        password = ReadPasswordLine(in, "Password: ");
        return kExitOk;
    }
    if (const char* env = std::getenv("LTP_PASSWORD")) {
        password = env;
        return kExitOk;
    }
    if (p.password_file) {
        try {
            password = ltptools::ReadPasswordFile(*p.password_file);
            return kExitOk;
        } catch (const ltptools::ConfigError& e) {
            err << "ltpctl: " << e.what() << "\n";
            return kExitUsage;
        }
    }
    if (InputIsTerminal()) {
        const std::string prompt = "Password for " + g.connection.user + "@" + g.connection.host +
                                   ":" + std::to_string(g.connection.port) + ": ";
        password = ReadPasswordLine(in, prompt.c_str());
        return kExitOk;
    }
    err << "ltpctl: no password was set: give it in LTP_PASSWORD, with --password-stdin, or as "
           "password_file in a profile\n";
    return kExitUsage;
}

// Columns of the terminal standard output goes to; 0 when it is no terminal (nothing is cut).
std::size_t TerminalWidth() {
    winsize size{};
    if (isatty(STDOUT_FILENO) != 1 || ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

// True when no command is named (nor help or the version asked for) on a terminal.
bool OpensShell(const CLI::App& app, const std::vector<std::string>& args) {
    if (!InputIsTerminal())
        return false;
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h" || a == "--version")
            return false;
        if (!a.empty() && a[0] != '-')
            for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
                if (sub->check_name(a))
                    return false;
    }
    return true;
}

// ltpctl __complete WORDS: the keys come from the server only when a password is at hand
// without asking, and only if it answers quickly: a tab must never hang nor prompt.
int Complete(const CLI::App& commands, const std::vector<std::string>& words, GlobalOptions& g,
             const ltptools::Profile& profile, std::ostream& out) {
    std::string password;
    bool known = false;
    if (const char* env = std::getenv("LTP_PASSWORD")) {
        password = env;
        known = true;
    } else if (profile.password_file) {
        try {
            password = ltptools::ReadPasswordFile(*profile.password_file);
            known = true;
        } catch (const ltptools::ConfigError&) {
        }
    }
    if (!known)
        return PrintCompletions(commands, nullptr, words);
    g.connection.password = password;
    g.connection.timeout = std::min(g.connection.timeout, std::chrono::milliseconds(1500));
    g.connection.verbose = false;
    std::ostringstream quiet; // a server that cannot be read just gives no keys
    Connection connection(g.connection, out, quiet);
    RunContext ctx{connection, PrintOptions{}, out};
    return PrintCompletions(commands, &ctx, words);
}

} // namespace

int RunLtpctl(int argc, const char* const* argv, std::istream& in, std::ostream& out,
              std::ostream& err) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    ltptools::Profile profile;
    try {
        profile = ltptools::LoadProfile(ltptools::DefaultConfigPath(),
                                        EarlyValue(args, "--profile", "LTP_PROFILE"));
        std::string labels = EarlyValue(args, "--labels-file", "LTP_LABELS");
        if (labels.empty() && profile.labels_file)
            labels = *profile.labels_file;
        SetSchema(labels.empty() ? ltptools::Schema() : ltptools::Schema::Load(labels));
    } catch (const ltptools::ConfigError& e) {
        err << "ltpctl: " << e.what() << "\n";
        return kExitUsage;
    }

    CLI::App app("Administer an LTP/1.0 server.", "ltpctl");
    app.fallthrough();
    app.require_subcommand(1);
    app.footer(std::string(kFooter) + "\n" + kDateHelp);
    GlobalOptions g;
    const GlobalOptionHandles handles = AddGlobalOptions(app, g);
    ActionSlot slot;
    AddAllCommands(app, slot);

    CLI::App* batch = app.add_subcommand(
        "batch", "run one command per line of FILE ('-': standard input) over one login");
    batch->add_option("FILE", g.batchFile, "the commands")->required();
    batch->add_flag("--keep-going,-k", g.keepGoing, "go on after a line that failed");
    batch
        ->add_option("--pipeline", g.pipeline,
                     "send up to N changes before their answers (1: one at a time); only for "
                     "servers known to answer in order while they read ahead")
        ->type_name("N")
        ->check(CLI::Range(std::size_t{1}, std::size_t{4096}));
    CLI::App* shell = app.add_subcommand(
        "shell", "type commands one after another over one login (the default on a terminal)");
    // For the completion scripts of bash, zsh and fish: not a command people type.
    CLI::App* complete = app.add_subcommand("__complete", "candidates for the last word");
    complete->group("");

    // No command on a terminal opens the shell; without a terminal it stays a usage mistake.
    std::vector<std::string> parsed(args.rbegin(), args.rend()); // CLI11 takes them reversed
    // The words to complete are a command line of their own, often a broken one: not parsed.
    const bool completing = !args.empty() && args.front() == "__complete";
    if (completing)
        parsed = {"__complete"};
    if (OpensShell(app, args))
        parsed.insert(parsed.begin(), "shell");
    try {
        app.parse(parsed);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() != 0) {
            err << "ltpctl: " << ParseFailureMessage(app, args, e) << "\n";
            return kExitUsage;
        }
        return app.exit(e, out, err) == 0 ? kExitOk : kExitUsage;
    }
    if (const int rc = ApplyProfile(profile, handles, g, err); rc != kExitOk)
        return rc;

    PrintOptions print;
    ParseOutputFormat(g.format, print.format);
    print.labelKeys = g.labelKeys;
    print.namedValues = g.namedValues;
    print.localDates = g.localDates;
    print.columns = g.columns;
    print.noHeaders = g.noHeaders;
    print.width = TerminalWidth();
    g.connection.codePage = g.codepage;
    try {
        ltp::Options known;
        known.code_page = g.codepage;
        ltp::Client check(known); // refuses a code page it does not know, connects to nothing
    } catch (const ltp::Error&) {
        err << "ltpctl: --code-page " << g.codepage << " is not a code page this build knows\n";
        return kExitUsage;
    }

    SetRunCodePage(g.codepage);

    if (completing && complete->parsed())
        return Complete(app, std::vector<std::string>(args.begin() + 1, args.end()), g, profile,
                        out);

    std::ifstream batchInput;
    if (batch->parsed() && g.batchFile != "-") {
        std::string error;
        if (!OpenInputFile(g.batchFile, batchInput, error)) {
            err << "ltpctl: batch: " << error << "\n";
            return kExitUsage;
        }
    }
    if (const int rc = FindPassword(g, profile, in, g.connection.password, err); rc != kExitOk)
        return rc;

    Connection connection(g.connection, out, err);
    RunContext ctx{connection, print, out};
    // References find their records over this run's connection, and only while it lasts.
    SetRefSource(
        [&connection](const std::string& kind) { return ReadRefCandidates(connection, kind); });
    struct ForgetRefSource {
        ~ForgetRefSource() { SetRefSource(nullptr); }
    } forget;
    ctx.yes = g.yes;
    if (batch->parsed())
        return RunBatch(g.batchFile == "-" ? in : batchInput, ctx, g.keepGoing, g.pipeline);
    if (shell->parsed())
        return RunShell(ctx, profile.name.empty() ? g.connection.user + "@" + g.connection.host +
                                                        ":" + std::to_string(g.connection.port)
                                                  : profile.name);
    return slot.action ? RunAction(slot.action, ctx) : kExitUsage;
}

} // namespace ltpctl
