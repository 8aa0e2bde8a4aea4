#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/Network.h"

namespace tolvane::test {

// A real FTP server on the loopback interface (pyftpdlib run by the system's Python), serving
// a fresh temporary folder to one user. Its log records every login ("USER '...' logged in."),
// every transfer ("STOR <path> completed=1 ...") and every refused command.
class FtpServer final : public LoopbackServer {
  public:
    struct Options {
        // Folders under the root where the user may only list and read.
        std::vector<std::string> readOnlyFolders;
        // Every rename (RNFR/RNTO) is refused.
        bool refuseRename = false;
        // Uploads are read at this many bytes per second (0: as fast as they come).
        int readLimit = 0;
    };

    static constexpr const char* kUser = "tolvane";
    static constexpr const char* kPassword = "Cl4ve-Secreta-Xq9";

    // Empty when the server can run here, otherwise why not (for GTEST_SKIP).
    static std::string Unavailable();

    // One running server for the whole test program, with a folder "solo-lectura" where the user
    // may only read; nullptr when none can run here.
    static FtpServer* Shared();

    // Starts the server on a free port.
    explicit FtpServer(Options options);
    FtpServer() : FtpServer(Options{}) {}

    // "ftp://127.0.0.1:<port>"
    std::string Url() const { return "ftp://" + Address(); }
    const fs::path& root() const { return root_; }
    std::string Log() const;
    // Lines of the log containing `needle`.
    int CountInLog(const std::string& needle) const;

  private:
    std::vector<std::string> Command() const override;

    const Options options_;
    const fs::path root_;
};

}  // namespace tolvane::test
