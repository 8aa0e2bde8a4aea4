#include "ui/win32/FrmLista.h"

#include <algorithm>
#include <cmath>

#include "platform/win32/WindowsHeaders.h"
// After the Windows headers:
#include <commctrl.h>

#include "common/Numbers.h"
#include "platform/win32/Wide.h"
#include "ui/FormLayout.h"
#include "ui/TrayEvents.h"
#include "ui/win32/Resources.h"

namespace tolvane::ui::win32 {
namespace {

constexpr const wchar_t* kClassName = L"Tolvane.frmLista";
constexpr UINT kWmDpiChanged = 0x02E0;
// Not WS_CLIPCHILDREN: the frame's group box paints only its border, the form the rest.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

using platform::win32::Widen;
using std::wstring;

// Per-monitor density came with Windows 10; earlier systems have one density for all.
template <class Function>
Function User32(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

int Pixels(double twips, UINT dpi) {
    return TwipsToPixels(twips, dpi);
}

HWND Child(HWND parent, const wchar_t* windowClass, const wchar_t* text, DWORD style,
           DWORD extendedStyle = 0) {
    return ::CreateWindowExW(extendedStyle, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0,
                             0, 0, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

void Place(HWND control, const layout::TwipsRect& rect, UINT dpi, double left = 0, double top = 0) {
    ::MoveWindow(control, Pixels(left + rect.left, dpi), Pixels(top + rect.top, dpi),
                 Pixels(rect.width, dpi), Pixels(rect.height, dpi), TRUE);
}

// The desktop's message font at `points` on a screen of `dpi`.
HFONT MakeFont(const wchar_t* face, double points, bool bold, UINT dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    LOGFONTW font = metrics.lfMessageFont;
    font.lfHeight = -static_cast<LONG>(std::lround(points * dpi / 72.0));
    font.lfWidth = 0;
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    if (face != nullptr)
        ::lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return ::CreateFontIndirectW(&font);
}

int TextWidth(HWND control, HFONT font, const wstring& text) {
    const HDC dc = ::GetDC(control);
    const HGDIOBJ previous = ::SelectObject(dc, font);
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, previous);
    ::ReleaseDC(control, dc);
    return size.cx;
}

void RegisterClassOnce() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = ::DefWindowProcW;  // the window's own comes once it knows itself
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.hIcon = ::LoadIconW(windowClass.hInstance, MAKEINTRESOURCEW(IDI_TOLVANE));
    windowClass.lpszClassName = kClassName;
    ::RegisterClassExW(&windowClass);  // fails harmlessly when already registered
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
}

}  // namespace

UINT WindowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32<GetDpiForWindowFunction>("GetDpiForWindow");
    if (window != nullptr && getDpiForWindow != nullptr) {
        if (const UINT dpi = getDpiForWindow(window); dpi > 0)
            return dpi;
    }
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen != nullptr)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

FrmLista::FrmLista(std::function<void()> hide) : hide_(std::move(hide)) {
    RegisterClassOnce();
    window_ = ::CreateWindowExW(0, kClassName, Widen(layout::kFrmListaCaption).c_str(), kStyle,
                                CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Procedure));

