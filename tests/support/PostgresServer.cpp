#include "support/PostgresServer.h"

#include <pwd.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <system_error>

#include "support/Network.h"
#include "support/Process.h"

namespace tolvane::test {
namespace {

constexpr const char* kServerUser = "postgres";
constexpr int kCommandTimeoutMs = 120000;

std::string Tail(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        return {};
    const std::string text = ReadFile(file);
    return text.size() > 4000 ? text.substr(text.size() - 4000) : text;
}

}  // namespace

std::optional<std::filesystem::path> PostgresServer::FindBinaries() {
    std::optional<std::filesystem::path> best;
    int bestVersion = -1;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.front() < '0' || name.front() > '9' ||
            name.find_first_not_of("0123456789.") != std::string::npos) {
            continue;
        }
        const auto bin = entry.path() / "bin";
        const int version = std::stoi(name);
        bool complete = true;
        for (const char* program : {"initdb", "pg_ctl", "createdb", "psql"})
            complete = complete && std::filesystem::exists(bin / program, ec);
        if (complete && version > bestVersion) {
            best = bin;
            bestVersion = version;
        }
    }
    return best;
}

PostgresServer::PostgresServer(const std::filesystem::path& binaries)
    : binaries_(binaries), data_(dir_.path() / "data") {
    if (::geteuid() == 0) {
        const passwd* user = ::getpwnam(kServerUser);
        if (user == nullptr)
            throw std::runtime_error("PostgreSQL cannot run as root and there is no user postgres");
        if (::chown(dir_.path().c_str(), user->pw_uid, user->pw_gid) != 0)
            throw std::runtime_error("cannot hand " + dir_.path().string() + " to postgres");
    }
    Run(AsServerUser({(binaries_ / "initdb").string(), "-D", data_.string(), "--auth=trust",
                      "--username=postgres", "--encoding=UTF8", "--locale=C", "--no-sync"}),
        "initdb");
    // Root may write into the server user's files; rewriting them keeps their owner.
    std::ofstream(data_ / "postgresql.conf", std::ios::app)
        << "listen_addresses = '127.0.0.1'\n"
        << "unix_socket_directories = '" << dir_.path().string() << "'\n"
        << "fsync = off\nfull_page_writes = off\n"
        << "shared_buffers = 16MB\nmax_connections = 40\n";
    WriteFile(data_ / "pg_hba.conf", "local all all trust\nhost all all 127.0.0.1/32 trust\n");
    for (int attempt = 0; !running_; ++attempt) {
        port_ = FreePort();
        if (!TryStart() && attempt == 4)
            throw std::runtime_error("the PostgreSQL server does not start:\n" +
                                     Tail(dir_.path() / "server.log"));
    }
    try {
        Run({(binaries_ / "createdb").string(), "-h", "127.0.0.1", "-p", std::to_string(port_),
             "-U", "postgres", kDatabase},
            "createdb");
    } catch (...) {
        StopQuietly();
        throw;
    }
}

PostgresServer::~PostgresServer() {
    StopQuietly();
}

void PostgresServer::StopQuietly() noexcept {
    if (!running_)
        return;
    try {
        RunProcess(AsServerUser({(binaries_ / "pg_ctl").string(), "-D", data_.string(), "-m",
                                 "immediate", "-w", "stop"}),
                   {}, kCommandTimeoutMs);
    } catch (...) {
    }
    running_ = false;
}

std::string PostgresServer::ConnectionString() const {
    return "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::to_string(port_) +
           ";Database=" + kDatabase + ";UID=postgres";
}

void PostgresServer::RunScript(const std::filesystem::path& script) const {
    Run({(binaries_ / "psql").string(), "-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1",
         "-p", std::to_string(port_), "-U", "postgres", "-d", kDatabase, "-f", script.string()},
        "psql -f " + script.string());
}

std::vector<std::string> PostgresServer::Psql(const std::vector<std::string>& commands) const {
    std::vector<std::string> argv{
        (binaries_ / "psql").string(), "-X", "-q",       "-h", "127.0.0.1", "-p",
        std::to_string(port_),         "-U", "postgres", "-d", kDatabase};
    for (const auto& command : commands) {
        argv.push_back("-c");
        argv.push_back(command);
    }
    return argv;
}

void PostgresServer::Stop() {
    Run(AsServerUser({(binaries_ / "pg_ctl").string(), "-D", data_.string(), "-m", "immediate",
                      "-w", "stop"}),
        "pg_ctl stop");
    running_ = false;
}

void PostgresServer::Start() {
    if (!TryStart())
        throw std::runtime_error("the PostgreSQL server does not start again:\n" +
                                 Tail(dir_.path() / "server.log"));
}

void PostgresServer::Restart() {
    Stop();
    Start();
}

bool PostgresServer::TryStart() {
    const ProcessResult result =
        RunProcess(AsServerUser({(binaries_ / "pg_ctl").string(), "-D", data_.string(), "-l",
                                 (dir_.path() / "server.log").string(), "-w", "-t", "60", "-o",
                                 "-p " + std::to_string(port_), "start"}),
                   {}, kCommandTimeoutMs);
    running_ = result.exitStatus == 0;
    return running_;
}

std::vector<std::string> PostgresServer::AsServerUser(std::vector<std::string> command) const {
    if (::geteuid() != 0)
        return command;
    std::vector<std::string> wrapped{
        std::filesystem::exists("/usr/sbin/runuser") ? "/usr/sbin/runuser" : "/sbin/runuser", "-u",
        kServerUser, "--"};
    wrapped.insert(wrapped.end(), command.begin(), command.end());
    return wrapped;
}

void PostgresServer::Run(const std::vector<std::string>& command, const std::string& what) const {
    const ProcessResult result = RunProcess(command, {}, kCommandTimeoutMs);
    if (result.exitStatus != 0) {
        throw std::runtime_error(what + " failed (" + std::to_string(result.exitStatus) + "):\n" +
                                 result.out + result.err + Tail(dir_.path() / "server.log"));
    }
}

}  // namespace tolvane::test
