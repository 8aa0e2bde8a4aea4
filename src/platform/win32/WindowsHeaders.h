#pragma once

// <windows.h> without the macros that would rename the program's own functions of the same
// names (GetPrivateProfileString → GetPrivateProfileStringW and the like). Include this, never
// <windows.h> itself.
#include <windows.h>

#undef GetPrivateProfileString
#undef WritePrivateProfileString
#undef MessageBox
#undef GetUserName
#undef CreateFile
#undef RemoveDirectory
#undef CopyFile
#undef DeleteFile
#undef GetCurrentTime
