#pragma once

#include <string>

#include "dispatch/History.h"
#include "dispatch/SpillBuffer.h"

namespace tolvane {
struct Context;
}

namespace tolvane::dispatch {

// One dispatch being rewritten.
struct DatosDespacho {
    std::string IDENTIFICADOR_PROPIO;
    std::string DESPACHO;
    std::string DESTINACION;
    std::string COD_ADUANA;
    std::string CUIT_DESPACHANTE;
    std::string CUIT_IMPO_EXPO;
    std::string NOMBRE_IMPO_EXPO;
    std::string FECHA_OFICIALIZACION;
    std::string IdentificadorArchivo;  // IDENTIFICADOR_PROPIO made file-safe
    SpillBuffer TextoCaratula;         // the serialized cover sheet, masks completed
    SpillBuffer TextoItems;            // the items file's whole text
    std::string Usuario;
    std::string FechaApertura;
    std::string TextoDatosNuevos;  // what takes the place of each closing DESPACHO_CARATULA
};

inline constexpr const char* kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
inline constexpr const char* kDestinacionLAPI = "LAPI";

// What the rewriting of one dispatch gives the pass.
struct ArchivoXML {
    std::string RutaXMLCaratula;  // the cover-sheet XML written
    std::string RutaXMLItems;     // the items XML written
    bool EsLAPI = false;          // a LAPI dispatch: nothing was written, nothing is sent
    std::string DESPACHO;
    std::string IDENTIFICADOR_PROPIO;
    HistoryRow historial = HistoryRow::NotRecorded;
};

// Rewrites the pending dispatch p_Path + p_Archivo into "C<id>.xml" and "I<id>.xml" in the same
// folder, completing the masked tax ids and importer name from the operations database, and
// records it in HISTORIAL. Failures reach the caller as 1119111 with source
// "ArchivarXML.frmLista.Tolvane " + the caught source and the failing step in the description,
// and the caught failure's scope: a cover sheet that is no document, an items file that cannot
// be read, a name or values the system refuses are the dispatch's own.
ArchivoXML ArchivarXML(Context& context, const std::string& p_Path, const std::string& p_Archivo);

}  // namespace tolvane::dispatch
