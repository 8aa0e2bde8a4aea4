#pragma once

#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "support/Process.h"
#include "support/TempDir.h"

namespace tolvane::test {

// A loopback TCP port nobody listens on at the moment of asking.
int FreePort();
// Whether something accepts connections on that loopback port.
bool Accepts(int port);

// A loopback port whose connections complete in the kernel's backlog but are never answered.
class SilentServer {
  public:
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    int port() const { return port_; }

  private:
    int fd_;
    int port_ = 0;
};

// A server program run as a child process on a free loopback port, with a temporary folder for
// its files, stopped when the object goes. Each server says how it is started and when it is
// ready; the first start moves to another port when the chosen one was taken meanwhile.
class LoopbackServer {
  public:
    int port() const { return port_; }
    // Starts again after Stop, on the same port; returns once the server is ready.
    void Start();
    void Stop();

  protected:
    explicit LoopbackServer(int stopSignal = SIGTERM) : stopSignal_(stopSignal) {}
    ~LoopbackServer() { Stop(); }
    // The command line that runs the server on port().
    virtual std::vector<std::string> Command() const = 0;
    virtual bool Ready() const { return Accepts(port_); }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

    TempDir dir_;

  private:
    int port_ = FreePort();
    const int stopSignal_;
    bool started_ = false;
    std::unique_ptr<ChildProcess> process_;
};

}  // namespace tolvane::test
