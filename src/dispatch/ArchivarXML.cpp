#include "dispatch/ArchivarXML.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include <pugixml.hpp>

#include "common/Context.h"
#include "common/Failure.h"
#include "common/Text.h"
#include "components/ComponentFactory.h"
#include "dispatch/History.h"
#include "dispatch/Lookups.h"
#include "dispatch/Utilities.h"
#include "dispatch/XmlText.h"

namespace tolvane::dispatch {
namespace {

constexpr const char* kMaskNombre = "XXXXXXXXXXXXXXXXXXXXXXXX";
constexpr const char* kClosingCaratula = "</DESPACHO_CARATULA>";
constexpr std::int32_t kLoadXmlFailure = 11111;

// Parses the cover sheet as its bytes declare; false when it cannot be read or is not XML.
bool LoadCoverSheet(pugi::xml_document& document, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return false;
    const std::string utf8 = DecodeXmlBytes(bytes);
    // Whitespace-only text between elements is not kept, nor the file's own declaration.
    const pugi::xml_parse_result parsed =
        document.load_buffer(utf8.data(), utf8.size(), pugi::parse_default, pugi::encoding_utf8);
    return parsed && document.document_element();
}

// An attribute of the root element's first child node, or nothing when either is missing.
std::string FirstChildAttribute(const pugi::xml_document& document, const char* name) {
    return document.document_element().first_child().attribute(name).value();
}

std::string Serialize(const pugi::xml_document& document) {
    std::ostringstream out;
    document.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return out.str();
}

// Values from the database or the system go in as attribute values, so that a name such as
// `Pérez & Cía "La Unión"` leaves the cover sheet well formed.
std::string TextoDatosNuevos(const std::string& fecha, const std::string& usuario) {
    return "<DATOS_NUEVOS FECHA_APERTURA=\"" + AttributeValue(fecha) + "\" USUARIOMARIA=\"" +
           AttributeValue(usuario) + "\"> " + " </DATOS_NUEVOS></DESPACHO_CARATULA>";
}

std::string MaskedAttribute(const char* name, const char* mask) {
    return std::string(name) + "=\"" + mask + "\"";
}

std::string Attribute(const char* name, const std::string& value) {
    return std::string(name) + "=\"" + AttributeValue(value) + "\"";
}

void WriteWhole(components::TextFile& file, const std::string& path, const std::string& text,
                int& step) {
    file.setUbicacion_Archivo(path);
    step += 10;
    file.Crear_Archivo();
    step += 10;
    file.Escribir(text);
    step += 10;
    file.Cerrar_Archivo();
    step += 10;
}

}  // namespace

void ArchivarXML(Context& context, const std::string& p_Path, const std::string& p_Archivo) {
    int step = 20;
    std::unique_ptr<components::TextFile> textFile;
    std::unique_ptr<components::Disk> disk;
    std::unique_ptr<components::Broker> broker;
    DatosDespacho d;
    try {
        step = 30;
        textFile = context.factory.Create<components::TextFile>(components::kTextFile);
        step = 50;
        context.RutaXMLCaratula.clear();
        step = 60;
        context.RutaXMLItems.clear();

        step = 70;
        pugi::xml_document document;
        if (!LoadCoverSheet(document, p_Path + p_Archivo)) {
            step = 80;
            throw Failure(kLoadXmlFailure, "LoaDXML",
                          "No se puedo leer p_ARCHIVO " + p_Path + p_Archivo);
        }

        // Steps 110 to 220 never fail: a missing node or attribute leaves its field empty.
        step = 110;
        d.IDENTIFICADOR_PROPIO = FirstChildAttribute(document, "IDENTIFICADOR_PROPIO");
        d.DESPACHO = FirstChildAttribute(document, "DESPACHO");
        d.DESTINACION = FirstChildAttribute(document, "DESTINACION");
        step = 140;
        context.EsLAPI = d.DESTINACION == kDestinacionLAPI;
        if (context.EsLAPI)
            return;
        step = 160;
        d.COD_ADUANA = FirstChildAttribute(document, "COD_ADUANA");
        d.CUIT_DESPACHANTE = FirstChildAttribute(document, "CUIT_DESPACHANTE");
        d.CUIT_IMPO_EXPO = FirstChildAttribute(document, "CUIT_IMPO_EXPO");
        d.NOMBRE_IMPO_EXPO = FirstChildAttribute(document, "NOMBRE_IMPO_EXPO");
        d.FECHA_OFICIALIZACION = FirstChildAttribute(document, "FECHA_OFICIALIZACION");
        step = 200;
        if (d.IDENTIFICADOR_PROPIO.empty())
            d.IDENTIFICADOR_PROPIO = d.DESPACHO;
        step = 220;
        d.IdentificadorArchivo = d.IDENTIFICADOR_PROPIO;

        step = 240;
        disk = context.factory.Create<components::Disk>(components::kDisk);
        step = 250;
        d.TextoCaratula = Serialize(document);
        step = 260;
        d.TextoItems.clear();

        step = 270;
        // This tests the cover sheet itself, which the pass found; a missing items file
        // fails when it is opened.
        if (disk->ExisteArchivo(context.settings.RutaKitOut + p_Archivo)) {
            step = 280;
            textFile->setUbicacion_Archivo(p_Path + "I" + p_Archivo.substr(1));
            step = 290;
            textFile->Abrir_Archivo(1);
            step = 300;
            d.TextoItems = textFile->LeerTodo();
            step = 310;
            textFile->Cerrar_Archivo();
        }

        step = 330;
        d.Usuario = getUsuarioWindows(context.os);
        step = 340;
        broker = context.factory.Create<components::Broker>(components::kBroker);
        step = 350;
        broker->LoadParameters();
        step = 360;
        d.FechaApertura = getFechaAltaById(context, d.IDENTIFICADOR_PROPIO);
        step = 370;
        d.TextoDatosNuevos = TextoDatosNuevos(d.FechaApertura, d.Usuario);

        step = 410;
        NormalizarNombreArchivo(d.IdentificadorArchivo);

        step = 420;
        if (getCuitsById(context, *broker, d.IdentificadorArchivo, d.CUIT_IMPO_EXPO,
                         d.NOMBRE_IMPO_EXPO, d.CUIT_DESPACHANTE)) {
            step = 430;
            d.TextoCaratula =
                text::ReplaceAll(d.TextoCaratula, MaskedAttribute("CUIT_DESPACHANTE", kMaskCuit),
                                 Attribute("CUIT_DESPACHANTE", d.CUIT_DESPACHANTE));
            step = 440;
            d.TextoCaratula =
                text::ReplaceAll(d.TextoCaratula, MaskedAttribute("CUIT_IMPO_EXPO", kMaskCuit),
                                 Attribute("CUIT_IMPO_EXPO", d.CUIT_IMPO_EXPO));
            step = 450;
            d.TextoCaratula =
                text::ReplaceAll(d.TextoCaratula, MaskedAttribute("NOMBRE_IMPO_EXPO", kMaskNombre),
                                 Attribute("NOMBRE_IMPO_EXPO", d.NOMBRE_IMPO_EXPO));
        }

        const std::string header = std::string(kXmlDeclaration) + "\r\n";
        const std::string caratulaPath = p_Path + "C" + d.IdentificadorArchivo + ".xml";
        step = 470;
        WriteWhole(*textFile, caratulaPath,
                   header + Latin1SafeXml(text::ReplaceAll(d.TextoCaratula, kClosingCaratula,
                                                           d.TextoDatosNuevos)),
                   step);
        context.RutaXMLCaratula = caratulaPath;

        const std::string itemsPath = p_Path + "I" + d.IdentificadorArchivo + ".xml";
        step = 520;
        WriteWhole(*textFile, itemsPath, header + d.TextoItems, step);
        context.RutaXMLItems = itemsPath;

        RegistrarHistorial(context, *broker, d, step);
        step = 790;
    } catch (...) {
        const Failure caught = CurrentFailure();
        throw Failure(failure_number::kArchivarXML,
                      ProcedureSource("ArchivarXML", "frmLista") + " " + caught.source(),
                      caught.description() + " " + p_Path + " linea " + std::to_string(step));
    }
}

}  // namespace tolvane::dispatch
