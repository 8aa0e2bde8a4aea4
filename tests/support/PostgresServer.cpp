#include "support/PostgresServer.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace tolvane::test {
namespace {

const std::string kScript = TOLVANE_SOURCE_DIR "/tests/support/postgres_server.sh";

}  // namespace

std::optional<fs::path> PostgresServer::FindBinaries() {
    const auto version = [](const fs::path& bin) {
        return std::atoi(bin.parent_path().filename().c_str());
    };
    std::optional<fs::path> best;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec)) {
        const fs::path bin = entry.path() / "bin";
        if (fs::exists(bin / "initdb") && fs::exists(bin / "postgres") &&
            fs::exists(bin / "psql") && (!best || version(bin) > version(*best)))
            best = bin;
    }
    return best;
}

PostgresServer::PostgresServer(const fs::path& binaries)
    : LoopbackServer(SIGQUIT), binaries_(binaries), data_(dir_.path() / "data") {
    RunChecked({"/bin/bash", kScript, "prepare", dir_.path().string(), binaries_.string()});
    Start();
}

std::vector<std::string> PostgresServer::Command() const {
    return {"/bin/bash",           kScript, "run", dir_.path().string(), binaries_.string(),
            std::to_string(port())};
}

// Its port accepts connections before recovery ends; the lock file says when it takes them.
bool PostgresServer::Ready() const {
    std::ifstream lock(data_ / "postmaster.pid");
    for (std::string line; std::getline(lock, line);)
        if (line.starts_with("ready"))
            return true;
    return false;
}

std::string PostgresServer::ConnectionString() const {
    return "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::to_string(port()) +
           ";Database=" + kDatabase + ";UID=postgres";
}

void PostgresServer::RunScript(const fs::path& script) const {
    auto command = Psql({});
    command.insert(command.end(), {"-v", "ON_ERROR_STOP=1", "-f", script.string()});
    RunChecked(command);
}

std::vector<std::string> PostgresServer::Psql(const std::vector<std::string>& commands) const {
    std::vector<std::string> argv{
        (binaries_ / "psql").string(), "-X", "-q",       "-h", "127.0.0.1", "-p",
        std::to_string(port()),        "-U", "postgres", "-d", kDatabase};
    for (const auto& command : commands)
        argv.insert(argv.end(), {"-c", command});
    return argv;
}

}  // namespace tolvane::test
