#include "ui/win32/TrayWindow.h"

#include <algorithm>

#include "common/Text.h"
#include "platform/win32/Wide.h"
#include "ui/TrayEvents.h"

namespace tolvane::ui::win32 {
namespace {

constexpr const wchar_t* kClassName = L"Tolvane.frmLista.Tray";

}  // namespace

TrayWindow::TrayWindow(Window& owner, std::function<void()> popupMenu)
    : owner_(owner), popupMenu_(std::move(popupMenu)) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    ::RegisterClassW(&windowClass);  // fails harmlessly when already registered
    // Top-level and hidden: Explorer's TaskbarCreated is broadcast to top-level windows only.
    window_ = ::CreateWindowExW(0, kClassName, L"Tolvane", 0, 0, 0, 0, 0, nullptr, nullptr,
                                windowClass.hInstance, this);
    taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");
}

TrayWindow::~TrayWindow() {
    if (iconShown_)
        ::Shell_NotifyIconW(NIM_DELETE, &icon_);
    if (window_ != nullptr)
        ::DestroyWindow(window_);
}

bool TrayWindow::NotifyIcon(std::uint32_t message, const NotifyIconData& data, HICON icon) {
    if (message == kNimDelete) {
        iconShown_ = false;
        return ::Shell_NotifyIconW(NIM_DELETE, &icon_) != FALSE;
    }
    icon_ = NOTIFYICONDATAW{};
    icon_.cbSize = sizeof icon_;
    icon_.hWnd = window_;
    icon_.uID = data.uID;
    icon_.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    icon_.uCallbackMessage = data.uCallbackMessage;
    icon_.hIcon = icon;
    // The record's tip is ISO-8859-1 bytes, cut where its terminator is.
    const std::wstring tip = platform::win32::Widen(text::Latin1ToUtf8(data.ShownTip()));
    std::copy_n(tip.begin(), std::min<std::size_t>(tip.size(), std::size(icon_.szTip) - 1),
                icon_.szTip);
    iconShown_ = ::Shell_NotifyIconW(NIM_ADD, &icon_) != FALSE;
    return iconShown_;
}

void TrayWindow::SetIcon(HICON icon) {
    icon_.hIcon = icon;
    if (!iconShown_)
        return;
    NOTIFYICONDATAW change = icon_;
    change.uFlags = NIF_ICON;
    ::Shell_NotifyIconW(NIM_MODIFY, &change);
}

double TrayWindow::TwipsPerPixelHere() const {
    const HDC screen = ::GetDC(window_);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen != nullptr)
        ::ReleaseDC(window_, screen);
    return TwipsPerPixel(dpi > 0 ? dpi : 96);
}

LRESULT CALLBACK TrayWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* self = reinterpret_cast<TrayWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window_ != window)
        return ::DefWindowProcW(window, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

LRESULT TrayWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MOUSEMOVE) {
        // The icon's mouse message stands where the mouse's x would be, in pixels; the rule
        // reads it in twips, as the program has always received it.
        const double twipsPerPixel = TwipsPerPixelHere();
        const auto iconMessage = static_cast<std::uint32_t>(lParam & 0xFFFF);
        Form_MouseMove(iconMessage * twipsPerPixel, twipsPerPixel, owner_, popupMenu_);
        return 0;
    }
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        if (iconShown_)
            ::Shell_NotifyIconW(NIM_ADD, &icon_);  // Explorer restarted without our icon
        return 0;
    }
    // A request to close (taskkill, a shutdown) is the stop request's to answer: the icon's
    // window stays until the program ends.
    if (message == WM_CLOSE)
        return 0;
    if (onMessage_ && onMessage_(message, wParam, lParam))
        return 0;
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace tolvane::ui::win32
