#include "platform/StopSource.h"
#include "platform/win32/WindowsHeaders.h"

namespace tolvane::platform {
namespace {

HANDLE stopEvent = nullptr;
HANDLE finishedEvent = nullptr;  // set when the program has left its loop

// Ctrl+C and Ctrl+Break are a request the loop answers. A closed console, a logoff or a
// shutdown end the process as soon as the handler returns: it waits (within the few seconds the
// system allows) for the dispatch in hand to finish, so that nothing is left half moved.
BOOL WINAPI RequestStop(DWORD event) {
    ::SetEvent(stopEvent);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        ::WaitForSingleObject(finishedEvent, 4500);
    return TRUE;
}

class EventStopSource final : public StopSource {
  public:
    ~EventStopSource() override { ::SetEvent(finishedEvent); }
    bool Requested() const override { return ::WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0; }
    WaitHandle Handle() const override { return reinterpret_cast<WaitHandle>(stopEvent); }
};

}  // namespace

std::unique_ptr<StopSource> InstallStopSource() {
    if (stopEvent == nullptr) {
        // Manual reset: a request stays pending once made.
        stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        finishedEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ::SetConsoleCtrlHandler(RequestStop, TRUE);
    }
    return std::make_unique<EventStopSource>();
}

}  // namespace tolvane::platform
