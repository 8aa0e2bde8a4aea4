#pragma once

#include <cstdint>
#include <memory>

namespace tolvane::platform {

// The requests to stop that the system sends the program (on POSIX systems SIGTERM, SIGINT and
// SIGHUP: a logout, a service stop, Ctrl-C, a closed terminal), turned into something that an
// event loop can wait on. A request stays pending once made.
class StopSource {
  public:
    virtual ~StopSource() = default;

    virtual bool Requested() const = 0;
    // What a loop waits on: a descriptor that becomes readable with the first request.
    virtual int WaitDescriptor() const = 0;
};

// Installs the handlers for the whole process; called once, before any other thread starts.
std::unique_ptr<StopSource> InstallStopSource();

}  // namespace tolvane::platform
