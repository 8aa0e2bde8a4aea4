#include "support/PostgresServer.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace tolvane::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> AsServerUser(std::vector<std::string> command) {
    if (::geteuid() == 0)
        command.insert(command.begin(), {"/usr/bin/setpriv", "--reuid=postgres", "--regid=postgres",
                                         "--clear-groups"});
    return command;
}

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
    if (::geteuid() == 0)
        RunChecked({"/bin/chown", "postgres:", dir_.path().string()});
    RunChecked(AsServerUser({(binaries_ / "initdb").string(), "-D", data_.string(), "--auth=trust",
                             "--username=postgres", "--encoding=UTF8", "--locale=C", "--no-sync"}));
    Start();
}

std::vector<std::string> PostgresServer::Command() const {
    return AsServerUser({(binaries_ / "postgres").string(), "-D", data_.string(), "-p",
                         std::to_string(port()), "-c", "listen_addresses=127.0.0.1", "-c",
                         "unix_socket_directories=" + dir_.path().string(), "-c", "fsync=off", "-c",
                         "full_page_writes=off", "-c", "shared_buffers=16MB", "-c",
                         "max_connections=40"});
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
