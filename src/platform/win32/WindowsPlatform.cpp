#include "platform/win32/WindowsPlatform.h"

#include "platform/win32/WindowsHeaders.h"
// After windows.h:
#include <malloc.h>
#include <shlobj.h>

#include <cstdlib>
#include <vector>

#include "common/Failure.h"
#include "common/SystemError.h"
#include "platform/FileServices.h"
#include "platform/UserSettings.h"
#include "platform/win32/Wide.h"
#include "platform/win32/WindowsRegistry.h"

namespace tolvane::platform {

std::unique_ptr<Platform> CreatePlatform() {
    return std::make_unique<win32::WindowsPlatform>();
}

namespace win32 {
namespace {

std::string Environment(const wchar_t* name) {
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    value.resize(::GetEnvironmentVariableW(name, value.data(), size));
    return Narrow(value);
}

std::string ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return Narrow(path);
        }
        path.resize(path.size() * 2);
    }
}

std::string KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::string folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path)))
        folder = Narrow(path);
    ::CoTaskMemFree(path);
    return folder;
}

DateStyle UserDateStyle() {
    wchar_t picture[LOCALE_NAME_MAX_LENGTH + 80] = {};
    if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SSHORTDATE, picture,
                          static_cast<int>(std::size(picture))) == 0)
        return {};
    return DateStyleFromPicture(Narrow(picture));
}

class LockFileClaim final : public FolderClaim {
  public:
    explicit LockFileClaim(HANDLE file) : file_(file) {}
    ~LockFileClaim() override { ::CloseHandle(file_); }

  private:
    HANDLE file_;
};

}  // namespace

DateStyle DateStyleFromPicture(const std::string& picture) {
    // The same fields as a strftime pattern, which the shared code reads.
    std::string pattern;
    for (std::size_t i = 0; i < picture.size(); ++i) {
        const char c = picture[i];
        if (c == 'd' || c == 'M' || c == 'y') {
            pattern += c == 'd' ? "%d" : c == 'M' ? "%m" : "%Y";
            while (i + 1 < picture.size() && picture[i + 1] == c)
                ++i;
        } else if (c == '\'') {
            continue;
        } else {
            pattern += c;
        }
    }
    return DateStyleFromPattern(pattern);
}

WindowsPlatform::WindowsPlatform()
    : registry_(std::make_unique<WindowsRegistry>()), dateStyle_(UserDateStyle()) {}

WindowsPlatform::~WindowsPlatform() {
    if (instanceMutex_ != nullptr)
        ::CloseHandle(instanceMutex_);
}

Registry& WindowsPlatform::registry() {
    return *registry_;
}

std::string WindowsPlatform::GetPrivateProfileString(const std::string& section,
                                                     const std::string& key,
                                                     const std::string& defaultValue,
                                                     const std::string& file) {
    wchar_t value[255] = {};  // at most 254 characters, as the program has always read them
    const DWORD length = ::GetPrivateProfileStringW(
        Widen(section).c_str(), Widen(key).c_str(), Widen(defaultValue).c_str(), value,
        static_cast<DWORD>(std::size(value)), Widen(file).c_str());
    return Narrow(std::wstring_view(value, length));
}

bool WindowsPlatform::WritePrivateProfileString(const std::string& section, const std::string& key,
                                                const std::string& value, const std::string& file) {
    return ::WritePrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(),
                                        Widen(value).c_str(), Widen(file).c_str()) != 0;
}

void WindowsPlatform::SaveSetting(const std::string& application, const std::string& section,
                                  const std::string& key, const std::string& value) {
    SaveUserSetting(*registry_, application, section, key, value, "el registro de Windows");
}

std::string WindowsPlatform::GetSetting(const std::string& application, const std::string& section,
                                        const std::string& key, const std::string& defaultValue) {
    return GetUserSetting(*registry_, application, section, key, defaultValue);
}

