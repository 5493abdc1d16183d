#include "pool.h"

#include "handle.h"

#include <pybind11/stl.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <string>

namespace py = pybind11;

namespace ltpy {
namespace {

// Each client of a pool exists from the start, so a size far past what a server accepts from one
// address is refused rather than allocated.
constexpr long kMostClients = 1024;

struct Lease {
    std::shared_ptr<ClientHandle> client;
};

} // namespace

void bind_pool(py::module_& m) {
    py::class_<Lease>(m, "Lease", "A client on loan from a Pool; `with` gives it back at the end.")
        .def_property_readonly("client", [](const Lease& l) { return l.client; })
        .def("__enter__", [](const Lease& l) { return l.client; })
        .def("__exit__", [](Lease& l, py::args) { l.client->give_back(); })
        .def("release", [](Lease& l) { l.client->give_back(); });

    using PoolPtr = std::shared_ptr<ltp::Pool>;
    py::class_<ltp::Pool, PoolPtr>(m, "Pool",
                                   "Clients for many threads, lent one thread at a time.")
        .def(py::init([](long size, const std::string& host, int port, const std::string& user,
                         const std::string& password, double connect_timeout,
                         double request_timeout, unsigned code_page) {
                 if (size < 1 || size > kMostClients)
                     throw py::value_error("size must be from 1 to " +
                                           std::to_string(kMostClients));
                 return std::make_shared<ltp::Pool>(make_options(host, port, user, password,
                                                                 connect_timeout, request_timeout,
                                                                 code_page),
                                                    static_cast<std::size_t>(size));
             }),
             py::arg("size"), py::kw_only(), py::arg("host") = "127.0.0.1",
             py::arg("port") = static_cast<int>(ltp::default_port), py::arg("user") = "",
             py::arg("password") = "",
             py::arg("connect_timeout") = Seconds(ltp::default_connect_timeout),
             py::arg("request_timeout") = Seconds(ltp::default_request_timeout),
             py::arg("code_page") = 0u)
        .def_property_readonly("size", &ltp::Pool::size)
        .def(
            "acquire",
            [](const PoolPtr& pool) {
                std::optional<ltp::Pool::Lease> lease;
                {
                    py::gil_scoped_release unlocked;
                    lease.emplace(pool->acquire());
                }
                return Lease{std::make_shared<ClientHandle>(pool, std::move(*lease))};
            },
            "Waits until a client is free and lends it.")
        .def(
            "try_acquire",
            [](const PoolPtr& pool, double timeout) -> std::optional<Lease> {
                if (!(timeout >= 0 && timeout <= 7 * 86400.0))
                    throw py::value_error("timeout must be from 0 to a week, in seconds");
                std::optional<ltp::Pool::Lease> lease;
                {
                    py::gil_scoped_release unlocked;
                    lease =
                        pool->try_acquire(std::chrono::milliseconds(std::llround(timeout * 1000)));
                }
                if (!lease)
                    return std::nullopt;
                return Lease{std::make_shared<ClientHandle>(pool, std::move(*lease))};
            },
            py::arg("timeout"), "Lends a client when one is free within timeout seconds, or None.");
}

} // namespace ltpy
