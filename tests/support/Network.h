#pragma once

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

}  // namespace tolvane::test
