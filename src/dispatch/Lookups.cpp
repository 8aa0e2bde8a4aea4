#include "dispatch/Lookups.h"

#include <memory>

#include "common/Failure.h"
#include "common/Stop.h"
#include "common/Text.h"
#include "components/ComponentFactory.h"
#include "config/Context.h"
#include "dispatch/Utilities.h"
#include "dispatch/XmlText.h"
#include "platform/Platform.h"

namespace tolvane::dispatch {
namespace {

constexpr const char* kEntity = "INTERNOS";

}  // namespace

std::string getFechaAltaById(Context& context, const std::string& p_Operacion) {
    std::string fecha;
    std::string sql;
    try {
        const auto broker = context.factory.Create<components::Broker>(components::kBroker);
        broker->setParametersPath(context.os.GetSetting("VESTRAL", "DEFAULT", "UBICACION", "") +
                                  "QuillonConfig.ini");
        broker->LoadParameters();
        sql = "select fechaalta from caratula where interno = '" + SqlText(p_Operacion) + "'";
        broker->getDataConnectionByEntity(kEntity).setSQL(sql);
        std::unique_ptr<components::RecordSet> rs;
        if (broker->getDataConnectionByEntity(kEntity).CrearRs(rs)) {
            fecha = DbValueText(context.os, rs->Field("fechaalta"));
        }
    } catch (const Interrupted&) {
        throw;
    } catch (...) {
        const Failure caught = CurrentFailure();
        throw Failure(failure_number::kGetFechaAltaById,
                      ProcedureSource("getFechaAltaById", "frmLista") + " " + caught.source(),
                      caught.description() + "\r\n\r\n" + sql);
    }
    return fecha;
}

bool getCuitsById(Context& context, components::Broker& p_Broker, std::string p_Id,
                  std::string& p_Cuit, std::string& p_Importador, std::string& p_CuitDespachante) {
    if (p_Cuit != kMaskCuit)
        return false;
    const std::string sql =
        "select cuitcliente, cuitdespaduana, factura7 as importador from caratula where "
        "interno = '" +
        SqlText(p_Id) + "'";
    p_Broker.getDataConnectionByEntity(kEntity).setSQL(sql);
    std::unique_ptr<components::RecordSet> rs;
    if (!p_Broker.getDataConnectionByEntity(kEntity).CrearRs(rs))
        return false;
    // As the cover sheet will hold them, so that its history row stores the same.
    const auto trimmed = [&](const char* column) {
        return XmlStorableText(text::TrimSpaces(DbValueText(context.os, rs->Field(column))));
    };
    p_Cuit = trimmed("cuitcliente");
    p_Importador = trimmed("importador");
    p_CuitDespachante = trimmed("cuitdespaduana");
    return true;
}

}  // namespace tolvane::dispatch
