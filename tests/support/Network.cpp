#include "support/Network.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <thread>

namespace tolvane::test {
namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

int FreePort() {
    return SilentServer().port();  // bound, listening, and let go
}

bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port);
    const bool connected =
        fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

SilentServer::SilentServer() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::listen(fd_, 8) != 0)
        throw std::runtime_error("cannot listen on a free loopback port");
    port_ = ntohs(address.sin_port);
}

SilentServer::~SilentServer() {
    ::close(fd_);
}

void LoopbackServer::Start() {
    for (int attempt = 1; !process_; ++attempt) {
        process_ = std::make_unique<ChildProcess>(Command(), std::map<std::string, std::string>{});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (process_->Running() && !Ready() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const bool running = process_->Running();
        if (running && Ready())
            break;
        const ProcessResult result = process_->Wait(1000);
        process_.reset();
        // A server that ended at once may have found its port taken since it was chosen; once
        // started, clients know the port.
        if (running || started_ || attempt == 3)
            throw std::runtime_error(Command()[0] + " does not start:\n" + result.err + result.out);
        port_ = FreePort();
    }
    started_ = true;
}

void LoopbackServer::Stop() {
    if (process_) {
        process_->Signal(stopSignal_);
        process_->Wait(10000);
        process_.reset();
    }
}

}  // namespace tolvane::test
