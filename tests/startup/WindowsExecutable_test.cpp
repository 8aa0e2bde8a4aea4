// Tolvane.exe as Windows sees the built file: the version its properties show, a manifest that
// Windows can read (it refuses to start a program whose manifest is not well-formed), and the
// icon that Explorer shows for it.

#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <string>
#include <vector>

#include "common/Version.h"
#include "platform/win32/Wide.h"
#include "platform/win32/WindowsHeaders.h"
#include "ui/win32/Resources.h"

namespace tolvane::startup {
namespace {

// The executable as Windows names it: under Wine the build's host path becomes a DOS path.
std::wstring ExecutablePath() {
    using DosFileName = WCHAR*(CDECL*)(const char*);
    const auto dosFileName = reinterpret_cast<DosFileName>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (dosFileName == nullptr)
        return platform::win32::Widen(TOLVANE_EXECUTABLE);
    WCHAR* name = dosFileName(TOLVANE_EXECUTABLE);
    std::wstring path = name;
    ::HeapFree(::GetProcessHeap(), 0, name);
    return path;
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(names)->push_back(
        IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : 0);
    return TRUE;
}

TEST(WindowsExecutableTest, ItShowsTheProgramsVersionAndIconAndStartsWithItsManifest) {
    const std::wstring path = ExecutablePath();
    DWORD ignored = 0;
    std::vector<BYTE> record(::GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(record.empty()) << "no version record";
    ASSERT_TRUE(
        ::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(record.size()), record.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(::VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(version::kMajor << 16 | version::kMinor));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(version::kRevision << 16));

    const HMODULE module = ::LoadLibraryExW(
        path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(found, nullptr) << "no manifest";
    pugi::xml_document manifest;
    const pugi::xml_parse_result parsed = manifest.load_buffer(
        ::LockResource(::LoadResource(module, found)), ::SizeofResource(module, found));
    EXPECT_TRUE(parsed) << parsed.description();
    // No elevation: clerks start it at logon without being asked for an administrator.
    EXPECT_STREQ(
        manifest.select_node("//requestedExecutionLevel").node().attribute("level").value(),
        "asInvoker");
    EXPECT_STREQ(manifest.select_node("//dependentAssembly/assemblyIdentity")
                     .node()
                     .attribute("version")
                     .value(),
                 "6.0.0.0");

    std::vector<ULONG_PTR> icons;
    ::EnumResourceNamesW(module, RT_GROUP_ICON, CollectName, reinterpret_cast<LONG_PTR>(&icons));
    ::FreeLibrary(module);
    ASSERT_FALSE(icons.empty()) << "no icon";
    EXPECT_EQ(icons.front(), static_cast<ULONG_PTR>(IDI_TOLVANE)) << "Explorer shows the first";
}

}  // namespace
}  // namespace tolvane::startup
