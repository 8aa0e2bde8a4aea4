#include "support/TolvaneHome.h"

namespace tolvane::test {

std::unique_ptr<HomePlatform> TolvaneHome::MakePlatform() const {
    return std::make_unique<platform::LinuxPlatform>(Paths());
}

void TolvaneHome::SetKitFolder(const std::string& folder) const {
    SetKitValues("\"KITOUT\"=\"" + folder + "\"");
}

void TolvaneHome::SetKitValues(const std::string& lines) const {
    WriteFile(Registry() / "HKEY_LOCAL_MACHINE.reg",
              "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\SIF America\\KitMaria]\n" + lines + "\n");
}

platform::LinuxPaths TolvaneHome::Paths() const {
    platform::LinuxPaths paths;
    paths.registryDir = Registry().string();
    paths.autostartDir = Autostart().string();
    paths.runtimeDir = (dir_.path() / "runtime").string();
    paths.programFolder = Program().string();
    paths.programFilesFolder = ProgramFiles().string();
    paths.activityLogFolder = ActivityLog().string();
    return paths;
}

std::map<std::string, std::string> TolvaneHome::Environment() const {
    const auto paths = Paths();
    return {{"TOLVANE_HOME", paths.programFolder},
            {"TOLVANE_REGISTRY_DIR", paths.registryDir},
            {"XDG_CONFIG_HOME", Autostart().parent_path().string()},
            {"XDG_RUNTIME_DIR", paths.runtimeDir},
            {"ProgramFiles", paths.programFilesFolder},
            {"TOLVANE_REGISTRO", paths.activityLogFolder}};
}

}  // namespace tolvane::test
