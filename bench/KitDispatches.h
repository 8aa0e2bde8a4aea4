#pragma once

// Kit-like dispatches for the benchmarks: 20 KB cover sheets with masked ids, each with its
// row in the operations table.

#include <cstdio>
#include <sstream>
#include <string>

#include "support/DispatchHome.h"

namespace tolvane::bench {

inline std::string DispatchNumber(int i) {
    char text[32];
    std::snprintf(text, sizeof text, "10073IC04%06dZ", i);
    return text;
}

inline std::string CoverSheet(int i) {
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<DESPACHO_RET VERSION=\"4.1\">\r\n"
        << "  <DESPACHO_CARATULA IDENTIFICADOR_PROPIO=\"B" << i << "\" DESPACHO=\""
        << DispatchNumber(i) << "\" DESTINACION=\"IC04\" COD_ADUANA=\"073\" "
        << "CUIT_DESPACHANTE=\"XXXXXXXXXXX\" CUIT_IMPO_EXPO=\"XXXXXXXXXXX\" "
        << "NOMBRE_IMPO_EXPO=\"XXXXXXXXXXXXXXXXXXXXXXXX\" FECHA_OFICIALIZACION=\"28/06/2010\">\r\n";
    for (int k = 0; out.tellp() < 20000; ++k) {
        out << "    <RESUMEN_ITEM NRO=\"" << k << "\" POSICION=\"8471.30.12.000X\" "
            << "DESCRIPCION=\"Computadoras portátiles de menos de 10 kg\" FOB=\"1520.35\"/>\r\n";
    }
    out << "  </DESPACHO_CARATULA>\r\n</DESPACHO_RET>\r\n";
    return out.str();
}

// Writes `count` dispatches (cover sheet and a 10 KB items file) into the home's kit folder
// and their operations rows into its database.
inline void AddDispatches(const test::DispatchHome& home, int count) {
    std::string seed = "begin;";
    for (int i = 0; i < count; ++i) {
        seed += "insert into caratula values ('B" + std::to_string(i) +
                "', '2010-06-25 09:30:00', '30712345678', '20222333444', 'Importadora " +
                std::to_string(i) + " S.A.');";
        const std::string cover = CoverSheet(i);
        test::WriteFile(home.kit() + "C" + DispatchNumber(i) + ".RET", cover);
        test::WriteFile(home.kit() + "I" + DispatchNumber(i) + ".RET", cover.substr(0, 10000));
    }
    home.Sql("internos", seed + "commit;");
}

}  // namespace tolvane::bench
