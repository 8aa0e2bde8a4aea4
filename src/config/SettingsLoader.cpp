#include "config/SettingsLoader.h"

#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

#include "common/Failure.h"
#include "common/Stop.h"
#include "common/Text.h"
#include "components/ComponentFactory.h"
#include "config/Context.h"
#include "config/Registry.h"
#include "platform/FileServices.h"
#include "platform/Platform.h"

namespace tolvane::config {
namespace {

// Two names of one folder, once links, "." and ".." and final separators are resolved; a
// blank name is no folder.
bool SameFolder(const std::string& a, const std::string& b) {
    if (text::TrimBlanks(a).empty() || text::TrimBlanks(b).empty())
        return false;
    bool resolvedBoth = true;
    const auto resolved = [&](const std::string& name) {
        std::error_code error;
        auto path = std::filesystem::weakly_canonical(platform::NativePath(name), error);
        resolvedBoth = resolvedBoth && !error;
        return path.has_filename() ? path : path.parent_path();
    };
    const auto first = resolved(a), second = resolved(b);
    return resolvedBoth && first == second;
}

}  // namespace

void LeerINI(Context& context) {
    std::unique_ptr<components::Disk> disk;
    std::unique_ptr<components::Broker> broker;
    try {
        disk = context.factory.Create<components::Disk>(components::kDisk);
        broker = context.factory.Create<components::Broker>(components::kBroker);
        broker->LoadParameters();

        platform::Platform& os = context.os;
        Settings& s = context.settings;
        const std::string ini = context.ProgramFile(kConfigIni);
        const auto read = [&](const char* key) {
            return os.GetPrivateProfileString(kIniSection, key, "", ini);
        };

        s.USUARIO = read("USUARIO");
        s.SERVIDOR = read("SERVIDOR");
        s.PASSWORD = read("PASSWORD");
        s.DIRECTORIO = read("DIRECTORIO");

        os.SaveSetting(kStoreApplication, kStoreSection, "USUARIO", s.USUARIO);
        os.SaveSetting(kStoreApplication, kStoreSection, "SERVIDOR", s.SERVIDOR);
        os.SaveSetting(kStoreApplication, kStoreSection, "PASSWORD", s.PASSWORD);
        os.SaveSetting(kStoreApplication, kStoreSection, "DIRECTORIO", s.DIRECTORIO);

        s.RUTA1 = read("RUTA1");
        s.RUTA2 = read("RUTA2");
        s.MILISEGUNDOS = read("MILISEGUNDOS");
        s.ESPERA = read("ESPERA");
        s.CERTIFICADOS = read("CERTIFICADOS");

        s.RutaKitOut = RegValueText(
            LeerRegistro(os.registry(), platform::RegistryRoot::LocalMachine, kKitKey, kKitValue));
        if (s.RutaKitOut.empty()) {
            const std::string separator(1, os.PathSeparator());
            std::string programFiles = disk->getDirectorioProgramFiles();
            if (!text::EndsWith(programFiles, separator))
                programFiles += separator;
            s.RutaKitOut = programFiles + "KitMaria" + separator + "out" + separator;
        }
        // The uploader takes the two files of a dispatch joined by "|": a folder holding one
        // would be split in the wrong place and its dispatches never sent.
        if (s.RutaKitOut.find('|') != std::string::npos) {
            throw Failure(failure_number::kInvalidPropertyValue, "Tolvane",
                          "La carpeta del kit \"" + s.RutaKitOut +
                              "\" contiene el carácter \"|\", que Tolvane no admite en la "
                              "carpeta de los despachos: configure en el kit una carpeta de "
                              "salida sin ese carácter");
        }
        // A backup folder that is the kit's own would give every pass the dispatches it has
        // just sent.
        for (const auto& [key, folder] : {std::pair{"RUTA1", &s.RUTA1}, {"RUTA2", &s.RUTA2}}) {
            if (SameFolder(*folder, s.RutaKitOut)) {
                throw Failure(failure_number::kInvalidPropertyValue, "Tolvane",
                              std::string("La carpeta de copia ") + key + " \"" + *folder +
                                  "\" es la carpeta del kit: cada pasada enviaría otra vez los "
                                  "despachos ya enviados. Corrija " +
                                  key + " en el archivo Config.ini");
            }
        }
    } catch (const Interrupted&) {
        throw;
    } catch (...) {
        const Failure caught = CurrentFailure();
        throw Failure(failure_number::kLeerINI,
                      ProcedureSource("LeerINI", "mod_Main") + " (0)" + caught.source(),
                      caught.description());
    }
}

bool EscribirCarpetaKit(platform::Platform& os, std::string folder) {
    if (folder.empty() || folder.back() != os.PathSeparator())
        folder += os.PathSeparator();
    // A fresh user's registry has no key for it yet.
    platform::ScopedKey key(os.registry());
    if (os.registry().CreateKey(platform::RegistryRoot::LocalMachine, kKitKey, key.out()) !=
        platform::kSuccess)
        return false;
    return EscribirRegistro(os.registry(), platform::RegistryRoot::LocalMachine, kKitKey, kKitValue,
                            folder, platform::kRegSz);
}

}  // namespace tolvane::config
