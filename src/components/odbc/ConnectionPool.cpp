#include "components/odbc/ConnectionPool.h"

#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace tolvane::components::odbc {

struct ConnectionPool::State {
    // More idle connections than this for one string are closed when given back.
    static constexpr std::size_t kMaxIdlePerString = 8;

    mutable std::mutex mutex;
    std::shared_ptr<Environment> environment;  // made on the first connection
    std::map<std::string, std::vector<std::unique_ptr<DbConnection>>> idle;
    bool pooling = true;
    Timeouts timeouts;
    std::uint64_t connects = 0;
};

ConnectionPool::Lease::Lease(std::weak_ptr<State> pool, std::string key,
                             std::unique_ptr<DbConnection> connection)
    : pool_(std::move(pool)), key_(std::move(key)), connection_(std::move(connection)) {}

ConnectionPool::Lease& ConnectionPool::Lease::operator=(Lease&& other) noexcept {
    if (this != &other) {
        GiveBack();
        pool_ = std::move(other.pool_);
        key_ = std::move(other.key_);
        connection_ = std::move(other.connection_);
    }
    return *this;
}

ConnectionPool::Lease::~Lease() {
    GiveBack();
}

void ConnectionPool::Lease::Discard() {
    connection_.reset();
}

void ConnectionPool::Lease::GiveBack() {
    std::unique_ptr<DbConnection> connection = std::move(connection_);
    const std::shared_ptr<State> state = pool_.lock();
    if (!connection || !state || connection->IsDead())
        return;  // closed on leaving, outside the lock
    try {
        const std::lock_guard lock(state->mutex);
        auto& idle = state->idle[key_];
        if (state->pooling && idle.size() < State::kMaxIdlePerString)
            idle.push_back(std::move(connection));
    } catch (...) {
        // Out of memory while keeping it: the connection is closed instead.
    }
}

ConnectionPool::ConnectionPool() : state_(std::make_shared<State>()) {}

ConnectionPool::~ConnectionPool() = default;

ConnectionPool& ConnectionPool::Shared() {
    // Never destroyed: a worker may still be connecting for a broker when the program ends.
    static ConnectionPool* const pool = new ConnectionPool;
    return *pool;
}

ConnectionPool::Lease ConnectionPool::Acquire(const std::string& connectionString) {
    std::vector<std::unique_ptr<DbConnection>> dead;  // closed outside the lock
    {
        const std::lock_guard lock(state_->mutex);
        const auto found = state_->idle.find(connectionString);
        if (state_->pooling && found != state_->idle.end()) {
            auto& idle = found->second;
            while (!idle.empty()) {
                std::unique_ptr<DbConnection> connection = std::move(idle.back());
                idle.pop_back();
                if (!connection->IsDead())
                    return Lease(state_, connectionString, std::move(connection));
                dead.push_back(std::move(connection));
            }
        }
    }
    return Connect(connectionString);
}

ConnectionPool::Lease ConnectionPool::Reconnect(const std::string& connectionString) {
    std::vector<std::unique_ptr<DbConnection>> stale;
    {
        const std::lock_guard lock(state_->mutex);
        const auto found = state_->idle.find(connectionString);
        if (found != state_->idle.end())
            stale = std::move(found->second);
        state_->idle.erase(connectionString);
    }
    stale.clear();
    return Connect(connectionString);
}

ConnectionPool::Lease ConnectionPool::Connect(const std::string& connectionString) {
    std::shared_ptr<Environment> environment;
    Timeouts timeouts;
    {
        const std::lock_guard lock(state_->mutex);
        if (!state_->environment)
            state_->environment = std::make_shared<Environment>();
        environment = state_->environment;
        timeouts = state_->timeouts;
    }
    // Connecting can take seconds: other threads keep using the pool meanwhile.
    auto connection = std::make_unique<DbConnection>(environment, connectionString, timeouts);
    {
        const std::lock_guard lock(state_->mutex);
        ++state_->connects;
    }
    return Lease(state_, connectionString, std::move(connection));
}

void ConnectionPool::SetPooling(bool enabled) {
    {
        const std::lock_guard lock(state_->mutex);
        state_->pooling = enabled;
    }
    if (!enabled)
        Clear();
}

void ConnectionPool::SetTimeouts(const Timeouts& timeouts) {
    const std::lock_guard lock(state_->mutex);
    state_->timeouts = timeouts;
}

Timeouts ConnectionPool::GetTimeouts() const {
    const std::lock_guard lock(state_->mutex);
    return state_->timeouts;
}

void ConnectionPool::Clear() {
    std::map<std::string, std::vector<std::unique_ptr<DbConnection>>> idle;
    {
        const std::lock_guard lock(state_->mutex);
        idle.swap(state_->idle);
    }
}

std::uint64_t ConnectionPool::ConnectCount() const {
    const std::lock_guard lock(state_->mutex);
    return state_->connects;
}

}  // namespace tolvane::components::odbc
