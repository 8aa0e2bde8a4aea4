#include "ui/win32/Win32Window.h"

#include "common/Failure.h"
#include "ui/win32/MessageBoxes.h"

namespace tolvane::ui::win32 {

Win32Window::Win32Window()
    : tray_(*this,
            [this] {
                if (popupMenu_)
                    popupMenu_();
            }),
      icon_(::LoadIconW(nullptr, IDI_APPLICATION)) {}

std::uintptr_t Win32Window::WindowHandle() {
    return reinterpret_cast<std::uintptr_t>(tray_.handle());
}

std::uintptr_t Win32Window::IconHandle() {
    return reinterpret_cast<std::uintptr_t>(icon_);
}

void Win32Window::NotifyIcon(std::uint32_t message, const NotifyIconData& data) {
    tray_.NotifyIcon(message, data, icon_);
}

void Win32Window::SetLabel(int index, const std::string& text) {
    labels_[index == 0 ? 0 : 1] = text;
}

void Win32Window::SetTimer(unsigned intervalMs, bool enabled) {
    if (timer_ != 0) {
        ::KillTimer(nullptr, timer_);
        timer_ = 0;
    }
    // A period of 0 stops the timer, as an enabled one without a period never fires.
    if (enabled && intervalMs > 0)
        timer_ = ::SetTimer(nullptr, 0, intervalMs, nullptr);
}

void Win32Window::Dispatch(const MSG& message) {
    if (message.message == WM_TIMER && message.hwnd == nullptr && message.wParam == timer_) {
        if (!ticking_ && onTick_) {
            ticking_ = true;
            try {
                onTick_();
            } catch (...) {
                ticking_ = false;
                throw;
            }
            ticking_ = false;
        }
        return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

void Win32Window::DoEvents() {
    for (MSG message; ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);)
        Dispatch(message);
}

int Win32Window::MessageBox(const std::string& text, int style) {
    return ShowMessageBox(nullptr, text, style);
}

void Win32Window::ReportUntrappedFailure(const Failure& failure) {
    MessageBox("Error en tiempo de ejecución " + std::to_string(failure.number()) + ":\r\n\r\n" +
                   failure.description(),
               kMbOk | kMbIconStop);
}

void Win32Window::RunLoop(platform::WaitHandle stop, const std::function<void()>& onTick) {
    onTick_ = onTick;
    const HANDLE stopEvent = reinterpret_cast<HANDLE>(stop);
    // One message at a time, the stop looked at between them: ticks that take longer than
    // their period keep the queue from ever being empty.
    for (;;) {
        if (::WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0)
            return;
        MSG message;
        if (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            Dispatch(message);
        else
            ::MsgWaitForMultipleObjectsEx(1, &stopEvent, INFINITE, QS_ALLINPUT,
                                          MWMO_INPUTAVAILABLE);
    }
}

}  // namespace tolvane::ui::win32
