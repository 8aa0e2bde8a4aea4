#pragma once

// A clerk at the keyboard, for tests of the Windows front-end: from a thread of its own it
// waits for the program's windows to show and posts them what the clerk would do, while the
// test's thread runs the program's message loops.

#include <chrono>
#include <string>
#include <thread>

#include "platform/win32/WindowsHeaders.h"

namespace tolvane::test {

// The first visible top-level window of this process of `windowClass` (and `title`, unless
// null), waited for up to five seconds; null when none showed.
inline HWND WaitForWindow(const wchar_t* windowClass, const wchar_t* title = nullptr,
                          std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        HWND window = nullptr;
        while ((window = ::FindWindowExW(nullptr, window, windowClass, title)) != nullptr) {
            DWORD process = 0;
            ::GetWindowThreadProcessId(window, &process);
            if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window))
                return window;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < deadline);
    return nullptr;
}

inline std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    return text;
}

// A key pressed in `window`, as the system posts it.
inline void PressKey(HWND window, WPARAM key, bool alt = false) {
    const LPARAM context = alt ? (1 << 29) : 0;
    ::PostMessageW(window, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, context | 1);
    ::PostMessageW(window, alt ? WM_SYSKEYUP : WM_KEYUP, key,
                   context | 1 | static_cast<LPARAM>(3u << 30));
}

}  // namespace tolvane::test