std::optional<std::string> WindowsPlatform::LogonName() {
    wchar_t name[257] = {};
    DWORD size = static_cast<DWORD>(std::size(name));
    if (!::GetUserNameW(name, &size) || size <= 1)
        return std::nullopt;
    return Narrow(std::wstring_view(name, size - 1));
}

bool WindowsPlatform::PreviousInstanceRunning() {
    if (instanceMutex_ != nullptr)
        return false;
    // "Local\" is the logon session: each user of a shared computer runs an instance.
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, L"Local\\Tolvane.SingleInstance");
    if (mutex == nullptr)
        return false;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return true;
    }
    instanceMutex_ = mutex;
    return false;
}

std::string WindowsPlatform::ProgramFolder() {
    std::string folder = Environment(L"TOLVANE_HOME");
    if (folder.empty())
        folder = FolderOf(ExecutablePath());
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    return folder;
}

std::string WindowsPlatform::ExecutableName() {
    return NameOf(ExecutablePath());
}

std::string WindowsPlatform::ProgramFilesFolder() {
    // Where 32-bit programs install, the customs kit among them.
    return KnownFolder(FOLDERID_ProgramFilesX86);
}

DateTime WindowsPlatform::LocalNow() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

std::string WindowsPlatform::ActivityLogFolder() {
    const std::string named = Environment(L"TOLVANE_REGISTRO");
    if (!named.empty())
        return named;
    return KnownFolder(FOLDERID_LocalAppData) + "\\Tolvane\\registro";
}

std::string WindowsPlatform::KnownHostsFile() {
    const std::string profile = Environment(L"USERPROFILE");
    return profile.empty() ? "NUL" : profile + "\\.ssh\\known_hosts";
}

FileState WindowsPlatform::Examine(const std::string& path) {
    FileState state;
    const HANDLE file = ::CreateFileW(
        Widen(path).c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return state;
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(file, &info)) {
        // The change time, which SetFileTime cannot set back: NTFS keeps it apart.
        FILE_BASIC_INFO basic{};
        if (::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
            state.changedNs = (basic.ChangeTime.QuadPart - 116444736000000000LL) * 100;
        const DWORD attributes = info.dwFileAttributes;
        state.kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? FileState::Kind::Link
                     : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0   ? FileState::Kind::Folder
                     : ::GetFileType(file) == FILE_TYPE_DISK          ? FileState::Kind::Regular
                                                                      : FileState::Kind::Other;
        state.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
        // 100 ns intervals since 1601.
        const std::int64_t ticks =
            static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                      info.ftLastWriteTime.dwLowDateTime);
        state.modifiedNs = (ticks - 116444736000000000LL) * 100;
        state.identity = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    }
    ::CloseHandle(file);
    return state;
}

std::unique_ptr<FolderClaim> WindowsPlatform::ClaimFolder(const std::string& folder) {
    // A file opened with no sharing excludes every other opener, on a network share too, and
    // goes with the handle, so a crashed claimant never blocks the next one.
    const std::string path =
        folder + (folder.empty() || folder.back() == '\\' || folder.back() == '/' ? "" : "\\") +
        ".tolvane.lock";
    const HANDLE file =
        ::CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        return std::make_unique<LockFileClaim>(file);
    const DWORD error = ::GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return nullptr;
    throw Failure(failure_number::kPathFileAccess, "Tolvane",
                  "No se pudo crear el archivo de bloqueo " + path +
                      " en la carpeta del kit: " + SystemErrorText(ErrnoOf(error)));
}

void WindowsPlatform::ReturnFreeMemory() {
    ::_heapmin();
}

std::optional<DateTime> WindowsPlatform::RecognizeDate(const std::string& text) {
    return platform::RecognizeDate(text, dateStyle_.order);
}

std::string WindowsPlatform::GeneralDate(const DateTime& value) {
    return FormatGeneralDate(value, dateStyle_);
}

}  // namespace win32
}  // namespace tolvane::platform
