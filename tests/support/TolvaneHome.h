#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "components/ComponentFactory.h"
#include "platform/linux/LinuxPlatform.h"
#include "support/TempDir.h"

namespace tolvane::test {

// A complete installation in a temporary folder: the program folder with its Config.ini and
// QuillonConfig.ini, the emulated registry, the autostart folder, the runtime folder and a
// program-files folder, with the Linux platform and the standard components on top.
class TolvaneHome {
  public:
    TolvaneHome();

    std::filesystem::path Program() const { return dir_.path() / "program"; }
    std::filesystem::path Registry() const { return dir_.path() / "registry"; }
    std::filesystem::path Autostart() const { return dir_.path() / "config/autostart"; }
    std::filesystem::path ProgramFiles() const { return dir_.path() / "programfiles"; }
    // A folder inside the home, created, as a prefix ending with the separator.
    std::string Folder(const std::string& relative) const;
    const TempDir& dir() const { return dir_; }

    void WriteConfigIni(const std::string& content) const;
    // Writes the customs kit's registry value naming its output folder.
    void SetKitFolder(const std::string& folder) const;
    std::string ConfigIniPath() const { return (Program() / "Config.ini").string(); }

    platform::LinuxPaths Paths() const;
    // The environment that gives the real executable this home.
    std::map<std::string, std::string> Environment() const;
    platform::LinuxPlatform& os() { return *os_; }
    components::ComponentFactory& factory() { return factory_; }

  private:
    TempDir dir_;
    std::unique_ptr<platform::LinuxPlatform> os_;
    components::ComponentFactory factory_;
};

}  // namespace tolvane::test
