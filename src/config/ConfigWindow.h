#pragma once

#include <string>

namespace tolvane {
struct Context;
}

namespace tolvane::config {

// What the seven fields of the settings window show, named after their controls and listed
// in their order on screen.
struct ConfigFields {
    std::string Txt_RUTA;       // RutaKitOut, saved under RUTA
    std::string TXT_RUTABCK1;   // RUTA1
    std::string TXT_RUTABCK2;   // RUTA2
    std::string txtServidor;    // SERVIDOR
    std::string txtDirectorio;  // DIRECTORIO
    std::string txtUsuario;     // USUARIO
    std::string txtPassword;    // PASSWORD

    bool operator==(const ConfigFields&) const = default;
};

// Key codes as the platform numbers them.
inline constexpr int kKeyEscape = 27;
inline constexpr int kKeyF11 = 122;

// The settings window Frm_Config without its widgets: what opening it shows, what F11 saves
// and which keys close it. Nothing here traps failures.
class ConfigWindow {
  public:
    explicit ConfigWindow(Context& context) : context_(context) {}

    // Opening: every setting is loaded again, so that the fields show what Config.ini and
    // the registry hold now.
    ConfigFields Form_Load();

    // Memory, the per-user store, then Config.ini, each value exactly as typed. A failed
    // write of Config.ini goes unreported; a failure of the store reaches the caller.
    void GuardarCambios(const ConfigFields& fields);

    // The window's key preview: F11 saves what the fields show, Esc saves nothing; both
    // close the window (true). The shift state makes no difference.
    bool Form_KeyDown(int keyCode, int shift, const ConfigFields& shown);

  private:
    Context& context_;
};

}  // namespace tolvane::config
