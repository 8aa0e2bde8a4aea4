#pragma once

#include <chrono>
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

// What became of the other running instances of the program asked to stop.
struct StopOutcome {
    int asked = 0;         // instances found and asked
    int stillRunning = 0;  // of those, the ones that had not ended when the wait was over
};

// Asks every other running instance of the program to stop, with the request the system's own
// tools send (on Linux SIGTERM to the processes of the same executable file; on Windows, as
// taskkill /im does without /f, WM_CLOSE to the windows of every process of the executable's
// name in this session), and waits up to `wait` for them to end. Before an installer replaces
// or removes the program: a running program's file cannot be replaced on Windows.
StopOutcome StopOtherInstances(std::chrono::milliseconds wait);

}  // namespace tolvane::platform
