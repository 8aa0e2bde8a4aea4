#pragma once

#include <string>

#include "platform/win32/WindowsHeaders.h"

namespace tolvane::ui::win32 {

// A message box of the program: caption "Tolvane", the button set and icon of `style` (as the
// core numbers them, which are the system's own), in front of the other windows. The button
// pressed, IDOK, IDYES or IDNO.
int ShowMessageBox(HWND owner, const std::string& text, int style);

}  // namespace tolvane::ui::win32
