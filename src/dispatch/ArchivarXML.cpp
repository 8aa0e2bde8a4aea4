#include "dispatch/ArchivarXML.h"

#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include <pugixml.hpp>

#include "common/Failure.h"
#include "common/Stop.h"
#include "common/Text.h"
#include "components/ComponentFactory.h"
#include "config/Context.h"
#include "dispatch/History.h"
#include "dispatch/Lookups.h"
#include "dispatch/StreamedDocument.h"
#include "dispatch/Utilities.h"
#include "dispatch/XmlText.h"
#include "platform/FileServices.h"
#include "platform/Platform.h"

namespace tolvane::dispatch {
namespace {

constexpr const char* kMaskNombre = "XXXXXXXXXXXXXXXXXXXXXXXX";
constexpr const char* kClosingCaratula = "</DESPACHO_CARATULA>";

// The cover sheet, given out in fragments; a document that cannot be is parsed whole, as the
// text it is, in place.
struct CoverSheet {
    StreamedDocument streamed;
    std::string text;
    pugi::xml_document document;

    std::size_t size() const { return streamed.size() + text.size(); }
    std::string FirstChildAttribute(const char* name) const {
        if (!text.empty())
            return document.document_element().first_child().attribute(name).value();
        return streamed.FirstChildAttribute(name);
    }
    void Save(const TextSink& sink) const {
        if (!text.empty())
            SaveRaw(document, sink);
        else
            streamed.Save(sink);
    }
    void Clear() {
        streamed.Clear();
        document.reset();
        std::string().swap(text);
    }
};

// Reads the cover sheet as its bytes declare; false when it cannot be read or is not XML.
bool LoadCoverSheet(CoverSheet& cover, const std::string& path) {
    std::optional<std::string> bytes = platform::ReadWholeFile(path);
    if (!bytes)
        return false;
    std::string text = DecodeXmlBytes(*bytes);
    bytes.reset();
    if (cover.streamed.Load(text))
        return true;
    cover.text = std::move(text);
    // Whitespace-only text between elements is not kept, nor the file's own declaration.
    const pugi::xml_parse_result parsed = cover.document.load_buffer_inplace(
        cover.text.data(), cover.text.size(), pugi::parse_default, pugi::encoding_utf8);
    return parsed && cover.document.document_element();
}

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

// Creates the file, lets `write` fill it through Escribir and closes it, following the steps.
void WriteOutput(components::TextFile& file, const std::string& path, int& step,
                 const std::function<void()>& write) {
    file.setUbicacion_Archivo(path);
    step += 10;
    file.Crear_Archivo();
    step += 10;
    write();
    step += 10;
    file.Cerrar_Archivo();
    step += 10;
}

// The completed document, serialized piece by piece: the masks completed when the database
// gave the values, into the history's copy, and with DATOS_NUEVOS and character references
// into the cover-sheet output.
void WriteCoverSheet(const CoverSheet& cover, DatosDespacho& d, bool completed,
                     components::TextFile& file) {
    const auto escribir = [&file](std::string_view piece) { file.Escribir(std::string(piece)); };
    StreamingLatin1Safe latin1(escribir);
    StreamingReplace datosNuevos(kClosingCaratula, d.TextoDatosNuevos,
                                 [&latin1](std::string_view piece) { latin1.Write(piece); });
    const TextSink both = [&](std::string_view piece) {
        d.TextoCaratula.Append(piece);
        datosNuevos.Write(piece);
    };
    StreamingReplace nombre(MaskedAttribute("NOMBRE_IMPO_EXPO", kMaskNombre),
                            Attribute("NOMBRE_IMPO_EXPO", d.NOMBRE_IMPO_EXPO), both);
    StreamingReplace cuitImpo(MaskedAttribute("CUIT_IMPO_EXPO", kMaskCuit),
                              Attribute("CUIT_IMPO_EXPO", d.CUIT_IMPO_EXPO),
                              [&nombre](std::string_view piece) { nombre.Write(piece); });
    StreamingReplace cuitDespachante(
        MaskedAttribute("CUIT_DESPACHANTE", kMaskCuit),
        Attribute("CUIT_DESPACHANTE", d.CUIT_DESPACHANTE),
        [&cuitImpo](std::string_view piece) { cuitImpo.Write(piece); });

    file.Escribir(std::string(kXmlDeclaration) + "\r\n");
    d.TextoCaratula.Clear();
    if (completed) {
        cover.Save([&](std::string_view piece) { cuitDespachante.Write(piece); });
        cuitDespachante.Finish();
        cuitImpo.Finish();
        nombre.Finish();
    } else {
        cover.Save(both);
    }
    datosNuevos.Finish();
    latin1.Finish();
}

}  // namespace

ArchivoXML ArchivarXML(Context& context, const std::string& p_Path, const std::string& p_Archivo) {
    ArchivoXML result;
    int step = 20;
    std::unique_ptr<components::TextFile> textFile;
    std::unique_ptr<components::Disk> disk;
    std::unique_ptr<components::Broker> broker;
    DatosDespacho d;
    try {
        step = 30;
        textFile = context.factory.Create<components::TextFile>(components::kTextFile);
        step = 70;
        CoverSheet cover;
        if (!LoadCoverSheet(cover, p_Path + p_Archivo)) {
            step = 80;
            throw Failure(failure_number::kLoadXmlFailure, "LoaDXML",
                          "No se puedo leer p_ARCHIVO " + p_Path + p_Archivo, Failure::Scope::Item);
        }

        // Steps 110 to 220 never fail: a missing node or attribute leaves its field empty.
        step = 110;
        d.IDENTIFICADOR_PROPIO = cover.FirstChildAttribute("IDENTIFICADOR_PROPIO");
        d.DESPACHO = cover.FirstChildAttribute("DESPACHO");
        d.DESTINACION = cover.FirstChildAttribute("DESTINACION");
        step = 140;
        result.EsLAPI = d.DESTINACION == kDestinacionLAPI;
        if (result.EsLAPI)
            return result;
        step = 160;
        d.COD_ADUANA = cover.FirstChildAttribute("COD_ADUANA");
        d.CUIT_DESPACHANTE = cover.FirstChildAttribute("CUIT_DESPACHANTE");
        d.CUIT_IMPO_EXPO = cover.FirstChildAttribute("CUIT_IMPO_EXPO");
        d.NOMBRE_IMPO_EXPO = cover.FirstChildAttribute("NOMBRE_IMPO_EXPO");
        d.FECHA_OFICIALIZACION = cover.FirstChildAttribute("FECHA_OFICIALIZACION");
        step = 200;
        if (d.IDENTIFICADOR_PROPIO.empty())
            d.IDENTIFICADOR_PROPIO = d.DESPACHO;
        step = 220;
        d.IdentificadorArchivo = d.IDENTIFICADOR_PROPIO;

        step = 240;
        disk = context.factory.Create<components::Disk>(components::kDisk);
        // The document is serialized as the cover-sheet output is written (step 490): a large
        // one is then never held whole a second time.
        step = 260;
        d.TextoItems.Clear();

        step = 270;
        // This tests the cover sheet itself, which the pass found; a missing items file
        // fails when it is opened.
        if (disk->ExisteArchivo(context.settings.RutaKitOut + p_Archivo)) {
            step = 280;
            textFile->setUbicacion_Archivo(p_Path + ItemsName(p_Archivo));
            step = 290;
            textFile->Abrir_Archivo(1);
            step = 300;
            d.TextoItems.Append(textFile->LeerTodo());
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
        const bool completed =
            getCuitsById(context, *broker, d.IdentificadorArchivo, d.CUIT_IMPO_EXPO,
                         d.NOMBRE_IMPO_EXPO, d.CUIT_DESPACHANTE);

        const std::string caratulaPath = p_Path + "C" + d.IdentificadorArchivo + ".xml";
        step = 470;
        WriteOutput(*textFile, caratulaPath, step,
                    [&] { WriteCoverSheet(cover, d, completed, *textFile); });
        result.RutaXMLCaratula = caratulaPath;
        const bool large = cover.size() > SpillBuffer::kDefaultLimit;
        cover.Clear();
        if (large)
            context.os.ReturnFreeMemory();

        const std::string itemsPath = p_Path + "I" + d.IdentificadorArchivo + ".xml";
        step = 520;
        WriteOutput(*textFile, itemsPath, step, [&] {
            textFile->Escribir(std::string(kXmlDeclaration) + "\r\n");
            d.TextoItems.ForEachPiece(
                [&](std::string_view piece) { textFile->Escribir(std::string(piece)); });
        });
        result.RutaXMLItems = itemsPath;

        result.historial = RegistrarHistorial(context, *broker, d, step);
        step = 790;
        result.DESPACHO = d.DESPACHO;
        result.IDENTIFICADOR_PROPIO = d.IDENTIFICADOR_PROPIO;
        return result;
    } catch (const Interrupted&) {
        throw;
    } catch (...) {
        const Failure caught = CurrentFailure();
        throw Failure(failure_number::kArchivarXML,
                      ProcedureSource("ArchivarXML", "frmLista") + " " + caught.source(),
                      caught.description() + " " + p_Path + " linea " + std::to_string(step),
                      caught.scope());
    }
}

}  // namespace tolvane::dispatch