    lst_ = Child(window_, L"LISTBOX", L"",
                 WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY, WS_EX_CLIENTEDGE);
    fr_ = Child(window_, L"BUTTON", L"", BS_GROUPBOX);
    image1_ = Child(window_, L"STATIC", L"", SS_ICON | SS_CENTERIMAGE);
    // The file's label overlaps Image1 and paints its background: it leaves Image1's corner.
    lbl_[0] = Child(window_, L"STATIC", L"...", SS_CENTER | SS_NOPREFIX | WS_CLIPSIBLINGS);
    lbl_[1] = Child(window_, L"STATIC", L"...", SS_CENTER | SS_NOPREFIX);
    pbMain_ = Child(window_, PROGRESS_CLASSW, L"", 0);
    ::SendMessageW(pbMain_, PBM_SETRANGE32, 0, 100);
    label1_ = Child(window_, L"STATIC", Widen(layout::kLabel1Text).c_str(), SS_RIGHT | SS_NOPREFIX);
    // The first child created is the topmost: the frame goes under what it holds, Image1 over
    // the label that overlaps it.
    ::SetWindowPos(fr_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SetWindowPos(image1_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    Layout(WindowDpi(window_), nullptr);
    // In the middle of the work area, as the window has always opened.
    RECT area{}, frame{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    ::GetWindowRect(window_, &frame);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    ::SetWindowPos(window_, nullptr, area.left + (area.right - area.left - width) / 2,
                   area.top + (area.bottom - area.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

FrmLista::~FrmLista() {
    if (window_ != nullptr)
        ::DestroyWindow(window_);
    DeleteFonts();
    if (image_ != nullptr)
        ::DestroyIcon(image_);
}

void FrmLista::DeleteFonts() {
    for (HFONT* font : {&formFont_, &boldFont_, &footerFont_}) {
        if (*font != nullptr)
            ::DeleteObject(*font);
        *font = nullptr;
    }
}

void FrmLista::Layout(UINT dpi, const RECT* suggested) {
    DeleteFonts();
    formFont_ = MakeFont(nullptr, layout::kFormFontPoints, false, dpi);
    boldFont_ = MakeFont(nullptr, layout::kFormFontPoints, true, dpi);
    footerFont_ = MakeFont(L"Tahoma", layout::kLabel1Points, true, dpi);
    for (HWND control : {lst_, fr_, lbl_[1], pbMain_})
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(formFont_), TRUE);
    ::SendMessageW(lbl_[0], WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_), TRUE);
    ::SendMessageW(label1_, WM_SETFONT, reinterpret_cast<WPARAM>(footerFont_), TRUE);

    // The table gives the client area; the frame around it depends on the density too.
    RECT bounds{0, 0, Pixels(layout::kFrmListaWidth, dpi), Pixels(layout::kFrmListaHeight, dpi)};
    using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = User32<AdjustForDpi>("AdjustWindowRectExForDpi");
    if (adjustForDpi != nullptr)
        adjustForDpi(&bounds, kStyle, FALSE, 0, dpi);
    else
        ::AdjustWindowRectEx(&bounds, kStyle, FALSE, 0);
    if (suggested != nullptr) {
        ::SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                       bounds.right - bounds.left, bounds.bottom - bounds.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        ::SetWindowPos(window_, nullptr, 0, 0, bounds.right - bounds.left,
                       bounds.bottom - bounds.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    Place(lst_, layout::kLst, dpi);
    Place(fr_, layout::kFr, dpi);
    const double frameLeft = layout::kFr.left, frameTop = layout::kFr.top;
    Place(image1_, layout::kImage1, dpi, frameLeft, frameTop);
    Place(lbl_[0], layout::kLblFile, dpi, frameLeft, frameTop);
    Place(lbl_[1], layout::kLblNotice, dpi, frameLeft, frameTop);
    Place(pbMain_, layout::kPbMain, dpi, frameLeft, frameTop);
    // A stand-in for Tahoma may be wider: the footer then grows to the left.
    const int right = Pixels(layout::kLabel1.left + layout::kLabel1.width, dpi);
    const int width = std::max(Pixels(layout::kLabel1.width, dpi),
                               TextWidth(label1_, footerFont_, Widen(layout::kLabel1Text)));
    ::MoveWindow(label1_, right - width, Pixels(layout::kLabel1.top, dpi), width,
                 Pixels(layout::kLabel1.height, dpi), TRUE);

    const int imageSize = Pixels(layout::kImage1.width, dpi);
    if (image_ != nullptr)
        ::DestroyIcon(image_);
    image_ =
        static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_IMAGE1),
                                        IMAGE_ICON, imageSize, imageSize, LR_DEFAULTCOLOR));
    ::SendMessageW(image1_, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(image_));
}

void FrmLista::SetLabel(int index, const std::string& text) {
    ::SetWindowTextW(lbl(index), Widen(text).c_str());
}

void FrmLista::SetProgress(float value) {
    ::SendMessageW(pbMain_, PBM_SETPOS, static_cast<WPARAM>(RoundHalfEven(value)), 0);
}

void FrmLista::ShowFileList(const std::vector<std::string>& names) {
    ::SendMessageW(lst_, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(lst_, LB_RESETCONTENT, 0, 0);
    for (const std::string& name : names)
        ::SendMessageW(lst_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(name).c_str()));
    ::SendMessageW(lst_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(lst_, nullptr, TRUE);
}

bool FrmLista::PreviewKey(const MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != VK_ESCAPE)
        return false;
    if (message.hwnd != window_ && !::IsChild(window_, message.hwnd))
        return false;
    hide_();
    return true;
}

LRESULT CALLBACK FrmLista::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<FrmLista*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window_ != window)
        return ::DefWindowProcW(window, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

LRESULT FrmLista::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            hide_();
            return 0;
        case kWmDpiChanged:
            Layout(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
        default:
            return ::DefWindowProcW(window_, message, wParam, lParam);
    }
}

}  // namespace tolvane::ui::win32
