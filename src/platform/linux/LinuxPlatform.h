#pragma once

#include <memory>
#include <string>

#include "platform/DateRecognition.h"
#include "platform/FileServices.h"
#include "platform/Platform.h"

namespace tolvane::platform {

class LinuxRegistry;
namespace posix {
class ClaimWatch;
}

// Where the Linux backend keeps what Windows keeps in its own stores.
struct LinuxPaths {
    std::string registryDir;    // HKEY_LOCAL_MACHINE.reg, HKEY_CURRENT_USER.reg
    std::string autostartDir;   // stands for HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run
    std::string runtimeDir;     // the single-instance lock
    std::string programFolder;  // empty: the executable's own folder
    std::string programFilesFolder;   // the system's folder for installed programs
    std::string homeFolder{};         // the user's home
    std::string launcher{};           // what started the program, when not the executable itself
    std::string activityLogFolder{};  // the activity log's day files

    // $TOLVANE_REGISTRY_DIR (default $XDG_CONFIG_HOME/tolvane/registry),
    // $XDG_CONFIG_HOME/autostart, $XDG_RUNTIME_DIR (else a per-user folder under the
    // temporary folder), $TOLVANE_HOME, $ProgramFiles (default /opt), $HOME (else the home
    // of the user's account), $TOLVANE_LAUNCHER (when absolute), $TOLVANE_REGISTRO (default
    // $XDG_STATE_HOME/tolvane/registro, ~/.local/state/tolvane/registro).
    static LinuxPaths FromEnvironment();
};

class LinuxPlatform final : public Platform {
  public:
    explicit LinuxPlatform(LinuxPaths paths);
    ~LinuxPlatform() override;  // where the registry's type is complete

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
    // The launcher that started the program, when there is one: the installed program runs
    // with a settings folder of the user's own as its program folder, and only the launcher
    // gives it that folder.
    std::string ProgramPath() override;
    std::string ProgramFilesFolder() override;
    char PathSeparator() const override { return '/'; }
    const char* LineEnd() const override { return "\n"; }
    DateTime LocalNow() override;
    std::string ActivityLogFolder() override { return paths_.activityLogFolder; }
    std::string KnownHostsFile() override;
    bool OwnsKitFolderValue() const override { return true; }
    FileState Examine(const std::string& path) override;
    std::unique_ptr<FolderClaim> ClaimFolder(const std::string& folder) override;
    void UseProgramOdbcDrivers() override;
    void ReturnFreeMemory() override;
    std::optional<DateTime> RecognizeDate(const std::string& text) override;
    std::string GeneralDate(const DateTime& value) override;

    // The date style of the user's locale (LC_ALL, LC_TIME, LANG); tests may set another.
    void setDateStyle(const DateStyle& style) { dateStyle_ = style; }
    const DateStyle& dateStyle() const { return dateStyle_; }

    const LinuxPaths& paths() const { return paths_; }

  private:
    LinuxPaths paths_;
    std::unique_ptr<LinuxRegistry> registry_;
    FileHandle instanceLock_;  // the single-instance lock, held until the object goes
    DateStyle dateStyle_;
    std::unique_ptr<posix::ClaimWatch> claimWatch_;  // other programs' claims on kit folders
};

}  // namespace tolvane::platform
