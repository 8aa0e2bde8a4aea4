#include "support/FtpServer.h"

#include <signal.h>

#include <chrono>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/Network.h"

namespace tolvane::test {
namespace {

namespace fs = std::filesystem;

// The system interpreter, which carries the distribution's pyftpdlib; the first python3 on
// PATH may be another installation without it.
constexpr const char* kPython = "/usr/bin/python3";

fs::path Script() {
    return fs::path(TOLVANE_SOURCE_DIR) / "tests/support/ftp_server.py";
}

}  // namespace

std::string FtpServer::Unavailable() {
    static const std::string reason = []() -> std::string {
        if (!fs::exists(kPython))
            return std::string(kPython) + " is not installed";
        if (!fs::exists(Script()))
            return Script().string() + " is missing";
        if (RunProcess({kPython, "-c", "import pyftpdlib"}, {}, 20000).exitStatus != 0)
            return std::string(kPython) + " cannot import pyftpdlib (package python3-pyftpdlib)";
        return {};
    }();
    return reason;
}

FtpServer::FtpServer(Options options) : options_(std::move(options)), root_(dir_.Sub("root")) {
    fs::create_directories(root_);
    Start();
}

FtpServer::~FtpServer() {
    Stop();
}

void FtpServer::Start() {
    if (process_)
        return;
    const fs::path portFile = dir_.path() / "port";
    fs::remove(portFile);
    std::vector<std::string> args = {
        kPython,       Script().string(), "--port", std::to_string(port_),
        "--root",      root_.string(),    "--log",  (dir_.path() / "server.log").string(),
        "--port-file", portFile.string(), "--user", kUser,
        "--password",  kPassword};
    for (const auto& folder : options_.readOnlyFolders) {
        args.push_back("--read-only");
        args.push_back(folder);
    }
    if (options_.refuseRename)
        args.push_back("--no-rename");
    process_ = std::make_unique<ChildProcess>(args, std::map<std::string, std::string>{});

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!fs::exists(portFile) || !Accepts(std::stoi(ReadFile(portFile)))) {
        if (std::chrono::steady_clock::now() > deadline) {
            const ProcessResult result = process_->Wait(1000);
            process_.reset();
            throw std::runtime_error("the FTP server did not start: " + result.err);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    port_ = std::stoi(ReadFile(portFile));
}

void FtpServer::Stop() {
    if (!process_)
        return;
    process_->Signal(SIGTERM);
    process_->Wait(5000);
    process_.reset();
}

std::string FtpServer::Url() const {
    return "ftp://127.0.0.1:" + std::to_string(port_);
}

std::string FtpServer::Log() const {
    const fs::path log = dir_.path() / "server.log";
    return fs::exists(log) ? ReadFile(log) : std::string();
}

int FtpServer::CountInLog(const std::string& needle) const {
    std::istringstream lines(Log());
    int count = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.find(needle) != std::string::npos)
            ++count;
    }
    return count;
}

}  // namespace tolvane::test
