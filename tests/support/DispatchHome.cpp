#include "support/DispatchHome.h"

#include <cstdlib>
#include <sstream>

#include "common/Text.h"
#include "dispatch/Utilities.h"
#include "support/Process.h"

namespace tolvane::test {

const fs::path kSourceDir = TOLVANE_SOURCE_DIR;  // const: local to this file

DispatchHome::DispatchHome() : kit_(Folder("kit/out")), context_(os(), factory()) {
    ::setenv("ODBCSYSINI", (kSourceDir / "odbc").c_str(), 0);
    for (const char* database : {"internos", "historial"})
        Sql(database, ".read " + (kSourceDir / "db/sqlite/schema.sql").string());
    Sql("internos", ".read " + (kSourceDir / "db/sample-operations.sql").string());
    os().SaveSetting("VESTRAL", "DEFAULT", "UBICACION", Program().string() + "/");
    os().setDateStyle({platform::DateOrder::DayMonthYear, '/'});
    context_.settings.RutaKitOut = kit_;
}

std::string DispatchHome::Sql(const std::string& database, const std::string& statements) const {
    return RunChecked(
        {"/usr/bin/sqlite3", "-bail", (Program() / (database + ".db")).string(), statements});
}

std::vector<std::string> DispatchHome::HistoryRows() const {
    std::istringstream lines(RunChecked(
        {"/usr/bin/sqlite3", "-separator", " | ", (Program() / "historial.db").string(),
         "select IDENTIFICADOR_PROPIO, DESPACHO, DESTINACION, COD_ADUANA, CUIT_DESPACHANTE, "
         "CUIT_IMPO_EXPO, NOMBRE_IMPO_EXPO, coalesce(FECHA_OFICIALIZACION, 'NULL'), Usuario, "
         "TRANFERIDO from historial order by DESPACHO"}));
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);)
        rows.push_back(line);
    return rows;
}

void DispatchHome::AddKitFile(const std::string& name, const std::string& as) const {
    fs::copy_file(kSourceDir / "tests/data/kit" / name, kit_ + (as.empty() ? name : as),
                  fs::copy_options::overwrite_existing);
}

void DispatchHome::AddKitDispatch(const std::string& id, const std::string& as) const {
    for (const char* file : {"C", "I"})
        AddKitFile(file + id + ".RET", as.empty() ? "" : file + as + ".RET");
}

void DispatchHome::Configure(const std::string& optionsSection) const {
    SetKitFolder(kit_);
    WriteConfigIni("[Opciones]\n" + optionsSection);
}

std::string DispatchHome::Golden(const std::string& name, const std::string& produced) {
    const std::string user = dispatch::getUsuarioWindows(os());
    const auto path = kSourceDir / "tests/data/golden" / name;
    const char* update = std::getenv("TOLVANE_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        fs::create_directories(path.parent_path());
        WriteFile(path, text::ReplaceAll(produced, "USUARIOMARIA=\"" + user + "\"",
                                         "USUARIOMARIA=\"@USUARIO@\""));
    }
    return text::ReplaceAll(ReadFile(path), "@USUARIO@", user);
}

}  // namespace tolvane::test
