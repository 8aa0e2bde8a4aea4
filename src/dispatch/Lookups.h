#pragma once

#include <string>

#include "components/Contracts.h"

namespace tolvane {
struct Context;
}

namespace tolvane::dispatch {

inline constexpr const char* kMaskCuit = "XXXXXXXXXXX";

// The opening date of an operation from the operations database (entity INTERNOS), in the
// general date form, untrimmed; empty text when there is none. Uses a broker of its own,
// configured from the per-user setting VESTRAL/DEFAULT/UBICACION. Failures reach the caller as
// 1119111 with source "getFechaAltaById.frmLista.Tolvane " + the caught source and the
// statement after the description.
std::string getFechaAltaById(Context& context, const std::string& p_Operacion);

// When p_Cuit is exactly the kit's mask, fills the client's and the customs broker's tax ids
// and the importer's name from the operations database (trimmed) and gives true; otherwise,
// or when the operation has no row, gives false and touches nothing. Failures pass unchanged.
bool getCuitsById(Context& context, components::Broker& p_Broker, std::string p_Id,
                  std::string& p_Cuit, std::string& p_Importador, std::string& p_CuitDespachante);

}  // namespace tolvane::dispatch
