// Tolvane.exe as Windows sees the built file: its version record, its manifest, the icon that
// Explorer shows for it, and its subsystem.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <pugixml.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/Version.h"
#include "platform/win32/Wide.h"
#include "platform/win32/WindowsHeaders.h"
#include "ui/win32/Resources.h"

namespace tolvane::startup {
namespace {

using platform::win32::Narrow;
using platform::win32::Widen;

// The executable as Windows names it: under Wine the build's host path becomes a DOS path.
std::wstring ExecutablePath() {
    using DosFileName = WCHAR*(CDECL*)(const char*);
    const auto dosFileName = reinterpret_cast<DosFileName>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (dosFileName == nullptr)
        return Widen(TOLVANE_EXECUTABLE);
    WCHAR* name = dosFileName(TOLVANE_EXECUTABLE);
    std::wstring path = name;
    ::HeapFree(::GetProcessHeap(), 0, name);
    return path;
}

class WindowsExecutableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        module_ = ::LoadLibraryExW(ExecutablePath().c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr) << "cannot open " << TOLVANE_EXECUTABLE;
    }
    void TearDown() override {
        if (module_ != nullptr)
            ::FreeLibrary(module_);
    }

    HMODULE module_ = nullptr;
};

std::vector<BYTE> VersionRecord() {
    const std::wstring path = ExecutablePath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> record(size);
    if (size == 0 || !::GetFileVersionInfoW(path.c_str(), 0, size, record.data()))
        record.clear();
    return record;
}

// A string of the record's first translation; "(none)" when it has no such value.
std::string VersionString(std::vector<BYTE>& record, const std::wstring& name) {
    struct Translation {
        WORD language;
        WORD codePage;
    }* translations = nullptr;
    UINT size = 0;
    if (!::VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation",
                          reinterpret_cast<void**>(&translations), &size) ||
        size < sizeof(Translation))
        return "(no translation)";
    std::wostringstream path;
    path << L"\\StringFileInfo\\" << std::hex << std::setfill(L'0') << std::setw(4)
         << translations[0].language << std::setw(4) << translations[0].codePage << L"\\" << name;
    wchar_t* value = nullptr;
    if (!::VerQueryValueW(record.data(), path.str().c_str(), reinterpret_cast<void**>(&value),
                          &size) ||
        size == 0)
        return "(none)";
    return Narrow(value);
}

