#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Wait.h"
#include "ui/Window.h"
#include "ui/win32/TrayWindow.h"

namespace tolvane::ui::win32 {

// The main window frmLista of the Windows front-end as the core drives it: the notification
// icon on its hidden window, Timer1 as a thread timer, the message boxes, and the event loop.
// (The window's own controls, the menu and the settings dialog come with their parts.)
class Win32Window final : public Window {
  public:
    Win32Window();

    std::uintptr_t WindowHandle() override;
    std::uintptr_t IconHandle() override;
    void NotifyIcon(std::uint32_t message, const NotifyIconData& data) override;
    void SetLabel(int index, const std::string& text) override;
    void SetProgress(float value) override { progress_ = value; }
    void ShowFileList(const std::vector<std::string>& names) override { files_ = names; }
    void SetTimer(unsigned intervalMs, bool enabled) override;
    void DoEvents() override;
    int MessageBox(const std::string& text, int style) override;
    void ReportUntrappedFailure(const Failure& failure) override;

    // Runs the events and Timer1's ticks until `stop` is signalled. A tick in progress always
    // finishes first.
    void RunLoop(platform::WaitHandle stop, const std::function<void()>& onTick);

    void setPopupMenu(std::function<void()> popupMenu) { popupMenu_ = std::move(popupMenu); }
    const std::string& label(int index) const { return labels_[index == 0 ? 0 : 1]; }
    float progress() const { return progress_; }
    const std::vector<std::string>& files() const { return files_; }

  private:
    // Dispatches one message; Timer1's go to the tick, never into a tick already running.
    void Dispatch(const MSG& message);

    std::function<void()> popupMenu_;
    TrayWindow tray_;
    HICON icon_;
    UINT_PTR timer_ = 0;
    std::function<void()> onTick_;
    bool ticking_ = false;
    std::string labels_[2] = {"...", "..."};
    float progress_ = 0;
    std::vector<std::string> files_;
};

}  // namespace tolvane::ui::win32
