#include "dispatch/History.h"

#include <memory>

#include "common/Context.h"
#include "dispatch/ArchivarXML.h"
#include "dispatch/Utilities.h"

namespace tolvane::dispatch {
namespace {

constexpr const char* kEntity = "HISTORIAL";

std::string Quoted(std::string_view value) {
    return "'" + SqlText(value) + "',";
}

}  // namespace

std::string HistoryExistenceQuery(const DatosDespacho& datos) {
    return "select despacho from historial where despacho = '" + SqlText(datos.DESPACHO) + "'";
}

std::string HistoryInsert(Context& context, const DatosDespacho& datos, int& step) {
    step = 600;
    std::string sql = "insert into HISTORIAL(";
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
        sql += Quoted(*value);
        step += 10;
    }
    step = 710;
    sql += FormatFechaSQL(context.os, datos.FECHA_OFICIALIZACION) + ",";
    step = 720;
    for (const std::string* value : {&datos.TextoCaratula, &datos.TextoItems, &datos.Usuario}) {
        sql += Quoted(*value);
        step += 10;
    }
    step = 750;
    sql += "'N')";
    return sql;
}

void RegistrarHistorial(Context& context, components::Broker& broker, const DatosDespacho& datos,
                        int& step) {
    step = 570;
    const std::string existence = HistoryExistenceQuery(datos);
    step = 580;
    broker.getDataConnectionByEntity(kEntity).setSQL(existence);
    step = 590;
    std::unique_ptr<components::RecordSet> rs;
    if (broker.getDataConnectionByEntity(kEntity).CrearRs(rs))
        return;

    const std::string insert = HistoryInsert(context, datos, step);
    step = 760;
    broker.getDataConnectionByEntity(kEntity).setSQL(insert);
    // That importer's dispatches are rewritten and sent but never recorded.
    if (datos.CUIT_IMPO_EXPO != kCuitNoRegistrado)
        broker.getDataConnectionByEntity(kEntity).ejecutar();
}

}  // namespace tolvane::dispatch
