#include "support/TolvaneHome.h"

#include <stdexcept>

#include "platform/win32/Wide.h"
#include "platform/win32/WindowsHeaders.h"

namespace tolvane::test {
namespace {

constexpr const wchar_t* kKitKey = L"SOFTWARE\\SIF America\\KitMaria";

}  // namespace

// The registry is the Wine prefix's own, shared by every test: the program's keys start empty,
// and the program finds its folder through TOLVANE_HOME.
std::unique_ptr<HomePlatform> TolvaneHome::MakePlatform() const {
    for (const wchar_t* application : {L"HISTORIAL", L"VESTRAL"})
        ::RegDeleteTreeW(
            HKEY_CURRENT_USER,
            (std::wstring(L"Software\\VB and VBA Program Settings\\") + application).c_str());
    for (const REGSAM view : {REGSAM{KEY_WOW64_32KEY}, REGSAM{KEY_WOW64_64KEY}})
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKitKey, view, 0);
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                         L"BRENMOOR_TOLVANE");
    ::SetEnvironmentVariableW(L"TOLVANE_HOME", Program().wstring().c_str());
    ::SetEnvironmentVariableW(L"TOLVANE_REGISTRO", ActivityLog().wstring().c_str());
    return std::make_unique<HomePlatform>();
}

void TolvaneHome::SetKitFolder(const std::string& folder) const {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKitKey, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY,
                          nullptr, &key, nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot write the kit's registry key");
    const std::wstring value = platform::win32::Widen(folder);
    ::RegSetValueExW(key, L"KITOUT", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
}

}  // namespace tolvane::test
