// A client of an ltpd the test started, with the server's credentials.
#pragma once

#include <cstdint>

#include <ltpadmin/client.h>

#include "support/ltpd_server.h"

namespace e2e {

inline ltp::Client ClientOf(const LtpdServer& server) {
    ltp::Options options;
    options.port = static_cast<std::uint16_t>(server.Port());
    options.user = server.Settings().user;
    options.password = server.Settings().password;
    return ltp::Client(options);
}

} // namespace e2e
