#include "ltpadmin/ltp/pool.h"

#include <condition_variable>
#include <mutex>

namespace ltp {

struct Pool::State {
    std::mutex mutex;
    std::condition_variable returned;
    std::vector<std::unique_ptr<Client>> clients;
    std::vector<Client*> free; // the clients not on loan
};

Pool::Pool(Options options, std::size_t size) : state_(std::make_unique<State>()) {
    if (size == 0)
        size = 1;
    state_->clients.reserve(size);
    state_->free.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        state_->clients.push_back(std::make_unique<Client>(options));
        state_->free.push_back(state_->clients.back().get());
    }
}

Pool::~Pool() = default;

std::size_t Pool::size() const noexcept {
    return state_->clients.size();
}

Pool::Lease Pool::acquire() {
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->returned.wait(lock, [this] { return !state_->free.empty(); });
    Client* client = state_->free.back();
    state_->free.pop_back();
    return Lease(this, client);
}

std::optional<Pool::Lease> Pool::try_acquire(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    if (!state_->returned.wait_for(lock, wait, [this] { return !state_->free.empty(); }))
        return std::nullopt;
    Client* client = state_->free.back();
    state_->free.pop_back();
    return Lease(this, client);
}

void Pool::give_back(Client* client) noexcept {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->free.push_back(client);
    }
    state_->returned.notify_one();
}

Pool::Lease::Lease(Lease&& other) noexcept : pool_(other.pool_), client_(other.client_) {
    other.pool_ = nullptr;
    other.client_ = nullptr;
}

Pool::Lease& Pool::Lease::operator=(Lease&& other) noexcept {
    if (this != &other) {
        if (pool_ != nullptr)
            pool_->give_back(client_);
        pool_ = other.pool_;
        client_ = other.client_;
        other.pool_ = nullptr;
        other.client_ = nullptr;
    }
    return *this;
}

Pool::Lease::~Lease() {
    if (pool_ != nullptr)
        pool_->give_back(client_);
}

} // namespace ltp
