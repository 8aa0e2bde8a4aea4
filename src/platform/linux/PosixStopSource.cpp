#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/StopSource.h"

namespace tolvane::platform {
namespace {

int stopPipe[2] = {-1, -1};

extern "C" void RequestStop(int) {
    const char byte = 1;
    // Nothing useful can be done if the pipe is full: a stop is already pending then.
    [[maybe_unused]] const auto written = ::write(stopPipe[1], &byte, 1);
}

// The signal handlers write a byte into a pipe, the one thing they may safely do; whoever
// waits watches its reading end, and nobody reads the byte, so the request stays visible.
class PipeStopSource final : public StopSource {
  public:
    bool Requested() const override {
        return stopPipe[0] >= 0 && WaitForAny({stopPipe[0]}, 0) == 0;
    }
    WaitHandle Handle() const override { return stopPipe[0]; }
};

// The executable file a process runs; a file replaced since it started (an upgrade) still
// names its old path.
std::string ExecutableOf(const std::string& process) {
    std::string target(4096, '\0');
    const ssize_t length =
        ::readlink(("/proc/" + process + "/exe").c_str(), target.data(), target.size());
    if (length <= 0)
        return "";
    target.resize(static_cast<std::size_t>(length));
    constexpr std::string_view kReplaced = " (deleted)";
    if (target.ends_with(kReplaced))
        target.resize(target.size() - kReplaced.size());
    return target;
}

// Gone, or a zombie its parent has not waited for yet: it runs no more.
bool Ended(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return true;
    const std::size_t state = line.rfind(')');
    return state == std::string::npos || line.compare(state, 3, ") Z") == 0;
}

}  // namespace

StopOutcome StopOtherInstances(std::chrono::milliseconds wait) {
    const std::string self = ExecutableOf("self");
    std::vector<pid_t> asked;
    if (DIR* processes = ::opendir("/proc")) {
        while (const dirent* entry = ::readdir(processes)) {
            const std::string name = entry->d_name;
            if (name.find_first_not_of("0123456789") != std::string::npos)
                continue;
            const pid_t pid = static_cast<pid_t>(std::stol(name));
            if (pid != ::getpid() && !self.empty() && ExecutableOf(name) == self &&
                ::kill(pid, SIGTERM) == 0)
                asked.push_back(pid);
        }
        ::closedir(processes);
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    StopOutcome outcome{static_cast<int>(asked.size()), 0};
    for (std::erase_if(asked, Ended); !asked.empty() && std::chrono::steady_clock::now() < deadline;
         std::erase_if(asked, Ended))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    outcome.stillRunning = static_cast<int>(asked.size());
    return outcome;
}

std::unique_ptr<StopSource> InstallStopSource() {
    if (stopPipe[0] < 0 && ::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("tolvane: pipe");
        return std::make_unique<PipeStopSource>();
    }
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    // A closed terminal stops the program like a logout: never halfway through a dispatch.
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    return std::make_unique<PipeStopSource>();
}

}  // namespace tolvane::platform
