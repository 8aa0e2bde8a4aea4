#pragma once

#include <string>

#include "components/Contracts.h"

namespace tolvane {
struct Context;
}
namespace tolvane::platform {
class Platform;
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

// The table as the program's schema (db/sqlite/schema.sql) creates it, on SQLite and PostgreSQL.
extern const char* const kCreateHistorial;

// What CrearHistorial did: whether it made the table, and what to tell.
struct HistoryCreation {
    bool created = false;
    std::string told;
};

// Makes the empty HISTORIAL table where QuillonConfig.ini's HISTORIAL entity points (a new
// SQLite file, or a table in a server's database). A SQLite file that exists, or a database
// that has the table, is left as it is. Failures of the configuration and of the database go
// on as the broker gives them.
HistoryCreation CrearHistorial(platform::Platform& os, components::Broker& broker);

}  // namespace tolvane::dispatch
