#pragma once

#include <string>
#include <string_view>

// Windows speaks UTF-16 in its …W functions; the program's text is UTF-8. Conversions happen
// at the calls, nowhere else.

namespace tolvane::platform::win32 {

// Invalid UTF-8 becomes U+FFFD per bad byte: nothing after it is lost.
std::wstring Widen(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Narrow(std::wstring_view utf16);

// An errno value for a Win32 error code, so that the program's messages treat both alike.
int ErrnoOf(unsigned long win32Error);

}  // namespace tolvane::platform::win32
