#pragma once

#include <functional>

#include "config/ConfigWindow.h"
#include "platform/win32/WindowsHeaders.h"

namespace tolvane {
class Failure;
}

namespace tolvane::ui::win32 {

// The settings window Frm_Config, from its dialog resource: seven fields driven by the
// keyboard, F11 (with any of Shift, Ctrl, Alt) saves and closes, Esc and the close box close.
// Whoever opens it runs the messages through PreviewMessage until it is no longer open, so
// that Timer1 and the icon keep working meanwhile.
class FrmConfig {
  public:
    // `onUntrapped` receives a failure of saving, which nothing in the window traps.
    FrmConfig(Context& context, std::function<void(const Failure&)> onUntrapped);
    ~FrmConfig();
    FrmConfig(const FrmConfig&) = delete;
    FrmConfig& operator=(const FrmConfig&) = delete;

    // Form_Load, then the window with the focus in the first field. A failure of the load
    // reaches the caller before anything is shown.
    void Open();
    bool open() const { return dialog_ != nullptr && !closed_; }
    HWND handle() const { return dialog_; }

    // The window's keys first (F11, Esc), then the dialog's own navigation (Tab and the
    // like); true when the message was one of them, false when it is still to be dispatched.
    bool PreviewMessage(const MSG& message);

  private:
    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    config::ConfigFields Fields() const;
    void Show(const config::ConfigFields& fields);
    void KeyDown(int keyCode, int shift);

    config::ConfigWindow logic_;
    std::function<void(const Failure&)> onUntrapped_;
    HWND dialog_ = nullptr;
    HFONT boldFont_ = nullptr;
    HFONT footerFont_ = nullptr;
    bool closed_ = false;
};

// The shift state of a key message as the settings window reads it: 1 Shift, 2 Ctrl, 4 Alt.
int ShiftState(const MSG& message);

}  // namespace tolvane::ui::win32
