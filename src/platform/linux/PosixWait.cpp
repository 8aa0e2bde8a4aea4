#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/Wait.h"

namespace tolvane::platform {

int WaitForAny(std::initializer_list<WaitHandle> sources, int timeoutMs) {
    std::vector<pollfd> watched;
    for (const WaitHandle source : sources)
        watched.push_back({static_cast<int>(source), POLLIN, 0});  // a negative fd is skipped
    if (::poll(watched.data(), watched.size(), timeoutMs) <= 0)
        return -1;
    for (std::size_t i = 0; i < watched.size(); ++i) {
        if (watched[i].revents != 0)
            return static_cast<int>(i);
    }
    return -1;
}

std::int64_t ReadReady(WaitHandle input, char* buffer, std::size_t count) {
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(input), buffer, count);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

WaitHandle StandardInput() {
    return STDIN_FILENO;
}

bool IsTerminal(WaitHandle input) {
    return ::isatty(static_cast<int>(input)) == 1;
}

}  // namespace tolvane::platform
