#include "ui/win32/MessageBoxes.h"

#include "platform/win32/Wide.h"

namespace tolvane::ui::win32 {

int ShowMessageBox(HWND owner, const std::string& text, int style) {
    // A box of a program in the notification area must not open behind the clerk's windows.
    const UINT flags = static_cast<UINT>(style) | MB_SETFOREGROUND | (owner ? 0u : MB_TOPMOST);
    return ::MessageBoxW(owner, platform::win32::Widen(text).c_str(), L"Tolvane", flags);
}

}  // namespace tolvane::ui::win32
