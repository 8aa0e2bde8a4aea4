#include "components/odbc/OdbcConnection.h"

#include <optional>
#include <utility>
#include <vector>

#include "common/Failure.h"
#include "common/Text.h"
#include "components/BrokerConfig.h"

namespace tolvane::components::odbc {
namespace {

constexpr const char* kSource = "Quillon.Broker";

using Row = std::vector<std::pair<std::string, DbValue>>;  // lower-case column name → value

class FirstRow final : public RecordSet {
  public:
    explicit FirstRow(std::optional<Row> row) : row_(std::move(row)) {}

    DbValue Field(const std::string& column) const override {
        if (!row_) {
            throw Failure(broker_failure::kNoCurrentRecord, kSource,
                          "No hay registro actual para leer la columna " + column +
                              ": la consulta no devolvió filas");
        }
        const std::string key = text::ToLowerAscii(column);
        for (const auto& [name, value] : *row_) {
            if (name == key)
                return value;
        }
        throw Failure(broker_failure::kNoSuchColumn, kSource,
                      "La consulta no devolvió la columna " + column);
    }

  private:
    std::optional<Row> row_;
};

Failure StatementFailure(const Error& error) {
    return Failure(broker_failure::kDatabase, kSource, error.Describe());
}

}  // namespace

OdbcConnection::OdbcConnection(std::string entity, std::string connectionString,
                               ConnectionPool& pool)
    : entity_(std::move(entity)), connectionString_(std::move(connectionString)), pool_(pool) {
    try {
        lease_ = pool_.Acquire(connectionString_);
    } catch (const Error& error) {
        throw Failure(broker_failure::kNotAvailable, kSource,
                      "No se pudo conectar con la base de datos de la entidad " + entity_ + " (" +
                          MaskPasswords(connectionString_) + "): " + error.Describe());
    }
}

Failure OdbcConnection::LostConnection(const Error& error) const {
    return Failure(broker_failure::kDatabase, kSource,
                   "Se perdió la conexión con la base de datos de la entidad " + entity_ +
                       " y no se pudo restablecer (" + MaskPasswords(connectionString_) +
                       "): " + error.Describe());
}

bool OdbcConnection::Dropped(const Error& error) const {
    return error.ConnectionLost() || lease_->IsDead();
}

void OdbcConnection::Reconnect() {
    lease_.Discard();
    try {
        lease_ = pool_.Reconnect(connectionString_);
    } catch (const Error& error) {
        throw LostConnection(error);
    }
}

template <class Work>
auto OdbcConnection::Run(Work&& work) {
    if (!lease_)
        Reconnect();  // the last attempt to restore it failed
    try {
        return work(*lease_);
    } catch (const Error& error) {
        if (!Dropped(error))
            throw StatementFailure(error);
    }
    // The server dropped the connection (a restart, an idle timeout): the statement runs once
    // more on a new one. When the link broke after the server had carried out a command but
    // before its answer arrived, the command runs twice. The only command the program sends is
    // the insert of a history row, whose DESPACHO is the table's key, so a repetition is
    // refused as a duplicate instead of recording the dispatch twice.
    Reconnect();
    try {
        return work(*lease_);
    } catch (const Error& error) {
        if (Dropped(error)) {
            lease_.Discard();
            throw LostConnection(error);
        }
        throw StatementFailure(error);
    }
}

bool OdbcConnection::CrearRs(std::unique_ptr<RecordSet>& recordSet) {
    std::optional<Row> row = Run([this](DbConnection& connection) -> std::optional<Row> {
        Statement statement(connection);
        statement.ExecDirect(sql_);
        const std::vector<Column> columns = statement.Columns();
        if (columns.empty() || !statement.Fetch())
            return std::nullopt;
        Row values;
        values.reserve(columns.size());
        for (std::size_t i = 0; i < columns.size(); ++i) {
            values.emplace_back(
                text::ToLowerAscii(columns[i].name),
                statement.Value(static_cast<SQLUSMALLINT>(i + 1), columns[i].sqlType));
        }
        return values;
    });
    const bool found = row.has_value();
    recordSet = std::make_unique<FirstRow>(std::move(row));
    return found;
}

void OdbcConnection::ejecutar() {
    const LongLiterals literals(sql_);
    Run([&literals](DbConnection& connection) {
        Statement(connection).ExecDirect(literals.sql(), literals.values());
    });
}

}  // namespace tolvane::components::odbc