// Explorer and the file's properties show the program's own version, title and description.
TEST_F(WindowsExecutableTest, ItsVersionRecordIsTheProgramsVersion) {
    std::vector<BYTE> record = VersionRecord();
    ASSERT_FALSE(record.empty()) << "no version record";
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(::VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    ASSERT_EQ(size, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const auto major = static_cast<DWORD>(version::kMajor);
    const auto minor = static_cast<DWORD>(version::kMinor);
    const auto revision = static_cast<DWORD>(version::kRevision);
    EXPECT_EQ(fixed->dwFileVersionMS, major << 16 | minor);
    EXPECT_EQ(fixed->dwFileVersionLS, revision << 16);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    const std::string number = std::to_string(version::kMajor) + "." +
                               std::to_string(version::kMinor) + "." +
                               std::to_string(version::kRevision);
    EXPECT_EQ(VersionString(record, L"FileVersion"), number);
    EXPECT_EQ(VersionString(record, L"ProductVersion"), number);
    EXPECT_EQ(VersionString(record, L"ProductName"), version::kTitle);
    EXPECT_EQ(VersionString(record, L"FileDescription"), version::kFileDescription);
    EXPECT_EQ(VersionString(record, L"OriginalFilename"),
              std::filesystem::path(TOLVANE_EXECUTABLE).filename().string());
    EXPECT_NE(VersionString(record, L"LegalCopyright"), "(none)");
}

// Manifest #1 is the one a process starts with; Windows refuses to start a program whose
// manifest is not well-formed XML.
TEST_F(WindowsExecutableTest, ItsManifestAsksForCommonControls6AndPerMonitorDpi) {
    const HRSRC found = ::FindResourceW(module_, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(found, nullptr) << "no manifest";
    const void* data = ::LockResource(::LoadResource(module_, found));
    pugi::xml_document manifest;
    const pugi::xml_parse_result parsed =
        manifest.load_buffer(data, ::SizeofResource(module_, found));
    ASSERT_TRUE(parsed) << parsed.description();
    const pugi::xml_node assembly = manifest.child("assembly");
    ASSERT_TRUE(assembly);
    EXPECT_STREQ(assembly.attribute("xmlns").value(), "urn:schemas-microsoft-com:asm.v1");

    const pugi::xml_node controls =
        assembly.child("dependency").child("dependentAssembly").child("assemblyIdentity");
    EXPECT_STREQ(controls.attribute("name").value(), "Microsoft.Windows.Common-Controls");
    EXPECT_STREQ(controls.attribute("version").value(), "6.0.0.0");
    EXPECT_STREQ(controls.attribute("publicKeyToken").value(), "6595b64144ccf1df");

    EXPECT_STREQ(assembly.child("trustInfo")
                     .child("security")
                     .child("requestedPrivileges")
                     .child("requestedExecutionLevel")
                     .attribute("level")
                     .value(),
                 "asInvoker");

    const pugi::xml_node settings = assembly.child("application").child("windowsSettings");
    EXPECT_STREQ(settings.child_value("dpiAware"), "true/pm");
    EXPECT_EQ(std::string(settings.child_value("dpiAwareness")).rfind("PerMonitorV2,", 0), 0u)
        << settings.child_value("dpiAwareness");

    // Windows 7, 8, 8.1, and 10 with 11.
    std::set<std::string> systems;
    for (const pugi::xml_node os :
         assembly.child("compatibility").child("application").children("supportedOS"))
        systems.insert(os.attribute("Id").value());
    EXPECT_EQ(systems, (std::set<std::string>{"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                                              "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                                              "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                                              "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}));
}

// Started at logon or from Explorer, the program must not open a console window: it belongs to
// the GUI subsystem (platform/Console.h tells how its console modes still reach a console).
TEST(WindowsExecutableFileTest, ItIsAProgramOfTheGuiSubsystem) {
    std::ifstream file(std::filesystem::path(ExecutablePath()), std::ios::binary);
    ASSERT_TRUE(file) << "cannot read " << TOLVANE_EXECUTABLE;
    IMAGE_DOS_HEADER dos{};
    file.read(reinterpret_cast<char*>(&dos), sizeof dos);
    ASSERT_EQ(dos.e_magic, IMAGE_DOS_SIGNATURE);
    IMAGE_NT_HEADERS64 headers{};
    file.seekg(dos.e_lfanew);
    file.read(reinterpret_cast<char*>(&headers), sizeof headers);
    ASSERT_TRUE(file);
    ASSERT_EQ(headers.Signature, IMAGE_NT_SIGNATURE);
    ASSERT_EQ(headers.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
    EXPECT_EQ(headers.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(names)->push_back(
        IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : 0);
    return TRUE;
}

// Explorer shows a program's first icon: it must be the program's own.
TEST_F(WindowsExecutableTest, ItsFirstIconIsTheProgramsIcon) {
    std::vector<ULONG_PTR> icons;
    ::EnumResourceNamesW(module_, RT_GROUP_ICON, CollectName, reinterpret_cast<LONG_PTR>(&icons));
    ASSERT_FALSE(icons.empty()) << "no icon";
    EXPECT_EQ(icons.front(), static_cast<ULONG_PTR>(IDI_TOLVANE));
    EXPECT_NE(std::find(icons.begin(), icons.end(), static_cast<ULONG_PTR>(IDI_IMAGE1)),
              icons.end());
}

}  // namespace
}  // namespace tolvane::startup
