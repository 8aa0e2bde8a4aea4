#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/Process.h"
#include "support/TempDir.h"

namespace tolvane::test {

// A real FTP server on the loopback interface (pyftpdlib run by the system's Python), serving
// a fresh temporary folder to one user. Its log records every login ("USER '...' logged in."),
// every transfer ("STOR <path> completed=1 ...") and every refused command.
class FtpServer {
  public:
    struct Options {
        // Folders under the root where the user may only list and read.
        std::vector<std::string> readOnlyFolders;
        // Every rename (RNFR/RNTO) is refused.
        bool refuseRename = false;
    };

    static constexpr const char* kUser = "tolvane";
    static constexpr const char* kPassword = "Cl4ve-Secreta-Xq9";

    // Empty when the server can run here, otherwise why not (for GTEST_SKIP).
    static std::string Unavailable();

    // Starts the server on a free port.
    explicit FtpServer(Options options);
    FtpServer() : FtpServer(Options{}) {}
    ~FtpServer();
    FtpServer(const FtpServer&) = delete;
    FtpServer& operator=(const FtpServer&) = delete;

    // Start again after Stop, on the same port; returns once the port accepts connections.
    void Start();
    void Stop();

    int port() const { return port_; }
    // "ftp://127.0.0.1:<port>"
    std::string Url() const;
    const std::filesystem::path& root() const { return root_; }
    std::string Log() const;
    // Lines of the log containing `needle`.
    int CountInLog(const std::string& needle) const;

  private:
    Options options_;
    TempDir dir_;
    std::filesystem::path root_;
    int port_ = 0;
    std::unique_ptr<ChildProcess> process_;
};

}  // namespace tolvane::test
