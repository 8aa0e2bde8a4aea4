#pragma once

#include <string>

#include "components/Contracts.h"

namespace tolvane {
struct Context;
}

namespace tolvane::dispatch {

struct DatosDespacho;

// The importer whose dispatches are never recorded.
inline constexpr const char* kCuitNoRegistrado = "30999888771";

std::string HistoryExistenceQuery(const DatosDespacho& datos);
std::string HistoryInsert(Context& context, const DatosDespacho& datos, int& step);

enum class HistoryRow {
    Added,         // the dispatch got its row
    AlreadyThere,  // an earlier pass recorded it
    NotRecorded,   // its importer's dispatches are never recorded
};

// Records the dispatch in HISTORIAL once per dispatch number. `step` follows the steps so
// that the caller's failure report names the failing one.
HistoryRow RegistrarHistorial(Context& context, components::Broker& broker,
                              const DatosDespacho& datos, int& step);

}  // namespace tolvane::dispatch
