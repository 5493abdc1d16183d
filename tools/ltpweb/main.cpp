// ltpweb: a web console and JSON API for an LTP/1.0 server.
#include <csignal>
#include <fstream>
#include <iostream>
#include <pthread.h>
#include <sys/stat.h>
#include <thread>

#include "tools/common/config_error.h"
#include "tools/common/schema.h"
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

} // namespace

int main(int argc, char** argv) {
    ltpweb::Options options;
    if (int code = ltpweb::ParseOptions(argc, argv, options); code >= 0)
        return code;
    if (options.assetDir.empty())
        options.assetDir = FindAssets();
    ltptools::Schema schema;
    if (!options.labelsFile.empty()) {
        try {
            schema = ltptools::Schema::Load(options.labelsFile);
        } catch (const ltptools::ConfigError& e) {
            std::cerr << "ltpweb: " << e.what() << "\n";
            return 2;
        }
    }

    // Signals are taken by one thread that stops the server; the others never see them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    ltp::Options server;
    server.host = options.ltpHost;
    server.port = static_cast<std::uint16_t>(options.ltpPort);
    ltpweb::WebServer web(
        options,
        [server](const std::string& user, const std::string& password) {
            return ltpweb::SignInToLtp(server, user, password);
        },
        ltpweb::ApiRoutes(schema));
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
