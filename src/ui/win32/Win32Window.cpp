#include "ui/win32/Win32Window.h"

#include "common/Failure.h"
#include "common/Stop.h"
#include "ui/TrayEvents.h"
#include "ui/win32/FrmConfig.h"
#include "ui/win32/MessageBoxes.h"
#include "ui/win32/Resources.h"

namespace tolvane::ui::win32 {
namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT_PTR kStopWatch = 2;
constexpr UINT_PTR kFailureBox = 3;  // opens the failure box once no pass runs
constexpr UINT kFailureBoxDelayMs = 10;
constexpr UINT kStopWatchMs = 100;  // well within the 2 s that a stop may take
constexpr UINT kMenuAbrir = 1;
constexpr UINT kMenuConfigurar = 2;
constexpr UINT kMenuCerrar = 3;

HICON LoadProgramIcon(int id) {
    const auto icon = static_cast<HICON>(::LoadImageW(
        ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON,
        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    return icon != nullptr
               ? icon
               : ::LoadIconW(nullptr, id == IDI_TOLVANE ? IDI_APPLICATION : IDI_WARNING);
}

// Ends the message boxes of this thread; their calls then see the stop.
BOOL CALLBACK EndBox(HWND window, LPARAM settingsWindow) {
    wchar_t windowClass[16] = {};
    ::GetClassNameW(window, windowClass, 16);
    if (std::wstring_view(windowClass) == L"#32770" &&
        window != reinterpret_cast<HWND>(settingsWindow)) {
        ::EndDialog(window, IDCANCEL);
    }
    return TRUE;
}

}  // namespace

Win32Window::Win32Window()
    : frmLista_([this] { HideWindow(); }),
      tray_(*this, [this] { PopupMenu(); }),
      icon_(LoadProgramIcon(IDI_TOLVANE)),
      warningIcon_(LoadProgramIcon(IDI_TOLVANE_WARNING)) {
    untrapped_ = [this](const Failure& failure) { EndOnUntrappedFailure(*this, failure); };
    tray_.setMessageHandler([this](UINT message, WPARAM wParam, LPARAM lParam) {
        return OnTrayMessage(message, wParam, lParam);
    });
}

Win32Window::~Win32Window() {
    ::KillTimer(tray_.handle(), kTimer1);
    ::KillTimer(tray_.handle(), kStopWatch);
    ::KillTimer(tray_.handle(), kFailureBox);
    // DestroyIcon refuses the shared system icons that stand in for missing resources.
    for (HICON icon : {icon_, warningIcon_}) {
        if (icon != nullptr)
            ::DestroyIcon(icon);
    }
}

std::uintptr_t Win32Window::WindowHandle() {
    return reinterpret_cast<std::uintptr_t>(tray_.handle());
}

std::uintptr_t Win32Window::IconHandle() {
    return reinterpret_cast<std::uintptr_t>(icon_);
}

void Win32Window::NotifyIcon(std::uint32_t message, const NotifyIconData& data) {
    const bool shown = tray_.NotifyIcon(message, data, icon_);
    if (message != kNimAdd)
        return;
    // Without a shell to hold the icon, the window is the only way in: it stays in view and
    // minimises instead of hiding.
    hasNotificationArea_ = shown;
    if (!shown)
        mnu_Abrir();
}

void Win32Window::SetLabel(int index, const std::string& text) {
    frmLista_.SetLabel(index, text);
}

void Win32Window::SetProgress(float value) {
    frmLista_.SetProgress(value);
}

void Win32Window::ShowFileList(const std::vector<std::string>& names) {
    frmLista_.ShowFileList(names);
}

void Win32Window::SetTimer(unsigned intervalMs, bool enabled) {
    ::KillTimer(tray_.handle(), kTimer1);
    // A period of 0 never fires; every enabling starts a full period.
    timer1On_ = enabled && intervalMs > 0 && !stopping_;
    if (timer1On_)
        ::SetTimer(tray_.handle(), kTimer1, intervalMs, nullptr);
}

void Win32Window::Dispatch(const MSG& message) {
    if (settings_ != nullptr && settings_->PreviewMessage(message))
        return;
    if (frmLista_.PreviewKey(message))
        return;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

void Win32Window::DoEvents() {
    for (MSG message; ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(message);
    }
}

int Win32Window::MessageBox(const std::string& text, int style) {
    if (stopping_)
        throw Interrupted();
    const int answer = ShowMessageBox(nullptr, text, style);
    if (stopping_)
        throw Interrupted();  // closed by the stop, not answered
    return answer;
}

void Win32Window::ReportUntrappedFailure(const Failure& failure) {
    ShowUntrappedFailure(*this, failure);
}

void Win32Window::ShowFailure(const std::string& text) {
    if (stopping_)
        throw Interrupted();
    failureText_ = text;
    failurePending_ = true;
    ::SetTimer(tray_.handle(), kFailureBox, kFailureBoxDelayMs, nullptr);
}

void Win32Window::OpenFailureBox() {
    // A pass's yields deliver this timer too: the box waits until the pass is over.
    if (ticking_ || !failurePending_ || stopping_)
        return;
    ::KillTimer(tray_.handle(), kFailureBox);
    failurePending_ = false;
    failureOpen_ = true;
    ShowMessageBox(nullptr, failureText_, kMbOk | kMbIconExclamation);
    failureOpen_ = false;
}

void Win32Window::CloseFailure() {
    if (failurePending_) {
        ::KillTimer(tray_.handle(), kFailureBox);
        failurePending_ = false;
    }
    // The open failure box is the only box while passes run: any other belongs to a pass,
    // which holds the timer until it is answered.
    if (failureOpen_) {
        ::EnumThreadWindows(::GetCurrentThreadId(), EndBox,
                            reinterpret_cast<LPARAM>(settings_ ? settings_->handle() : nullptr));
    }
}

void Win32Window::ShowWarningIcon(bool warning) {
    tray_.SetIcon(warning ? warningIcon_ : icon_);
}

void Win32Window::WatchStop(platform::WaitHandle stop) {
    stop_ = reinterpret_cast<HANDLE>(stop);
    ::SetTimer(tray_.handle(), kStopWatch, kStopWatchMs, nullptr);
}

void Win32Window::RunLoop(platform::WaitHandle stop, std::function<void()> onTick) {
    onTick_ = std::move(onTick);
    if (stop_ == nullptr)
        WatchStop(stop);
    const HANDLE stopEvent = stop_;
    // One message at a time, the stop looked at between them: ticks that take longer than
    // their period keep the queue from ever being empty.
    while (!stopping_) {
        if (::WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0) {
            Stop();
            return;
        }
        MSG message;
        if (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return;
            Dispatch(message);
        } else {
            ::MsgWaitForMultipleObjectsEx(1, &stopEvent, INFINITE, QS_ALLINPUT,
                                          MWMO_INPUTAVAILABLE);
        }
    }
}

bool Win32Window::OnTrayMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_TIMER && wParam == kTimer1) {
        Tick();
        return true;
    }
    if (message == WM_TIMER && wParam == kFailureBox) {
        OpenFailureBox();
        return true;
    }
    if (message == WM_TIMER && wParam == kStopWatch) {
        if (stop_ != nullptr && ::WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0)
            Stop();
        return true;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == 0) {
        switch (LOWORD(wParam)) {
            case kMenuAbrir:
                RunUntrapped([this] { mnu_Abrir(); });
                return true;
            case kMenuConfigurar:
                RunUntrapped([this] { mnu_Configurar(); });
                return true;
            case kMenuCerrar:
                RunUntrapped([this] { mnu_Cerrar(); });
                return true;
            default:
                return false;
        }
    }
    return false;
}

void Win32Window::Tick() {
    // A tick never starts inside another, whichever loop delivers the timer; nor while the
    // menu is open, whose clicks the pass's yields would take from it.
    if (ticking_ || menuOpen_ || stopping_ || !onTick_)
        return;
    ticking_ = true;
    RunUntrapped(onTick_);
    ticking_ = false;
}

void Win32Window::Stop() {
    if (stopping_)
        return;
    stopping_ = true;
    ::KillTimer(tray_.handle(), kTimer1);
    ::KillTimer(tray_.handle(), kStopWatch);
    ::KillTimer(tray_.handle(), kFailureBox);
    ::EndMenu();
    ::EnumThreadWindows(::GetCurrentThreadId(), EndBox,
                        reinterpret_cast<LPARAM>(settings_ ? settings_->handle() : nullptr));
}

void Win32Window::mnu_Abrir() {
    const HWND window = frmLista_.handle();
    ::ShowWindow(window, ::IsIconic(window) ? SW_RESTORE : SW_SHOW);
    ::SetForegroundWindow(window);
}

void Win32Window::mnu_Configurar() {
    if (context_ == nullptr)
        return;
    if (settings_ != nullptr) {  // already open: brought to the front
        ::SetForegroundWindow(settings_->handle());
        return;
    }
    FrmConfig dialog(*context_, untrapped_);
    dialog.Open();
    // Modal to the main window; the icon, the menu and Timer1 go on.
    settings_ = &dialog;
    ::EnableWindow(frmLista_.handle(), FALSE);
    MSG message;
    while (dialog.open() && !stopping_) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        Dispatch(message);
    }
    ::EnableWindow(frmLista_.handle(), TRUE);
    settings_ = nullptr;
}

