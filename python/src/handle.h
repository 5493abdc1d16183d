// What a Python Client holds: a client of its own, or one leased from a Pool until the lease
// ends. Calls wait without the GIL, so other threads run meanwhile, and one at a time, since a
// client serves one thread at a time and Python code may well share one between threads.
#pragma once

#include <ltpadmin/client.h>

#include <pybind11/pybind11.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

namespace ltpy {

class ClientHandle {
public:
    explicit ClientHandle(ltp::Options options)
        : owned_(std::make_unique<ltp::Client>(std::move(options))), client_(owned_.get()) {}
    ClientHandle(std::shared_ptr<ltp::Pool> pool, ltp::Pool::Lease lease)
        : pool_(std::move(pool)), lease_(std::move(lease)), client_(&**lease_) {}

    /// Runs f(client) without the GIL, alone on this client.
    template <class F> decltype(auto) run(F&& f) {
        pybind11::gil_scoped_release unlocked;
        std::lock_guard<std::mutex> alone(mutex_);
        if (!client_)
            throw ltp::Error("this client went back to its pool when its lease ended");
        return std::forward<F>(f)(*client_);
    }

    /// Gives a leased client back to its pool (after any call under way); no-op otherwise.
    void give_back() {
        pybind11::gil_scoped_release unlocked;
        std::lock_guard<std::mutex> alone(mutex_);
        if (lease_) {
            client_ = nullptr;
            lease_.reset();
        }
    }

private:
    std::unique_ptr<ltp::Client> owned_;
    std::shared_ptr<ltp::Pool> pool_; // outlives the lease
    std::optional<ltp::Pool::Lease> lease_;
    ltp::Client* client_;
    std::mutex mutex_;
};

// A default time-out of the wire in the seconds Python is given.
inline double Seconds(std::chrono::milliseconds time) {
    return static_cast<double>(time.count()) / 1000;
}

/// The options of the keyword arguments shared by Client and Pool.
ltp::Options make_options(const std::string& host, int port, const std::string& user,
                          const std::string& password, double connect_timeout,
                          double request_timeout, unsigned code_page);

} // namespace ltpy
