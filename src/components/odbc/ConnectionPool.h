#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "components/odbc/Odbc.h"

namespace tolvane::components::odbc {

// Open connections kept for the whole process by connection string, so that the brokers that
// come and go with every dispatch do not connect to the server each time: a broker borrows a
// connection and gives it back when it goes. Safe to use from several threads.
class ConnectionPool {
    struct State;

  public:
    // A borrowed connection, given back to the pool when the lease goes.
    class Lease {
      public:
        Lease() = default;
        Lease(Lease&&) noexcept = default;
        Lease& operator=(Lease&& other) noexcept;
        ~Lease();

        explicit operator bool() const { return connection_ != nullptr; }
        DbConnection& operator*() const { return *connection_; }
        DbConnection* operator->() const { return connection_.get(); }
        // Closes the connection instead of giving it back (the server dropped it).
        void Discard();

      private:
        friend class ConnectionPool;
        Lease(std::weak_ptr<State> pool, std::string key, std::unique_ptr<DbConnection> c);
        void GiveBack();

        std::weak_ptr<State> pool_;
        std::string key_;
        std::unique_ptr<DbConnection> connection_;
    };

    ConnectionPool();
    ~ConnectionPool();
    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;

    // The pool that the program's brokers use.
    static ConnectionPool& Shared();

    // An idle connection for the string when there is one, else a new one. Fails with the
    // driver's diagnostics (odbc::Error).
    Lease Acquire(const std::string& connectionString);
    // Always a new connection; the idle ones for the string are closed, since a server that
    // dropped one connection has dropped them all.
    Lease Reconnect(const std::string& connectionString);

    // Off: every lease connects anew and disconnects when it goes. Turning it off empties it.
    void SetPooling(bool enabled);
    void SetTimeouts(const Timeouts& timeouts);
    Timeouts GetTimeouts() const;
    // Closes every idle connection.
    void Clear();

    // Connections opened so far.
    std::uint64_t ConnectCount() const;

  private:
    Lease Connect(const std::string& connectionString);

    std::shared_ptr<State> state_;
};

}  // namespace tolvane::components::odbc
