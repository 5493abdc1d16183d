// The modern interface from the installed package: every public header is reachable through the
// umbrella, and a failed connect comes back as the documented exception.
#include <ltpadmin/client.h>

#include <cstdio>

int main() {
    ltp::Options options;
    options.port = 1; // nothing listens on a port below 1024 that a test may use
    options.connect_timeout = std::chrono::milliseconds(2000);
    if (options.request_timeout != ltp::default_request_timeout)
        return 1;
    ltp::Client client(options);
    try {
        client.users();
    } catch (const ltp::TransportError& e) {
        std::printf("%s: %s\n", ltp::to_string(e.kind()), e.what());
        return ltp::fields<ltp::User>().size() == 6 ? 0 : 1;
    }
    return 1;
}
