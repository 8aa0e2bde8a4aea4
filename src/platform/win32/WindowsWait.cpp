#include "platform/win32/WindowsHeaders.h"

#include <vector>

#include "platform/Wait.h"

namespace tolvane::platform {

int WaitForAny(std::initializer_list<WaitHandle> sources, int timeoutMs) {
    std::vector<HANDLE> handles;
    std::vector<int> positions;
    int position = 0;
    for (const WaitHandle source : sources) {
        if (source != kNoWaitHandle && source != 0) {
            handles.push_back(reinterpret_cast<HANDLE>(source));
            positions.push_back(position);
        }
        ++position;
    }
    const DWORD timeout = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    if (handles.empty()) {
        ::Sleep(timeout);
        return -1;
    }
    const DWORD woken = ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(),
                                                 FALSE, timeout);
    if (woken >= WAIT_OBJECT_0 + handles.size())
        return -1;
    return positions[woken - WAIT_OBJECT_0];
}

std::int64_t ReadReady(WaitHandle input, char* buffer, std::size_t count) {
    DWORD got = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(input), buffer, static_cast<DWORD>(count), &got,
                    nullptr))
        return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    return got;
}

WaitHandle StandardInput() {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    return input == nullptr || input == INVALID_HANDLE_VALUE ? kNoWaitHandle
                                                             : reinterpret_cast<WaitHandle>(input);
}

bool IsTerminal(WaitHandle input) {
    DWORD mode = 0;
    return input != kNoWaitHandle && ::GetConsoleMode(reinterpret_cast<HANDLE>(input), &mode);
}

}  // namespace tolvane::platform
