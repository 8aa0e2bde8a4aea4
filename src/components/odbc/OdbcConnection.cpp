#include "components/odbc/OdbcConnection.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "common/Failure.h"
#include "common/Stop.h"
#include "common/Text.h"
#include "components/BrokerConfig.h"
#include "platform/FileServices.h"

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

// The threads that run the calls on the databases. A thread stays for the next call once its
// call is done (a thread per call costs more than the calls themselves); a call that the
// program gave up on keeps its thread until the server answers, and later calls get others.
class Workers {
  public:
    // Never destroyed: a thread may still wait on a server that never answers when the
    // program ends.
    static Workers& Shared() {
        static Workers* const workers = new Workers;
        return *workers;
    }

    void Post(std::function<void()> task) {
        std::unique_lock lock(mutex_);
        tasks_.push_back(std::move(task));
        if (idle_ >= tasks_.size()) {
            ready_.notify_one();
            return;
        }
        lock.unlock();
        std::thread([this] { Run(); }).detach();
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            ++idle_;
            ready_.wait(lock, [this] { return !tasks_.empty(); });
            --idle_;
            std::function<void()> task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            task = nullptr;  // what the task holds goes before the thread waits again
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> tasks_;
    std::size_t idle_ = 0;
};

// A statement that ran out of time: the server's statement timeout, or SQLite's busy timeout
// on a database that another program holds.
bool TimedOut(const Error& error) {
    for (const auto& record : error.records()) {
        if (record.state == "57014" || record.state == "HYT00" ||
            record.message.find("database is locked") != std::string::npos) {
            return true;
        }
    }
    return false;
}

// A call on a worker thread, as its waiter and the worker share it: the connection it runs on
// (or opens), and how it ended.
struct WorkerCall {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool givenUp = false;  // the waiter went: the worker discards the connection
    std::exception_ptr error;
    ConnectionPool::Lease lease;
};

// Opens a connection on a worker thread and waits for it, giving up on a stop request: a server
// that does not answer holds a connect for the driver's whole login timeout.
ConnectionPool::Lease ConnectStoppable(std::function<ConnectionPool::Lease()> connect) {
    auto call = std::make_shared<WorkerCall>();
    Workers::Shared().Post([call, connect = std::move(connect)] {
        ConnectionPool::Lease lease;
        std::exception_ptr error;
        try {
            lease = connect();
        } catch (...) {
            error = std::current_exception();
        }
        const std::lock_guard lock(call->mutex);
        if (call->givenUp)
            lease.Discard();
        call->lease = std::move(lease);
        call->error = error;
        call->done = true;
        call->finished.notify_all();
    });
    std::unique_lock lock(call->mutex);
    while (!call->done) {
        if (StopRequested()) {
            call->givenUp = true;
            throw Interrupted();
        }
        call->finished.wait_for(lock, std::chrono::milliseconds(50));
    }
    if (call->error)
        std::rethrow_exception(call->error);
    return std::move(call->lease);
}

}  // namespace

