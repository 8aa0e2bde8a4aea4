#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "common/Failure.h"
#include "components/Contracts.h"
#include "components/odbc/ConnectionPool.h"

namespace tolvane::components::odbc {

// One entity's connection of a Quillon.Broker: it borrows a pooled connection for its
// connection string on creation and gives it back when it goes. Failures carry the source
// "Quillon.Broker" and a description with the driver's SQLSTATE and message; a connection that
// cannot be opened fails with broker_failure::kNotAvailable, a rejected statement or a lost
// connection that cannot be restored with broker_failure::kDatabase. Connection failures name
// the entity and the connection string, passwords masked.
class OdbcConnection final : public Connection {
  public:
    OdbcConnection(std::string entity, std::string connectionString, ConnectionPool& pool);

    void setSQL(std::string statement) override {
        sql_ = std::make_shared<std::string>(std::move(statement));
    }
    // The record set holds a copy of the first row, so the physical connection is free again
    // as soon as this returns.
    bool CrearRs(std::unique_ptr<RecordSet>& recordSet) override;
    void ejecutar() override;

  private:
    using Work = std::function<void(DbConnection&)>;

    // The work on the connection, once more on a new connection if the server had dropped it.
    void Run(const Work& work);
    // The work on a thread of its own, waited for at most Timeouts::answer and only until a
    // stop is requested: a server that never replies cannot hold the program. Work given up on
    // keeps the connection, closed when the work returns at last; what the work touches must
    // therefore be its own (held by shared pointers).
    void Bounded(const Work& work);
    // "La base de datos de la entidad X (connection string)", for messages.
    std::string Database() const;
    Failure Where(const std::string& what, const Error& error) const;
    // The server dropped the connection: a connection-class SQLSTATE, or the driver says so.
    bool Dropped(const Error& error) const;
    void Reconnect();
    Failure LostConnection(const Error& error) const;

    std::string entity_;
    std::string connectionString_;
    ConnectionPool& pool_;
    ConnectionPool::Lease lease_;
    std::shared_ptr<std::string> sql_ = std::make_shared<std::string>();
};

}  // namespace tolvane::components::odbc
