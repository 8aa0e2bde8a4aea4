#include <algorithm>
#include <cwchar>
#include <set>
#include <thread>
#include <vector>

#include "platform/StopSource.h"
#include "platform/win32/WindowsHeaders.h"

#include <tlhelp32.h>

namespace tolvane::platform {
namespace {

HANDLE stopEvent = nullptr;
HANDLE finishedEvent = nullptr;  // set when the program has left its loop

// The end of the session and closed consoles end the process soon after they are answered:
// they wait (within the few seconds the system allows) for the dispatch in hand to finish, so
// that nothing is left half moved.
void StopAndWaitForTheEnd() {
    ::SetEvent(stopEvent);
    ::WaitForSingleObject(finishedEvent, 4500);
}

// Ctrl+C and Ctrl+Break are a request the loop answers; a closed console, a logoff or a
// shutdown end the process when the handler returns.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        StopAndWaitForTheEnd();
    else
        ::SetEvent(stopEvent);
    return TRUE;
}

// A program that uses user32 no longer hears of logoffs and shutdowns through its console
// handler: a hidden window does, and takes WM_CLOSE (taskkill without /f) as a request too.
LRESULT CALLBACK OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_QUERYENDSESSION:
            ::SetEvent(stopEvent);
            return TRUE;
        case WM_ENDSESSION:
            if (wParam != FALSE)
                StopAndWaitForTheEnd();
            return 0;
        case WM_CLOSE:
            ::SetEvent(stopEvent);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

void RunHiddenWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = OnWindowMessage;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Tolvane.StopRequests";
    ::RegisterClassW(&windowClass);
    // Top-level, not message-only: only those receive the session's broadcasts.
    if (::CreateWindowExW(0, windowClass.lpszClassName, L"Tolvane", 0, 0, 0, 0, 0, nullptr, nullptr,
                          windowClass.hInstance, nullptr) == nullptr)
        return;
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&message);
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
        ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
        std::thread(RunHiddenWindow).detach();
    }
    return std::make_unique<EventStopSource>();
}

namespace {

// Closes the handles of the processes asked to stop.
struct ProcessHandles {
    std::vector<HANDLE> handles;
    ~ProcessHandles() {
        for (const HANDLE handle : handles)
            ::CloseHandle(handle);
    }
};

BOOL CALLBACK AskToClose(HWND window, LPARAM processes) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (reinterpret_cast<const std::set<DWORD>*>(processes)->count(process) != 0)
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

}  // namespace

StopOutcome StopOtherInstances(std::chrono::milliseconds wait) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* slash = std::wcsrchr(path, L'\\');
    const wchar_t* name = slash != nullptr ? slash + 1 : path;

    std::set<DWORD> processes;
    ProcessHandles running;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
             more = ::Process32NextW(snapshot, &entry)) {
            if (entry.th32ProcessID == ::GetCurrentProcessId() ||
                ::_wcsicmp(entry.szExeFile, name) != 0)
                continue;
            if (const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
                processes.insert(entry.th32ProcessID);
                running.handles.push_back(process);
            }
        }
        ::CloseHandle(snapshot);
    }
    ::EnumWindows(AskToClose, reinterpret_cast<LPARAM>(&processes));

    const auto deadline = std::chrono::steady_clock::now() + wait;
    StopOutcome outcome{static_cast<int>(running.handles.size()), 0};
    for (const HANDLE process : running.handles) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (::WaitForSingleObject(process, static_cast<DWORD>(std::max<std::int64_t>(
                                               left.count(), 0))) != WAIT_OBJECT_0)
            ++outcome.stillRunning;
    }
    return outcome;
}

}  // namespace tolvane::platform
