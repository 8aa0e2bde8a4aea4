#include "ui/win32/FrmConfig.h"

#include <cmath>
#include <utility>

#include "common/Failure.h"
#include "platform/win32/Wide.h"
#include "ui/win32/FrmLista.h"
#include "ui/win32/Resources.h"

namespace tolvane::ui::win32 {
namespace {

constexpr int kShiftMask = 1;
constexpr int kCtrlMask = 2;
constexpr int kAltMask = 4;

using platform::win32::Narrow;
using platform::win32::Widen;

std::string FieldText(HWND dialog, int id) {
    const HWND field = ::GetDlgItem(dialog, id);
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(field)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

HFONT BoldFontLike(HWND control, const wchar_t* face, double points) {
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font,
                 &font);
    font.lfWeight = FW_BOLD;
    if (face != nullptr) {
        ::lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
        font.lfHeight = -static_cast<LONG>(std::lround(points * WindowDpi(control) / 72.0));
        font.lfWidth = 0;
    }
    return ::CreateFontIndirectW(&font);
}

}  // namespace

int ShiftState(const MSG& message) {
    int shift = 0;
    if (::GetKeyState(VK_SHIFT) < 0)
        shift |= kShiftMask;
    if (::GetKeyState(VK_CONTROL) < 0)
        shift |= kCtrlMask;
    // With Alt down the key arrives as a system key, its context bit set.
    if (message.message == WM_SYSKEYDOWN && (message.lParam & (1 << 29)) != 0)
        shift |= kAltMask;
    return shift;
}

FrmConfig::FrmConfig(Context& context, std::function<void(const Failure&)> onUntrapped)
    : logic_(context), onUntrapped_(std::move(onUntrapped)) {}

FrmConfig::~FrmConfig() {
    if (dialog_ != nullptr)
        ::DestroyWindow(dialog_);
    for (HFONT font : {boldFont_, footerFont_}) {
        if (font != nullptr)
            ::DeleteObject(font);
    }
}

void FrmConfig::Open() {
    const config::ConfigFields fields = logic_.Form_Load();
    dialog_ = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_FRM_CONFIG),
                                   nullptr, Procedure, reinterpret_cast<LPARAM>(this));
    if (dialog_ == nullptr)
        throw Failure(static_cast<std::int32_t>(::GetLastError()), "Tolvane",
                      "No se pudo abrir la ventana de configuración");
    boldFont_ = BoldFontLike(::GetDlgItem(dialog_, IDC_LBL_RUTA), nullptr, 0);
    for (int label : {IDC_LBL_RUTA, IDC_LBL_RUTABCK1, IDC_LBL_RUTABCK2})
        ::SendDlgItemMessageW(dialog_, label, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_), 0);
    footerFont_ = BoldFontLike(::GetDlgItem(dialog_, IDC_LBL_TECLAS), L"Tahoma", 9);
    ::SendDlgItemMessageW(dialog_, IDC_LBL_TECLAS, WM_SETFONT,
                          reinterpret_cast<WPARAM>(footerFont_), 0);
    Show(fields);
    ::ShowWindow(dialog_, SW_SHOW);
    ::SetForegroundWindow(dialog_);
    ::SetFocus(::GetDlgItem(dialog_, IDC_TXT_RUTA));
}

config::ConfigFields FrmConfig::Fields() const {
    return {FieldText(dialog_, IDC_TXT_RUTA),       FieldText(dialog_, IDC_TXT_RUTABCK1),
            FieldText(dialog_, IDC_TXT_RUTABCK2),   FieldText(dialog_, IDC_TXT_SERVIDOR),
            FieldText(dialog_, IDC_TXT_DIRECTORIO), FieldText(dialog_, IDC_TXT_USUARIO),
            FieldText(dialog_, IDC_TXT_PASSWORD)};
}

void FrmConfig::Show(const config::ConfigFields& fields) {
    const std::pair<int, const std::string*> shown[] = {{IDC_TXT_RUTA, &fields.Txt_RUTA},
                                                        {IDC_TXT_RUTABCK1, &fields.TXT_RUTABCK1},
                                                        {IDC_TXT_RUTABCK2, &fields.TXT_RUTABCK2},
                                                        {IDC_TXT_SERVIDOR, &fields.txtServidor},
                                                        {IDC_TXT_DIRECTORIO, &fields.txtDirectorio},
                                                        {IDC_TXT_USUARIO, &fields.txtUsuario},
                                                        {IDC_TXT_PASSWORD, &fields.txtPassword}};
    for (const auto& [id, text] : shown)
        ::SetDlgItemTextW(dialog_, id, Widen(*text).c_str());
}

void FrmConfig::KeyDown(int keyCode, int shift) {
    try {
        if (logic_.Form_KeyDown(keyCode, shift, Fields()))
            closed_ = true;
    } catch (...) {
        // Reported from here, as the window's key handler traps nothing.
        onUntrapped_(CurrentFailure());
    }
}

bool FrmConfig::PreviewMessage(const MSG& message) {
    if (!open() || (message.hwnd != dialog_ && !::IsChild(dialog_, message.hwnd)))
        return false;
    if ((message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) &&
        (message.wParam == VK_F11 || message.wParam == VK_ESCAPE)) {
        KeyDown(static_cast<int>(message.wParam), ShiftState(message));
        return true;
    }
    return ::IsDialogMessageW(dialog_, const_cast<MSG*>(&message)) != FALSE;
}

INT_PTR CALLBACK FrmConfig::Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        // The program's icon in the caption and on the taskbar button, at the sizes they use.
        const HINSTANCE program = ::GetModuleHandleW(nullptr);
        for (const auto& [which, width] :
             {std::pair{ICON_SMALL, SM_CXSMICON}, std::pair{ICON_BIG, SM_CXICON}}) {
            const int size = ::GetSystemMetrics(width);
            if (const auto icon = static_cast<HICON>(::LoadImageW(
                    program, MAKEINTRESOURCEW(IDI_TOLVANE), IMAGE_ICON, size, size, LR_SHARED)))
                ::SendMessageW(dialog, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
        }
        return FALSE;  // the focus is set once the fields are filled
    }
    auto* self = reinterpret_cast<FrmConfig*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    // The close box; Esc never gets here, it goes through the window's keys.
    if (self != nullptr && message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        self->closed_ = true;
        return TRUE;
    }
    return FALSE;
}

}  // namespace tolvane::ui::win32
