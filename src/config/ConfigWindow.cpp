#include "config/ConfigWindow.h"

#include "config/Context.h"
#include "config/SettingsLoader.h"
#include "platform/Platform.h"

namespace tolvane::config {

ConfigFields ConfigWindow::Form_Load() {
    LeerINI(context_);
    const Settings& s = context_.settings;
    return {s.RutaKitOut, s.RUTA1, s.RUTA2, s.SERVIDOR, s.DIRECTORIO, s.USUARIO, s.PASSWORD};
}

void ConfigWindow::GuardarCambios(const ConfigFields& fields) {
    const std::string ini = context_.ProgramFile(kConfigIni);

    Settings& s = context_.settings;
    s.RutaKitOut = fields.Txt_RUTA;
    s.RUTA1 = fields.TXT_RUTABCK1;
    s.RUTA2 = fields.TXT_RUTABCK2;
    s.USUARIO = fields.txtUsuario;
    s.SERVIDOR = fields.txtServidor;
    s.PASSWORD = fields.txtPassword;
    s.DIRECTORIO = fields.txtDirectorio;

    platform::Platform& os = context_.os;
    os.SaveSetting(kStoreApplication, kStoreSection, "SERVIDOR", s.SERVIDOR);
    os.SaveSetting(kStoreApplication, kStoreSection, "USUARIO", s.USUARIO);
    os.SaveSetting(kStoreApplication, kStoreSection, "PASSWORD", s.PASSWORD);
    os.SaveSetting(kStoreApplication, kStoreSection, "DIRECTORIO", s.DIRECTORIO);

    // The results are not looked at: a file that cannot be written is not reported.
    const std::pair<const char*, const std::string*> keys[] = {
        {"SERVIDOR", &s.SERVIDOR}, {"USUARIO", &s.USUARIO},
        {"PASSWORD", &s.PASSWORD}, {"DIRECTORIO", &s.DIRECTORIO},
        {"RUTA", &s.RutaKitOut},   {"RUTA1", &s.RUTA1},
        {"RUTA2", &s.RUTA2}};
    for (const auto& [key, value] : keys)
        os.WritePrivateProfileString(kIniSection, key, *value, ini);
    // Where no kit keeps its folder's value, the window's "RUTA:" is where the clerk sets it.
    if (os.OwnsKitFolderValue() && !s.RutaKitOut.empty())
        EscribirCarpetaKit(os, s.RutaKitOut);
}

bool ConfigWindow::Form_KeyDown(int keyCode, int /*shift*/, const ConfigFields& shown) {
    if (keyCode == kKeyF11) {
        GuardarCambios(shown);
        return true;
    }
    return keyCode == kKeyEscape;
}

}  // namespace tolvane::config
