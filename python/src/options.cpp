#include "handle.h"

#include <chrono>
#include <cmath>
#include <string>

namespace py = pybind11;

namespace ltpy {
namespace {

std::chrono::milliseconds seconds(double value, const char* name) {
    // A week at most: longer is surely a mistake, and it keeps the milliseconds in range.
    if (!(value > 0 && value <= 7 * 86400.0))
        throw py::value_error(std::string(name) + " must be more than 0 and at most a week (" +
                              std::to_string(7 * 86400) + " seconds)");
    return std::chrono::milliseconds(std::max<long long>(1, std::llround(value * 1000)));
}

} // namespace

ltp::Options make_options(const std::string& host, int port, const std::string& user,
                          const std::string& password, double connect_timeout,
                          double request_timeout, unsigned code_page) {
    if (port < 1 || port > 65535)
        throw py::value_error("port must be from 1 to 65535, not " + std::to_string(port));
    ltp::Options options;
    options.host = host;
    options.port = static_cast<std::uint16_t>(port);
    options.user = user;
    options.password = password;
    options.connect_timeout = seconds(connect_timeout, "connect_timeout");
    options.request_timeout = seconds(request_timeout, "request_timeout");
    options.code_page = code_page;
    return options;
}

} // namespace ltpy
