// ltpweb: a web console and JSON API for an LTP/1.0 server.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

#include "tools/common/config_error.h"
#include "tools/common/labels.h"
#include "tools/ltpweb/activity.h"
#include "tools/ltpweb/ltp_access.h"
#include "tools/ltpweb/options.h"
#include "tools/ltpweb/web_server.h"

namespace {

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The installed page first; the source tree's for a program run from its build folder.
std::string FindAssets() {
    if (IsDirectory(LTPWEB_INSTALLED_ASSETS))
        return LTPWEB_INSTALLED_ASSETS;
    return LTPWEB_SOURCE_ASSETS;
}

// $XDG_STATE_HOME/ltpweb/activity.sqlite (~/.local/state when unset), its folder made.
std::string DefaultActivityFile() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    const std::filesystem::path dir =
        std::filesystem::path(state && *state ? state
                                              : std::string(home ? home : ".") + "/.local/state") /
        "ltpweb";
    // Every missing folder of the path, private to the user; on a fresh account none exists yet.
    const mode_t before = umask(077);
    std::error_code ignored; // a failure shows when the log is opened, naming the file
    std::filesystem::create_directories(dir, ignored);
    umask(before);
    return (dir / "activity.sqlite").string();
}

} // namespace

int main(int argc, char** argv) {
    ltpweb::Options options;
    if (int code = ltpweb::ParseOptions(argc, argv, options); code >= 0)
        return code;
    if (options.assetDir.empty())
        options.assetDir = FindAssets();
    ltptools::FieldLabels labels;
    if (!options.labelsFile.empty()) {
        try {
            labels = ltptools::FieldLabels::Load(options.labelsFile);
        } catch (const ltptools::ConfigError& e) {
            std::cerr << "ltpweb: " << e.what() << "\n";
            return 2;
        }
    }

    std::shared_ptr<ltpweb::ActivityLog> activity;
    try {
        activity = std::make_shared<ltpweb::ActivityLog>(
            options.activityFile.empty() ? DefaultActivityFile() : options.activityFile,
            options.activityMax);
    } catch (const std::runtime_error& e) {
        std::cerr << "ltpweb: " << e.what() << "\n";
        return 2;
    }
    std::vector<ltpweb::Route> routes = ltpweb::ApiRoutes(labels);
    ltpweb::RecordActivity(routes, activity);

    // Signals are taken by one thread that stops the server; the others never see them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // Idle connections are cheap but each costs a descriptor: take all the system allows.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    ltp::Options server;
    server.host = options.ltpHost;
    server.port = static_cast<std::uint16_t>(options.ltpPort);
    ltpweb::LtpGateway gateway(server, options.ltpPool);
    ltpweb::WebServer web(
        options,
        [&gateway](const std::string& user, const std::string& password) {
            return gateway.SignIn(user, password);
        },
        std::move(routes));
    web.AddGauges([&gateway] {
        return std::vector<ltpweb::Metrics::Gauge>{
            {"ltpweb_ltp_connections", "LTP connections the live pools may hold.",
             static_cast<double>(gateway.Use().open.load())},
            {"ltpweb_ltp_connections_in_use", "LTP connections lent to a request now.",
             static_cast<double>(gateway.Use().inUse.load())}};
    });
    std::string error;
    if (!web.Bind(error)) {
        std::cerr << "ltpweb: " << error << "\n";
        return 1;
    }
    if (!options.portFile.empty()) {
        std::ofstream(options.portFile) << web.Port() << "\n";
    }
    std::cout << "ltpweb: serving " << (options.tlsCert.empty() ? "http" : "https") << "://"
              << (options.listenHost.find(':') != std::string::npos ? "[" + options.listenHost + "]"
                                                                    : options.listenHost)
              << ":" << web.Port() << "/ for the LTP server at " << options.ltpHost << ":"
              << options.ltpPort << std::endl;
    std::thread stopper([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        web.Stop();
    });
    web.Run();
    // Run can also end by itself (a listen failure); wake the waiting thread then.
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    return 0;
}
