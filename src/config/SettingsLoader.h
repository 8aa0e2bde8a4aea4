#pragma once

#include <string>

namespace tolvane {
struct Context;
}
namespace tolvane::platform {
class Platform;
}

namespace tolvane::config {

inline constexpr const char* kConfigIni = "Config.ini";
inline constexpr const char* kIniSection = "Opciones";
inline constexpr const char* kKitKey = "SOFTWARE\\SIF America\\KitMaria";
inline constexpr const char* kKitValue = "KITOUT";
inline constexpr const char* kStoreApplication = "HISTORIAL";
inline constexpr const char* kStoreSection = "FTP";

// Loads every setting into the context from Config.ini, the kit's registry value and the
// program-files default, and copies the four upload settings into the per-user store.
// Failures reach the caller as number -2146102393 with source "LeerINI.mod_Main.Tolvane (0)"
// followed by the caught source.
void LeerINI(Context& context);

// Sets the kit folder's registry value, where the program keeps it itself (Linux): the folder,
// ending with the separator. False when the value could not be written.
bool EscribirCarpetaKit(platform::Platform& os, std::string folder);

}  // namespace tolvane::config
