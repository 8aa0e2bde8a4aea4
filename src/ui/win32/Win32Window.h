#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Wait.h"
#include "ui/Window.h"
#include "ui/win32/FrmLista.h"
#include "ui/win32/TrayWindow.h"

namespace tolvane {
struct Context;
}

namespace tolvane::ui::win32 {

class FrmConfig;

// The main window frmLista of the Windows front-end as the core drives it: the window and
// its controls, the notification icon and the popup menu mnu on a hidden window, Timer1, the
// settings window and the message boxes. Timer1, the menu and the stop request live on the
// hidden window's timers and commands, so every message loop serves them: that of a message
// box, of the menu and of the settings window as well as the program's own.
class Win32Window final : public Window {
  public:
    Win32Window();
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    std::uintptr_t WindowHandle() override;
    std::uintptr_t IconHandle() override;
    void NotifyIcon(std::uint32_t message, const NotifyIconData& data) override;
    void SetLabel(int index, const std::string& text) override;
    void SetProgress(float value) override;
    void ShowFileList(const std::vector<std::string>& names) override;
    void SetTimer(unsigned intervalMs, bool enabled) override;
    void DoEvents() override;
    int MessageBox(const std::string& text, int style) override;
    void ReportUntrappedFailure(const Failure& failure) override;
    // The failure box opens from the message loop once the pass is over, not inside it, and
    // Timer1 goes on in the box's own loop.
    void ShowFailure(const std::string& text) override;
    bool FailureShown() override { return failurePending_ || failureOpen_; }
    void CloseFailure() override;
    void ShowWarningIcon(bool warning) override;

    // What a tick of Timer1 runs, and the settings that the configuration window edits.
    void setTimerHandler(std::function<void()> onTick) { onTick_ = std::move(onTick); }
    void setSettingsContext(Context& context) { context_ = &context; }
    // Failures of the handlers that trap nothing (the tick, the menu, the settings window's
    // keys) end up here. By default the report is shown and the program ends with status 3.
    void setUntrappedHandler(std::function<void(const Failure&)> handler) {
        untrapped_ = std::move(handler);
    }

    // Watches the stop request from now on: once it is signalled, every open message box, the
    // menu and the settings window close, Timer1 stops, and a message box that was open or
    // asked for after that throws Interrupted.
    void WatchStop(platform::WaitHandle stop);
    bool stopping() const { return stopping_; }

    // Runs the events and Timer1's ticks until `stop` is signalled. A tick in progress always
    // finishes first.
    void RunLoop(platform::WaitHandle stop, std::function<void()> onTick);

    // The menu's entries, and the menu itself at the mouse.
    void mnu_Abrir();
    void mnu_Configurar();
    void mnu_Cerrar();
    void PopupMenu();

    FrmLista& frmLista() { return frmLista_; }
    TrayWindow& tray() { return tray_; }
    HICON icon() const { return icon_; }
    HICON warningIcon() const { return warningIcon_; }
    // The settings window while it is open.
    FrmConfig* settingsWindow() { return settings_; }

  private:
    bool OnTrayMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Tick();
    void OpenFailureBox();
    void Stop();
    void HideWindow();
    void RunUntrapped(const std::function<void()>& handler);
    // Dispatches one message, the keys of the open windows looked at first.
    void Dispatch(const MSG& message);

    FrmLista frmLista_;
    TrayWindow tray_;
    HICON icon_;
    HICON warningIcon_;
    std::string failureText_;
    bool failurePending_ = false;  // asked for, waiting for the pass to end
    bool failureOpen_ = false;
    bool timer1On_ = false;
    std::function<void()> onTick_;
    bool ticking_ = false;
    bool menuOpen_ = false;
    Context* context_ = nullptr;
    FrmConfig* settings_ = nullptr;
    std::function<void(const Failure&)> untrapped_;
    HANDLE stop_ = nullptr;
    bool stopping_ = false;
    bool hasNotificationArea_ = true;
};

}  // namespace tolvane::ui::win32
