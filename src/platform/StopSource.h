#pragma once

#include <cstdint>
#include <memory>

#include "platform/Wait.h"

namespace tolvane::platform {

// The requests to stop that the system sends the program (on POSIX systems SIGTERM, SIGINT and
// SIGHUP: a logout, a service stop, Ctrl-C, a closed terminal; on Windows the console's
// control events and the end of the session), turned into something that an event loop can
// wait on. A request stays pending once made.
class StopSource {
  public:
    virtual ~StopSource() = default;

    virtual bool Requested() const = 0;
    // What a loop waits on: ready with the first request.
    virtual WaitHandle Handle() const = 0;
};

// Installs the handlers for the whole process; called once, before any other thread starts.
std::unique_ptr<StopSource> InstallStopSource();

}  // namespace tolvane::platform
