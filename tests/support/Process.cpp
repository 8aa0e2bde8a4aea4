#include "support/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace tolvane::test {

ChildProcess::ChildProcess(const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& environment) {
    // Everything the child needs is made before the fork, which only copies this thread.
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
        if (const std::string entry = *e; !environment.contains(entry.substr(0, entry.find('='))))
            env.push_back(entry);
    for (const auto& [name, value] : environment)
        env.push_back(name + "=" + value);
    std::vector<char*> argv, envp;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    for (const auto& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    const std::string out = (output_.path() / "out").string(),
                      err = (output_.path() / "err").string();

    pid_ = ::fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        ::dup2(::open("/dev/null", O_RDONLY), 0);
        ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
}

ChildProcess::~ChildProcess() {
    Signal(SIGKILL);
    if (pid_ > 0)
        ::waitpid(pid_, nullptr, 0);
}

void ChildProcess::Signal(int signal) const {
    if (pid_ > 0)
        ::kill(pid_, signal);
}

bool ChildProcess::Running() {
    if (pid_ > 0 && ::waitpid(pid_, &status_, WNOHANG) == pid_)
        pid_ = -1;
    return pid_ > 0;
}

ProcessResult ChildProcess::Wait(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status_, 0);
        pid_ = -1;
    }
    return {WIFEXITED(status_) ? WEXITSTATUS(status_) : -1, ReadFile(output_.path() / "out"),
            ReadFile(output_.path() / "err")};
}

std::string RunChecked(const std::vector<std::string>& args) {
    const ProcessResult result = ChildProcess(args, {}).Wait(120000);
    if (result.exitStatus != 0)
        throw std::runtime_error(args[0] + " failed (" + std::to_string(result.exitStatus) +
                                 "): " + result.err + result.out);
    return result.out;
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
    for (int waited = 0; waited < timeoutMs && !fs::exists(path); waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fs::exists(path);
}

}  // namespace tolvane::test
