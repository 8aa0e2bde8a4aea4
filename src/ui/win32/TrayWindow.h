#pragma once

#include <functional>

#include "platform/win32/WindowsHeaders.h"
// After the Windows headers:
#include <shellapi.h>

#include "ui/Window.h"

namespace tolvane::ui::win32 {

// The hidden window behind the notification icon of the Windows front-end. It adds and removes
// the icon (Shell_NotifyIconW, its callback WM_MOUSEMOVE with the icon's mouse message where
// the mouse's x would be), adds it again when Explorer restarts, and feeds the icon's messages
// to frmLista's rule, which opens the menu through `popupMenu` on a left double click only.
class TrayWindow {
  public:
    // `owner` shows the boxes of failures that the rule traps.
    TrayWindow(Window& owner, std::function<void()> popupMenu);
    ~TrayWindow();
    TrayWindow(const TrayWindow&) = delete;
    TrayWindow& operator=(const TrayWindow&) = delete;

    HWND handle() const { return window_; }
    // The window's other messages (its timers, the menu's commands) go here first; true when
    // handled.
    void setMessageHandler(std::function<bool(UINT, WPARAM, LPARAM)> handler) {
        onMessage_ = std::move(handler);
    }
    // kNimAdd or kNimDelete with the program's icon record; whether the shell took it.
    bool NotifyIcon(std::uint32_t message, const NotifyIconData& data, HICON icon);
    // Another image for the icon, kept if Explorer has the icon added again.
    void SetIcon(HICON icon);
    HICON icon() const { return icon_.hIcon; }

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    double TwipsPerPixelHere() const;

    Window& owner_;
    std::function<void()> popupMenu_;
    std::function<bool(UINT, WPARAM, LPARAM)> onMessage_;
    HWND window_ = nullptr;
    UINT taskbarCreated_ = 0;
    NOTIFYICONDATAW icon_{};
    bool iconShown_ = false;
};

}  // namespace tolvane::ui::win32