void Win32Window::mnu_Cerrar() {
    HideWindow();
}

void Win32Window::PopupMenu() {
    const HMENU menu = ::CreatePopupMenu();
    ::AppendMenuW(menu, MF_STRING, kMenuAbrir, L"Abrir");
    ::AppendMenuW(menu, MF_STRING, kMenuConfigurar, L"Configurar");
    ::AppendMenuW(menu, MF_STRING, kMenuCerrar, L"Cerrar");
    POINT at{};
    ::GetCursorPos(&at);
    // A menu of a window that is not in the foreground would not close when the clerk clicks
    // elsewhere; the message after it lets the shell see that it closed.
    ::SetForegroundWindow(tray_.handle());
    ::SetLastError(ERROR_SUCCESS);
    menuOpen_ = true;
    const BOOL shown =
        ::TrackPopupMenuEx(menu, TPM_RIGHTBUTTON, at.x, at.y, tray_.handle(), nullptr);
    menuOpen_ = false;
    const DWORD error = ::GetLastError();
    ::PostMessageW(tray_.handle(), WM_NULL, 0, 0);
    ::DestroyMenu(menu);
    if (!shown && error != ERROR_SUCCESS)
        throw Failure(static_cast<std::int32_t>(error), "Tolvane", "No se pudo abrir el menú");
}

void Win32Window::HideWindow() {
    ::ShowWindow(frmLista_.handle(), hasNotificationArea_ ? SW_HIDE : SW_MINIMIZE);
}

void Win32Window::RunUntrapped(const std::function<void()>& handler) {
    ui::RunUntrapped(handler, untrapped_);
}

}  // namespace tolvane::ui::win32
