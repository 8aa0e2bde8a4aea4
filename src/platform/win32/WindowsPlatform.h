#pragma once

#include <memory>
#include <string>

#include "platform/DateRecognition.h"
#include "platform/Platform.h"

namespace tolvane::platform::win32 {

class WindowsRegistry;

// The services of Windows itself: the registry, private profile files, the per-user settings
// store under HKEY_CURRENT_USER, the logon name, a named mutex for the single instance, the
// user's regional date format.
class WindowsPlatform final : public Platform {
  public:
    WindowsPlatform();
    ~WindowsPlatform() override;

    Registry& registry() override;
    std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                        const std::string& defaultValue,
                                        const std::string& file) override;
    bool WritePrivateProfileString(const std::string& section, const std::string& key,
                                   const std::string& value, const std::string& file) override;
    void SaveSetting(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) override;
    std::string GetSetting(const std::string& application, const std::string& section,
                           const std::string& key, const std::string& defaultValue) override;
    std::optional<std::string> LogonName() override;
    bool PreviousInstanceRunning() override;
    std::string ProgramFolder() override;
    std::string ExecutableName() override;
    std::string ProgramFilesFolder() override;
    char PathSeparator() const override { return '\\'; }
    const char* LineEnd() const override { return "\r\n"; }
    DateTime LocalNow() override;
    std::string ActivityLogFolder() override;
    std::string KnownHostsFile() override;
    bool OwnsKitFolderValue() const override { return false; }
    FileState Examine(const std::string& path) override;
    std::unique_ptr<FolderClaim> ClaimFolder(const std::string& folder) override;
    void UseProgramOdbcDrivers() override {}  // drivers are registered with the system
    void ReturnFreeMemory() override;
    std::optional<DateTime> RecognizeDate(const std::string& text) override;
    std::string GeneralDate(const DateTime& value) override;

    // The date style of the user's regional settings; tests may set another.
    void setDateStyle(const DateStyle& style) { dateStyle_ = style; }

  private:
    std::unique_ptr<WindowsRegistry> registry_;
    void* instanceMutex_ = nullptr;
    DateStyle dateStyle_;
};

// The order and separator of a Windows short-date picture such as "dd/MM/yyyy".
DateStyle DateStyleFromPicture(const std::string& picture);

}  // namespace tolvane::platform::win32
