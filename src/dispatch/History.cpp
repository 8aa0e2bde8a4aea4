#include "dispatch/History.h"

#include <memory>
#include <string_view>
#include <utility>

#include "common/Failure.h"
#include "common/SystemError.h"
#include "common/Text.h"
#include "components/BrokerConfig.h"
#include "components/QuillonBroker.h"
#include "components/odbc/Odbc.h"
#include "config/Context.h"
#include "dispatch/ArchivarXML.h"
#include "dispatch/Utilities.h"
#include "platform/FileServices.h"
#include "platform/Platform.h"

namespace tolvane::dispatch {
namespace {

constexpr const char* kEntity = "HISTORIAL";

// A character literal, and the comma after it.
void AppendQuoted(std::string& sql, std::string_view value) {
    sql += '\'';
    AppendSqlText(sql, value);
    sql += "',";
}

void AppendQuoted(std::string& sql, const SpillBuffer& value) {
    sql += '\'';
    value.ForEachPiece([&sql](std::string_view piece) { AppendSqlText(sql, piece); });
    sql += "',";
}

}  // namespace

std::string HistoryExistenceQuery(const DatosDespacho& datos) {
    return "select despacho from historial where despacho = '" + SqlText(datos.DESPACHO) + "'";
}

std::string HistoryInsert(Context& context, const DatosDespacho& datos, int& step) {
    // Room for the two documents once, quotes doubled included as a rule, so that a large
    // statement is not copied as it grows.
    const auto documents = datos.TextoCaratula.size() + datos.TextoItems.size();
    std::string sql;
    sql.reserve(static_cast<std::size_t>(documents + documents / 32) + 4096);
    step = 600;
    sql += "insert into HISTORIAL(";
    step = 610;
    sql += "IDENTIFICADOR_PROPIO, DESPACHO, DESTINACION, COD_ADUANA, CUIT_DESPACHANTE,";
    step = 620;
    sql += "CUIT_IMPO_EXPO, NOMBRE_IMPO_EXPO, FECHA_OFICIALIZACION, XMLCaratula ,";
    step = 630;
    sql += "XMLItem , Usuario, TRANFERIDO) values ( ";
    step = 640;
    for (const std::string* value :
         {&datos.IDENTIFICADOR_PROPIO, &datos.DESPACHO, &datos.DESTINACION, &datos.COD_ADUANA,
          &datos.CUIT_DESPACHANTE, &datos.CUIT_IMPO_EXPO, &datos.NOMBRE_IMPO_EXPO}) {
        AppendQuoted(sql, *value);
        step += 10;
    }
    step = 710;
    sql += FormatFechaSQL(context.os, datos.FECHA_OFICIALIZACION) + ",";
    step = 720;
    AppendQuoted(sql, datos.TextoCaratula);
    step = 730;
    AppendQuoted(sql, datos.TextoItems);
    step = 740;
    AppendQuoted(sql, datos.Usuario);
    step = 750;
    sql += "'N')";
    return sql;
}

HistoryRow RegistrarHistorial(Context& context, components::Broker& broker,
                              const DatosDespacho& datos, int& step) {
    step = 570;
    const std::string existence = HistoryExistenceQuery(datos);
    step = 580;
    broker.getDataConnectionByEntity(kEntity).setSQL(existence);
    step = 590;
    std::unique_ptr<components::RecordSet> rs;
    if (broker.getDataConnectionByEntity(kEntity).CrearRs(rs))
        return HistoryRow::AlreadyThere;

    std::string insert = HistoryInsert(context, datos, step);
    step = 760;
    broker.getDataConnectionByEntity(kEntity).setSQL(std::move(insert));
    // That importer's dispatches are rewritten and sent but never recorded.
    if (datos.CUIT_IMPO_EXPO == kCuitNoRegistrado)
        return HistoryRow::NotRecorded;
    broker.getDataConnectionByEntity(kEntity).ejecutar();
    return HistoryRow::Added;
}

const char* const kCreateHistorial =
    "create table HISTORIAL (\n"
    "    IDENTIFICADOR_PROPIO varchar,\n"
    "    DESPACHO varchar primary key,\n"
    "    DESTINACION varchar,\n"
    "    COD_ADUANA varchar,\n"
    "    CUIT_DESPACHANTE varchar,\n"
    "    CUIT_IMPO_EXPO varchar,\n"
    "    NOMBRE_IMPO_EXPO varchar,\n"
    "    FECHA_OFICIALIZACION date,\n"
    "    XMLCaratula text,\n"
    "    XMLItem text,\n"
    "    Usuario varchar,\n"
    "    TRANFERIDO char(1)\n"
    ")";

namespace {

// The file of a SQLite connection string ("Driver=SQLite3;Database=/a/b.db"); empty for others.
std::string SqliteFile(const std::string& connectionString) {
    const std::string lower = text::ToLowerAscii(connectionString);
    if (lower.find("sqlite") == std::string::npos)
        return "";
    const std::size_t key = lower.find("database=");
    if (key == std::string::npos)
        return "";
    const std::size_t from = key + 9;
    const std::size_t end = connectionString.find(';', from);
    return std::string(text::TrimSpaces(connectionString.substr(from, end - from)));
}

}  // namespace

HistoryCreation CrearHistorial(platform::Platform& os, components::Broker& broker) {
    const std::string configPath =
        os.ProgramFolder() + os.PathSeparator() + components::QuillonBroker::kConfigFileName;
    const std::string connectionString =
        components::BrokerConfig::Load(configPath).ConnectionString(kEntity);
    const std::string file = SqliteFile(connectionString);
    const std::string where =
        file.empty() ? components::odbc::MaskPasswords(connectionString) : file;
    // Opening a SQLite file that is not there makes it: an existing one is never opened here.
    if (!file.empty() && platform::PathExists(file))
        return {false, "La base HISTORIAL ya existe (" + where + "): no se modificó."};
    if (!file.empty()) {
        // An empty file is an empty SQLite database; the broker opens no file that is missing.
        platform::DurableFile empty(file, ".historial-nueva", 0644);
        if (const int error = empty.Commit(); error != 0) {
            throw Failure(failure_number::kPathFileAccess, "Tolvane",
                          "No se pudo crear el archivo " + file + ": " + SystemErrorText(error));
        }
    }
    broker.setParametersPath(configPath);
    broker.LoadParameters();
    components::Connection& connection = broker.getDataConnectionByEntity(kEntity);
    if (file.empty()) {
        bool exists = true;
        try {
            connection.setSQL("select DESPACHO from HISTORIAL where 1 = 0");
            std::unique_ptr<components::RecordSet> none;
            connection.CrearRs(none);
        } catch (const Failure&) {
            exists = false;
        }
        if (exists)
            return {false, "La tabla HISTORIAL ya existe en " + where + ": no se modificó."};
    } else {
        // As the schema makes it: a commit costs one flush, and readers never wait.
        connection.setSQL("PRAGMA journal_mode=WAL");
        std::unique_ptr<components::RecordSet> mode;
        connection.CrearRs(mode);
    }
    connection.setSQL(kCreateHistorial);
    connection.ejecutar();
    return {true, "Se creó la tabla HISTORIAL, vacía, en " + where + "."};
}

}  // namespace tolvane::dispatch
