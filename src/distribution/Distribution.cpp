#include "distribution/Distribution.h"

#include <memory>

#include "common/Context.h"
#include "common/Failure.h"
#include "components/ComponentFactory.h"

namespace tolvane::distribution {
namespace {

constexpr const char* kCrLf = "\r\n";

std::string CopyText(const char* ordinal, const std::string& source,
                     const std::string& destination) {
    return std::string(ordinal) + " copia de " + kCrLf + source + kCrLf + " a " + kCrLf +
           destination + kCrLf + kCrLf;
}

}  // namespace

bool SubirArchivo(Context& context, const std::string& p_Caratula, const std::string& p_Item) {
    int step = 30;
    try {
        const auto disk = context.factory.Create<components::Disk>(components::kDisk);
        step = 40;
        const auto uploader = context.factory.Create<components::Uploader>(components::kUploader);
        const config::Settings& s = context.settings;
        step = 50;
        uploader->setSERVIDOR(s.SERVIDOR);
        step = 60;
        uploader->setUSUARIO(s.USUARIO);
        step = 70;
        uploader->setPassword(s.PASSWORD);
        step = 80;
        uploader->setdirectorio(s.DIRECTORIO);
        step = 90;
        uploader->setautomatico(true);
        step = 100;
        const bool uploaded = uploader->SubirArchivo(p_Caratula + "|" + p_Item);
        // The local XML files go whatever the answer: a later pass writes them again.
        if (disk->ExisteArchivo(p_Caratula)) {
            step = 110;
            disk->EliminarArchivo(p_Caratula, true);
        }
        step = 110;
        if (disk->ExisteArchivo(p_Item)) {
            step = 130;
            disk->EliminarArchivo(p_Item, true);
        }
        return uploaded;
    } catch (...) {
        const Failure caught = CurrentFailure();
        throw Failure(failure_number::kSubirArchivo,
                      ProcedureSource("SubirArchivo", "frmLista") + " (" + std::to_string(step) +
                          ") " + caught.source(),
                      caught.description());
    }
}

void MoverArchivo(Context& context, const std::string& p_Archivo) {
    int step = 30;
    std::string stepText;
    try {
        const config::Settings& s = context.settings;
        const std::string source = s.RutaKitOut + p_Archivo;
        const auto disk = context.factory.Create<components::Disk>(components::kDisk);
        step = 40;
        if (!disk->ExisteArchivo(source))
            return;
        step = 50;
        if (!s.RUTA1.empty()) {
            step = 60;
            stepText = CopyText("1", source, s.RUTA1 + p_Archivo);
            step = 80;
            disk->CopiarArchivo(source, s.RUTA1 + p_Archivo, true);
        }
        step = 90;
        if (!s.RUTA2.empty() && s.RUTA2 != s.RUTA1) {
            step = 100;
            stepText = CopyText("2", source, s.RUTA2 + p_Archivo);
            step = 120;
            disk->CopiarArchivo(source, s.RUTA2 + p_Archivo, true);
        }
        // Last, so that a failed copy leaves the file where the kit put it.
        step = 150;
        disk->EliminarArchivo(source, true);
    } catch (...) {
        const Failure caught = CurrentFailure();
        throw Failure(failure_number::kMoverArchivo,
                      ProcedureSource("MoverArchivo", "frmLista") + " (" + std::to_string(step) +
                          "):: " + caught.source(),
                      stepText + kCrLf + caught.description());
    }
}

}  // namespace tolvane::distribution
