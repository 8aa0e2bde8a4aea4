#include "dispatch/History.h"

#include <memory>
#include <string_view>
#include <utility>

#include "config/Context.h"
#include "dispatch/ArchivarXML.h"
#include "dispatch/Utilities.h"

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

}  // namespace tolvane::dispatch
