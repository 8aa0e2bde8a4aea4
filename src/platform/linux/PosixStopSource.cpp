#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

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

}  // namespace

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
