/// @file
/// `ltp::Pool`: clients lent to many threads, one lease at a time each.
#pragma once

#include <ltpadmin/export.h>
#include <ltpadmin/ltp/client.h>
#include <ltpadmin/ltp/options.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <utility>

namespace ltp {

/// holds one client alone until it is returned. Clients connect on first use and stay open.
class LTPADMIN_API Pool {
public:
    /// A client on loan; returned to the pool when the lease ends.
    class LTPADMIN_API Lease {
    public:
        Lease(Lease&& other) noexcept;
        Lease& operator=(Lease&& other) noexcept;
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        ~Lease();
        Client& operator*() const noexcept { return *client_; }
        Client* operator->() const noexcept { return client_; }

    private:
        friend class Pool;
        Lease(Pool* pool, Client* client) noexcept : pool_(pool), client_(client) {}
        Pool* pool_;
        Client* client_;
    };

    /// size clients (at least 1), none connected yet.
    Pool(Options options, std::size_t size);
    ~Pool();
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    /// Waits until a client is free and lends it.
    Lease acquire();
    /// Lends a client when one becomes free within wait; otherwise nothing.
    std::optional<Lease> try_acquire(std::chrono::milliseconds wait);
    /// Runs f with a leased client and returns what it returns.
    template <class F> auto with(F&& f) {
        Lease lease = acquire();
        return std::forward<F>(f)(*lease);
    }
    std::size_t size() const noexcept;

private:
    void give_back(Client* client) noexcept;
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace ltp
