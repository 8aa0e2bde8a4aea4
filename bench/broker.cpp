// Lookups per second through Quillon.Broker, one broker per lookup as the program makes them
// ("select fechaalta from caratula where interno = '...'"), against SQLite and a throwaway
// PostgreSQL server, with the connection pool on and off.
//
//   bench_broker [seconds per case, default 2]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "components/QuillonBroker.h"
#include "components/odbc/ConnectionPool.h"
#include "support/PostgresServer.h"
#include "support/Process.h"
#include "support/TolvaneHome.h"

namespace {

using namespace tolvane;
using Clock = std::chrono::steady_clock;

constexpr int kOperations = 1000;
const std::filesystem::path kSourceDir = TOLVANE_SOURCE_DIR;

std::string Interno(int i) {
    return "OP-" + std::to_string(i);
}

class Bench {
  public:
    explicit Bench(double seconds) : budget_(seconds) {}

    // Points both entities at the database, fills caratula and measures both pool modes.
    void Run(const std::string& backend, const std::string& connectionString) {
        test::WriteFile(home_.Program() / "QuillonConfig.ini",
                        "[INTERNOS]\nConnectionString=" + connectionString +
                            "\n[HISTORIAL]\nConnectionString=" + connectionString + "\n");
        std::string insert = "insert into caratula (interno, fechaalta) values ";
        for (int i = 0; i < kOperations; ++i) {
            insert += (i == 0 ? "('" : ", ('") + Interno(i) + "', {ts '2010-06-28 10:00:00'})";
        }
        auto broker = NewBroker();
        broker->getDataConnectionByEntity("INTERNOS").setSQL(insert);
        broker->getDataConnectionByEntity("INTERNOS").ejecutar();
        broker.reset();

        for (const bool pooling : {true, false}) {
            auto& pool = components::odbc::ConnectionPool::Shared();
            pool.SetPooling(pooling);
            pool.Clear();
            for (int i = 0; i < 20; ++i)
                Lookup(i);
            const std::uint64_t connectsBefore = pool.ConnectCount();
            const auto start = Clock::now();
            int lookups = 0;
            std::chrono::duration<double> elapsed{};
            while (elapsed.count() < budget_) {
                Lookup(lookups++);
                elapsed = Clock::now() - start;
            }
            std::printf("%-11s %-7s %8d %8.2f %11.0f %11.1f %9llu\n", backend.c_str(),
                        pooling ? "on" : "off", lookups, elapsed.count(), lookups / elapsed.count(),
                        elapsed.count() * 1e6 / lookups,
                        static_cast<unsigned long long>(pool.ConnectCount() - connectsBefore));
            std::fflush(stdout);
        }
        components::odbc::ConnectionPool::Shared().SetPooling(true);
        components::odbc::ConnectionPool::Shared().Clear();
    }

    test::TolvaneHome& home() { return home_; }

  private:
    std::unique_ptr<components::Broker> NewBroker() {
        auto broker = home_.factory().Create<components::Broker>(components::kBroker);
        broker->setParametersPath((home_.Program() / "QuillonConfig.ini").string());
        broker->LoadParameters();
        return broker;
    }

    void Lookup(int i) {
        const std::string interno = Interno(i % kOperations);
        auto broker = NewBroker();
        auto& connection = broker->getDataConnectionByEntity("INTERNOS");
        connection.setSQL("select fechaalta from caratula where interno = '" + interno + "'");
        std::unique_ptr<components::RecordSet> row;
        if (!connection.CrearRs(row) ||
            !std::holds_alternative<components::DbDate>(row->Field("fechaalta"))) {
            throw std::runtime_error("no opening date for " + interno);
        }
    }

    double budget_;
    test::TolvaneHome home_;
};

}  // namespace

int main(int argc, char** argv) {
    ::setenv("ODBCSYSINI", (kSourceDir / "odbc").c_str(), 0);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    try {
        Bench bench(seconds > 0 ? seconds : 2.0);
        std::printf("%-11s %-7s %8s %8s %11s %11s %9s\n", "database", "pooling", "lookups",
                    "seconds", "lookups/s", "us/lookup", "connects");

        const auto sqlite = bench.home().Program() / "operaciones.db";
        const auto loaded =
            test::ChildProcess({"/usr/bin/sqlite3", sqlite.string(),
                                ".read " + (kSourceDir / "db/sqlite/schema.sql").string()},
                               {})
                .Wait();
        if (loaded.exitStatus != 0)
            throw std::runtime_error("sqlite3: " + loaded.err);
        bench.Run("SQLite", "Driver=SQLite3;Database=" + sqlite.string());

        const auto binaries = test::PostgresServer::FindBinaries();
        if (!binaries) {
            std::printf("PostgreSQL is not installed: skipped\n");
            return 0;
        }
        test::PostgresServer server(*binaries);
        server.RunScript(kSourceDir / "db/postgresql/schema.sql");
        bench.Run("PostgreSQL", server.ConnectionString());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_broker: %s\n", error.what());
        return 1;
    }
    return 0;
}
