#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "components/ComponentFactory.h"
#include "support/TempDir.h"
#ifdef _WIN32
#include "platform/win32/WindowsPlatform.h"
#else
#include "platform/linux/LinuxPlatform.h"
#endif

namespace tolvane::test {

#ifdef _WIN32
using HomePlatform = platform::win32::WindowsPlatform;
#else
using HomePlatform = platform::LinuxPlatform;
#endif

// A complete installation in a temporary folder: the program folder with its Config.ini and
// QuillonConfig.ini, the emulated registry, the autostart folder, the runtime folder and a
// program-files folder, with the Linux platform and the standard components on top. On
// Windows, the program folder, with the real registry (the program's keys emptied first).
class TolvaneHome {
  public:
    TolvaneHome();

    fs::path Program() const { return dir_.path() / "program"; }
    fs::path Registry() const { return dir_.path() / "registry"; }
    fs::path Autostart() const { return dir_.path() / "config/autostart"; }
    fs::path ProgramFiles() const { return dir_.path() / "programfiles"; }
    fs::path ActivityLog() const { return dir_.path() / "registro"; }
    // A folder inside the home, created, as a prefix ending with the separator.
    std::string Folder(const std::string& relative) const;
    const TempDir& dir() const { return dir_; }
    HomePlatform& os() { return *os_; }
    components::ComponentFactory& factory() { return factory_; }

    void WriteConfigIni(const std::string& content) const;
    // Writes the customs kit's registry value naming its output folder.
    void SetKitFolder(const std::string& folder) const;
    std::string ConfigIniPath() const { return (Program() / "Config.ini").string(); }

#ifndef _WIN32
    // Writes the kit's registry key with these value lines, as the registry editor writes them.
    void SetKitValues(const std::string& lines) const;
    platform::LinuxPaths Paths() const;
    // The environment that gives the real executable this home.
    std::map<std::string, std::string> Environment() const;
#endif

  private:
    std::unique_ptr<HomePlatform> MakePlatform() const;

    TempDir dir_;
    std::unique_ptr<HomePlatform> os_;
    components::ComponentFactory factory_;
};

}  // namespace tolvane::test
