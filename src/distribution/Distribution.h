#pragma once

#include <functional>
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

// Moves the two kit files of an uploaded dispatch into the backup folders RUTA1 and RUTA2:
// every copy is made, and on disk, before the first file leaves the watched folder, so that a
// failure or a death leaves the pair whole where the kit put it; only a death between the two
// removals leaves the items file alone (FinishLoneItems). Just before the removals
// `confirmUnchanged` must throw if the files are no longer those that were read. A file that
// is not there is left alone. Failures reach the caller as -2147218070 with source
// "MoverArchivo.frmLista.Tolvane (<step>):: " + the caught source and the copy under way at the
// head of the description.
void MoverDespacho(Context& context, const std::string& caratula, const std::string& items,
                   const std::function<void()>& confirmUnchanged);

// An items file found without its cover sheet, as a death between the two removals of
// MoverDespacho leaves it: removed, and true, when every backup folder in use holds an
// identical copy; otherwise nothing is done and the answer is false.
bool FinishLoneItems(Context& context, const std::string& itemsName);

}  // namespace tolvane::distribution
