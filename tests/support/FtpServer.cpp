#include "support/FtpServer.h"

#include <memory>
#include <sstream>

namespace tolvane::test {
namespace {

// The system interpreter, which carries the distribution's pyftpdlib; the first python3 on
// PATH may be another installation without it.
constexpr const char* kPython = "/usr/bin/python3";

}  // namespace

std::string FtpServer::Unavailable() {
    static const bool usable =
        ChildProcess({kPython, "-c", "import pyftpdlib"}, {}).Wait().exitStatus == 0;
    return usable ? "" : std::string(kPython) + " cannot import pyftpdlib (python3-pyftpdlib)";
}

FtpServer* FtpServer::Shared() {
    static const auto shared =
        Unavailable().empty() ? std::make_unique<FtpServer>(Options{{"solo-lectura"}}) : nullptr;
    if (shared)
        shared->Start();  // again after a test that stopped it
    return shared.get();
}

FtpServer::FtpServer(Options options) : options_(std::move(options)), root_(dir_.Sub("root")) {
    fs::create_directories(root_);
    Start();
}

std::vector<std::string> FtpServer::Command() const {
    std::vector<std::string> args = {
        kPython,      std::string(TOLVANE_SOURCE_DIR) + "/tests/support/ftp_server.py",
        "--port",     std::to_string(port()),
        "--root",     root_.string(),
        "--log",      (dir_.path() / "server.log").string(),
        "--user",     kUser,
        "--password", kPassword};
    for (const auto& folder : options_.readOnlyFolders)
        args.insert(args.end(), {"--read-only", folder});
    if (options_.refuseRename)
        args.push_back("--no-rename");
    if (options_.readLimit > 0)
        args.insert(args.end(), {"--read-limit", std::to_string(options_.readLimit)});
    return args;
}

std::string FtpServer::Log() const {
    const fs::path log = dir_.path() / "server.log";
    return fs::exists(log) ? ReadFile(log) : std::string();
}

int FtpServer::CountInLog(const std::string& needle) const {
    std::istringstream lines(Log());
    int count = 0;
    for (std::string line; std::getline(lines, line);)
        count += line.find(needle) != std::string::npos;
    return count;
}

}  // namespace tolvane::test
