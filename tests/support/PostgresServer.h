#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace tolvane::test {

// A throwaway PostgreSQL cluster in a temporary folder: loopback TCP on a free port with trust
// authentication, its socket in the same folder, fsync off (commits survive a server stop,
// not a machine crash), one empty UTF8 database. Stopped
// (immediate mode) and removed when the object goes. As root the server programs run as the
// user "postgres", since PostgreSQL refuses to run as root.
class PostgresServer {
  public:
    // The folder of the newest installed server programs (initdb, pg_ctl, ...), if any.
    static std::optional<std::filesystem::path> FindBinaries();

    // Fails (std::runtime_error, with the server's log) when the cluster cannot be made.
    explicit PostgresServer(const std::filesystem::path& binaries);
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    int port() const { return port_; }
    static constexpr const char* kDatabase = "tolvane";
    // For the "PostgreSQL Unicode" ODBC driver.
    std::string ConnectionString() const;

    // Runs a file of SQL statements in the database with psql, stopping at the first error.
    void RunScript(const std::filesystem::path& script) const;
    // The command line of psql running `commands` one after another in one session of the
    // database (SQL, or psql's own such as "\\! touch file"), for a child process.
    std::vector<std::string> Psql(const std::vector<std::string>& commands) const;
    void Stop();
    void Start();
    // An immediate stop and a start on the same port: every open connection is dropped.
    void Restart();

  private:
    std::vector<std::string> AsServerUser(std::vector<std::string> command) const;
    void Run(const std::vector<std::string>& command, const std::string& what) const;
    bool TryStart();
    void StopQuietly() noexcept;

    std::filesystem::path binaries_;
    TempDir dir_;
    std::filesystem::path data_;
    int port_ = 0;
    bool running_ = false;
};

}  // namespace tolvane::test
