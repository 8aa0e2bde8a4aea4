#pragma once

#include <string>

namespace tolvane {
struct Context;
}

namespace tolvane::distribution {

// Hands the two XML files of a dispatch to the upload component and then deletes them
// locally, whatever it answered. Gives the component's answer. Failures reach the caller as
// -2146102393 with source "SubirArchivo.frmLista.Tolvane (<step>) " + the caught source; when
// the upload itself fails the XML files stay.
bool SubirArchivo(Context& context, const std::string& p_Caratula, const std::string& p_Item);

// Copies one kit file into the backup folders RUTA1 and RUTA2 and then deletes it from the
// watched folder; a file that is not there is left alone. Failures reach the caller as
// -2147218070 with source "MoverArchivo.frmLista.Tolvane (<step>):: " + the caught source and
// the copy under way at the head of the description. A failed copy never deletes the file.
void MoverArchivo(Context& context, const std::string& p_Archivo);

}  // namespace tolvane::distribution
