#include "support/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "support/TempDir.h"

extern char** environ;

namespace tolvane::test {

ChildProcess::ChildProcess(const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& environment) {
    static int counter = 0;
    const auto base =
        std::filesystem::temp_directory_path() /
        ("tolvane-child-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    outPath_ = base.string() + ".out";
    errPath_ = base.string() + ".err";

    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (environment.count(entry.substr(0, entry.find('='))) == 0)
            env.push_back(entry);
    }
    for (const auto& [name, value] : environment)
        env.push_back(name + "=" + value);

    pid_ = ::fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> argv, envp;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (const auto& e : env)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ec;
    std::filesystem::remove(outPath_, ec);
    std::filesystem::remove(errPath_, ec);
}

void ChildProcess::Signal(int signal) const {
    ::kill(pid_, signal);
}

ProcessResult ChildProcess::Wait(int timeoutMs) {
    ProcessResult result;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    if (WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    result.out = ReadFile(outPath_);
    result.err = ReadFile(errPath_);
    return result;
}

ProcessResult RunProcess(const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& environment, int timeoutMs) {
    ChildProcess child(args, environment);
    return child.Wait(timeoutMs);
}

std::vector<std::string> SqliteLockCommand(const std::string& database, const std::string& marker) {
    return {"/usr/bin/python3", "-c",
            "import sqlite3, time, sys\n"
            "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
            "c.execute('begin exclusive')\n"
            "open(sys.argv[2], 'w').close()\n"
            "time.sleep(30)",
            database, marker};
}

bool WaitForFile(const std::string& path, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs && !std::filesystem::exists(path); waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return std::filesystem::exists(path);
}

}  // namespace tolvane::test
