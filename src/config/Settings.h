#pragma once

#include <string>

namespace tolvane::config {

// The process-wide settings, reloaded wholesale by LeerINI. Folder settings are plain
// prefixes: file names are appended to them directly.
struct Settings {
    std::string RutaKitOut;    // the watched folder, the kit's output folder
    std::string RUTA1;         // first backup folder
    std::string RUTA2;         // second backup folder
    std::string MILISEGUNDOS;  // timer period in milliseconds, as text
    std::string ESPERA;        // quiet period of a dispatch's files in milliseconds, as text
    std::string SERVIDOR;      // upload server
    std::string USUARIO;
    std::string PASSWORD;
    std::string DIRECTORIO;    // folder on the upload server
    std::string CERTIFICADOS;  // PEM file of authorities trusted for the server, optional
};

}  // namespace tolvane::config
