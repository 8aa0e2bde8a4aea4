#pragma once

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

    void setSQL(std::string statement) override { sql_ = std::move(statement); }
    // The record set holds a copy of the first row, so the physical connection is free again
    // as soon as this returns.
    bool CrearRs(std::unique_ptr<RecordSet>& recordSet) override;
    void ejecutar() override;

  private:
    template <class Work>
    auto Run(Work&& work);
    // The server dropped the connection: a connection-class SQLSTATE, or the driver says so.
    bool Dropped(const Error& error) const;
    void Reconnect();
    Failure LostConnection(const Error& error) const;

    std::string entity_;
    std::string connectionString_;
    ConnectionPool& pool_;
    ConnectionPool::Lease lease_;
    std::string sql_;
};

}  // namespace tolvane::components::odbc
