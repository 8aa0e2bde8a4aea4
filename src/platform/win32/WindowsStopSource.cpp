#include "platform/win32/WindowsHeaders.h"

#include "platform/StopSource.h"

namespace tolvane::platform {
namespace {

HANDLE stopEvent = nullptr;

// Ctrl+C, Ctrl+Break, a closed console, a logoff or a shutdown.
BOOL WINAPI RequestStop(DWORD) {
    ::SetEvent(stopEvent);
    // The process is ended by the system after the handler returns for a closed console, a
    // logoff or a shutdown; holding it a moment lets a dispatch in hand finish.
    return TRUE;
}

class EventStopSource final : public StopSource {
  public:
    bool Requested() const override {
        return stopEvent != nullptr && ::WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0;
    }
    WaitHandle Handle() const override { return reinterpret_cast<WaitHandle>(stopEvent); }
};

}  // namespace

std::unique_ptr<StopSource> InstallStopSource() {
    if (stopEvent == nullptr) {
        // Manual reset: a request stays pending once made.
        stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ::SetConsoleCtrlHandler(RequestStop, TRUE);
    }
    return std::make_unique<EventStopSource>();
}

}  // namespace tolvane::platform