OdbcConnection::OdbcConnection(std::string entity, std::string connectionString,
                               ConnectionPool& pool)
    : entity_(std::move(entity)), connectionString_(std::move(connectionString)), pool_(pool) {
    try {
        lease_ = ConnectStoppable(
            [&pool = pool_, text = connectionString_] { return pool.Acquire(text); });
    } catch (const Error& error) {
        // The SQLite driver is told not to make a missing database (it would be empty, and
        // every statement would then fail for want of its tables): say so plainly.
        const std::string database = ConnectionStringValue(connectionString_, "Database");
        if (IsSqlite(connectionString_) && !database.empty() && !platform::PathExists(database)) {
            throw Failure(broker_failure::kNotAvailable, kSource,
                          "No existe el archivo de la base de datos de la entidad " + entity_ +
                              ": " + database + " (revise QuillonConfig.ini)");
        }
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
    return error.ConnectionLost() || (lease_ && lease_->IsDead());
}

void OdbcConnection::Reconnect() {
    lease_.Discard();
    try {
        lease_ = ConnectStoppable(
            [&pool = pool_, text = connectionString_] { return pool.Reconnect(text); });
    } catch (const Error& error) {
        throw LostConnection(error);
    }
}

std::string OdbcConnection::Database() const {
    return "La base de datos de la entidad " + entity_ + " (" + MaskPasswords(connectionString_) +
           ")";
}

Failure OdbcConnection::Where(const std::string& what, const Error& error) const {
    return Failure(broker_failure::kDatabase, kSource,
                   Database() + " " + what + ": " + error.Describe());
}

void OdbcConnection::Run(const Work& work) {
    const auto statementFailure = [this](const Error& error) {
        if (TimedOut(error)) {
            const Timeouts limits = pool_.GetTimeouts();
            return Where(
                "no completó la sentencia en " +
                    std::to_string(
                        (IsSqlite(connectionString_) ? limits.busy : limits.query).count()) +
                    " s (otro programa la tiene ocupada o bloqueada)",
                error);
        }
        Failure refused = Where("rechazó la sentencia", error);
        // A data exception (a value too long, of the wrong form) is the statement's values'
        // fault: another statement with other values goes through.
        const auto& records = error.records();
        if (std::any_of(records.begin(), records.end(),
                        [](const Diagnostic& record) { return record.state.starts_with("22"); })) {
            refused = Failure(refused.number(), refused.source(), refused.description(),
                              Failure::Scope::Item);
        }
        return refused;
    };
    if (!lease_)
        Reconnect();  // the last attempt to restore it failed, or a call was given up on
    try {
        Bounded(work);
        return;
    } catch (const Error& error) {
        if (!Dropped(error))
            throw statementFailure(error);
    }
    // The server dropped the connection (a restart, an idle timeout): the statement runs once
    // more on a new one. When the link broke after the server had carried out a command but
    // before its answer arrived, the command runs twice. The only command the program sends is
    // the insert of a history row, whose DESPACHO is the table's key, so a repetition is
    // refused as a duplicate instead of recording the dispatch twice.
    Reconnect();
    try {
        Bounded(work);
    } catch (const Error& error) {
        if (Dropped(error)) {
            lease_.Discard();
            throw LostConnection(error);
        }
        throw statementFailure(error);
    }
}

void OdbcConnection::Bounded(const Work& work) {
    auto call = std::make_shared<WorkerCall>();
    call->lease = std::move(lease_);
    Workers::Shared().Post([call, work] {
        std::exception_ptr error;
        try {
            work(*call->lease);
        } catch (...) {
            error = std::current_exception();
        }
        const std::lock_guard lock(call->mutex);
        call->error = error;
        call->done = true;
        if (call->givenUp)
            call->lease.Discard();
        call->finished.notify_all();
    });

    const auto limit = pool_.GetTimeouts().answer;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(call->mutex);
    while (!call->done) {
        const bool stop = StopRequested();
        if (stop || std::chrono::steady_clock::now() >= deadline) {
            call->givenUp = true;
            sql_ = std::make_shared<std::string>();  // the abandoned work may still read it
            if (stop)
                throw Interrupted();
            throw Failure(broker_failure::kDatabase, kSource,
                          Database() + " no respondió en " + std::to_string(limit.count()) +
                              " s: el servidor no contesta. Se volverá a intentar en la próxima "
                              "pasada.");
        }
        call->finished.wait_for(lock, std::chrono::milliseconds(50));
    }
    lease_ = std::move(call->lease);
    if (call->error)
        std::rethrow_exception(call->error);
}

bool OdbcConnection::CrearRs(std::unique_ptr<RecordSet>& recordSet) {
    auto row = std::make_shared<std::optional<Row>>();
    Run([row, sql = sql_](DbConnection& connection) {
        Statement statement(connection);
        statement.ExecDirect(*sql);
        const std::vector<Column> columns = statement.Columns();
        if (columns.empty() || !statement.Fetch())
            return;
        Row values;
        values.reserve(columns.size());
        for (std::size_t i = 0; i < columns.size(); ++i) {
            values.emplace_back(
                text::ToLowerAscii(columns[i].name),
                statement.Value(static_cast<SQLUSMALLINT>(i + 1), columns[i].sqlType));
        }
        *row = std::move(values);
    });
    const bool found = row->has_value();
    recordSet = std::make_unique<FirstRow>(std::move(*row));
    return found;
}

void OdbcConnection::ejecutar() {
    Run([sql = sql_](DbConnection& connection) {
        const LongLiterals literals(*sql);
        Statement(connection).ExecDirect(literals.sql(), literals.values());
    });
}

}  // namespace tolvane::components::odbc
