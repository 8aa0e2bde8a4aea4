#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/Network.h"

namespace tolvane::test {

// A throwaway PostgreSQL cluster in a temporary folder: loopback TCP with trust authentication,
// its socket in the same folder, fsync off (commits survive a server stop, not a machine crash).
// Stopped in immediate mode. As root the server runs as the user "postgres", since PostgreSQL
// refuses to run as root.
class PostgresServer final : public LoopbackServer {
  public:
    // The folder of the newest installed server programs (initdb, postgres, psql), if any.
    static std::optional<fs::path> FindBinaries();

    // Fails (std::runtime_error, with the server's output) when the cluster cannot be made.
    explicit PostgresServer(const fs::path& binaries);

    // The database initdb makes, empty.
    static constexpr const char* kDatabase = "postgres";
    // For the "PostgreSQL Unicode" ODBC driver.
    std::string ConnectionString() const;

    // Runs a file of SQL statements in the database with psql, stopping at the first error.
    void RunScript(const fs::path& script) const;
    // The command line of psql running `commands` one after another in one session of the
    // database (SQL, or psql's own such as "\\! touch file"), for a child process.
    std::vector<std::string> Psql(const std::vector<std::string>& commands) const;
    // An immediate stop and a start on the same port: every open connection is dropped.
    void Restart() { Stop(), Start(); }

  private:
    std::vector<std::string> Command() const override;
    bool Ready() const override;

    fs::path binaries_, data_;
};

}  // namespace tolvane::test
