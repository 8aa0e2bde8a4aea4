#include "startup/Program.h"

#include <memory>
#include <set>
#include <vector>

#include "common/Failure.h"
#include "common/Numbers.h"
#include "common/Stop.h"
#include "common/Text.h"
#include "common/Version.h"
#include "components/ComponentFactory.h"
#include "config/Registry.h"
#include "config/SettingsLoader.h"
#include "dispatch/ArchivarXML.h"
#include "dispatch/Utilities.h"
#include "distribution/Distribution.h"
#include "platform/Platform.h"
#include "ui/FileList.h"
#include "ui/TrayEvents.h"

namespace tolvane::startup {
namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kPattern = "C*.RET";
constexpr std::uint32_t kNifMessageIconTip = 7;
constexpr std::uint32_t kNotifyIconDataSize = 88;
constexpr double kMaxInterval = 65535;

const char* const kMsgFrecuencia =
    "Debe configurar la frecuencia del procedimiento en el archivo INI";
const char* const kMsgAguarde = "Por favor aguarde unos instantes...";
const char* const kMsgSinCopia = "Debe configurar los directorio de copia";
const char* const kMsgCancelado =
    "Se cancelo el inicio de Tolvane. Programa que levanta los despachos RET del Sistema Maria. "
    "Vuelva a iniciarlo en INCIO --> PROGRAMAS --> INICIO --> TOLVANE";

std::string RetryMessage(const std::string& folder) {
    return std::string("No puede acceder a la ruta \"") + folder +
           "\" VERIFIQUE SI PUEDE ACCEDER A ESA CARPETA " + kCrLf + "revise el archivo config.ini" +
           kCrLf + kCrLf + "Desea Reintenar acceder?";
}

std::string MissingSecondFolderMessage(const std::string& folder) {
    return "No existe la ruta " + folder + kCrLf + "verifique el archivo config.ini";
}

std::string LoneItemsMessage(const std::string& folder, const std::string& itemsName) {
    return "El archivo de items " + folder + itemsName +
           " está solo en la carpeta del kit: falta su carátula " +
           dispatch::CoverSheetName(itemsName) +
           " y las carpetas de respaldo no tienen una copia igual." + kCrLf +
           "Tolvane no lo envía ni lo mueve: revise ese despacho en el kit.";
}

// The items files of the folder whose cover sheet is not listed. Only a name that starts with
// a capital I can be the items file of a listed cover sheet.
std::vector<std::string> LoneItems(const std::string& folder,
                                   const std::vector<std::string>& coverNames) {
    std::set<std::string> expected;
    for (const auto& name : coverNames)
        expected.insert(dispatch::ItemsName(name));
    std::vector<std::string> lone;
    for (auto& name : ui::ListFolder(folder, "I*.RET")) {
        if (name[0] == 'I' && expected.count(name) == 0)
            lone.push_back(std::move(name));
    }
    return lone;
}

// Which file of the pair differs from what was read.
std::string ChangedFile(const std::string& folder, const std::string& coverName,
                        const KitPairState& read, const KitPairState& now) {
    return folder + (read.caratula != now.caratula ? coverName : dispatch::ItemsName(coverName));
}

}  // namespace

void Timer::setInterval(double milliseconds) {
    if (!(milliseconds >= 0 && milliseconds <= kMaxInterval)) {
        throw Failure(failure_number::kInvalidPropertyValue, "Timer1",
                      "Valor de propiedad no válido: el intervalo del temporizador debe estar "
                      "entre 0 y 65535 milisegundos");
    }
    interval_ = static_cast<unsigned>(milliseconds);
    window_.SetTimer(interval_, enabled_);
}

void Timer::setEnabled(bool enabled) {
    enabled_ = enabled;
    window_.SetTimer(interval_, enabled_);
}

std::string TipText(const std::string& firstBackupFolder) {
    return "Tolvane version " + std::to_string(version::kMajor) + "." +
           std::to_string(version::kMinor) + "." + std::to_string(version::kRevision) + " " +
           version::kFileDescription + " - " + firstBackupFolder + std::string(1, '\0');
}

std::array<char, 64> TipField(const std::string& tip) {
    std::array<char, 64> field;
    field.fill(' ');
    const std::string bytes = text::Utf8ToLatin1(tip);
    for (std::size_t i = 0; i < field.size() && i < bytes.size(); ++i)
        field[i] = bytes[i];
    return field;
}

Program::Program(platform::Platform& os, components::ComponentFactory& factory, ui::Window& window)
    : context_(os, factory), window_(window), lst_(window), timer_(window), kitWatch_(os) {}

Program::~Program() = default;

StartupOutcome Program::Main() {
    platform::Platform& os = context_.os;
    if (os.PreviousInstanceRunning())
        return StartupOutcome::PreviousInstance;

    RegisterRunValue();

    const std::unique_ptr<components::Disk> disk =
        context_.factory.Create<components::Disk>(components::kDisk);

    config::LeerINI(context_);

    FillIconoBandeja();
    window_.NotifyIcon(ui::kNimAdd, iconoBandeja_);
    iconAdded_ = true;

    lst_.setPattern(kPattern);
    lst_.setPath(context_.settings.RutaKitOut);
    lst_.Refresh();

    const double period = LeadingNumber(context_.settings.MILISEGUNDOS);
    if (period == 0) {
        window_.MessageBox(kMsgFrecuencia, ui::kMbOk | ui::kMbIconExclamation);
        return StartupOutcome::Idle;
    }
    timer_.setInterval(RoundHalfEven(period));

    if (!CheckFirstBackupFolder(*disk)) {
        window_.MessageBox(kMsgCancelado, ui::kMbOk | ui::kMbIconStop);
        Form_Terminate();
        return StartupOutcome::Cancelled;
    }

    const std::string& ruta2 = context_.settings.RUTA2;
    if (!text::TrimSpaces(ruta2).empty() && !disk->ExisteCarpeta(ruta2)) {
        window_.MessageBox(MissingSecondFolderMessage(ruta2), ui::kMbOk | ui::kMbIconExclamation);
        return StartupOutcome::Idle;
    }

    timer_.setEnabled(true);
    return StartupOutcome::Running;
}

void Program::RegisterRunValue() {
    platform::Platform& os = context_.os;
    const std::string current = config::RegValueText(config::LeerRegistro(
        os.registry(), platform::RegistryRoot::LocalMachine, kRunKey, kRunValue));
    if (!current.empty())
        return;
    // A failed write is not reported: the next start tries again.
    config::EscribirRegistro(os.registry(), platform::RegistryRoot::LocalMachine, kRunKey,
                             kRunValue, os.ProgramPath(), platform::kRegSz);
}

void Program::FillIconoBandeja() {
    iconoBandeja_.cbSize = kNotifyIconDataSize;
    iconoBandeja_.hWnd = window_.WindowHandle();
    iconoBandeja_.uID = 1;
    iconoBandeja_.uFlags = kNifMessageIconTip;
    iconoBandeja_.uCallbackMessage = ui::kWmMouseMove;
    iconoBandeja_.hIcon = window_.IconHandle();
    iconoBandeja_.szTip = TipField(TipText(context_.settings.RUTA1));
}

bool Program::CheckFirstBackupFolder(components::Disk& disk) {
    const std::string& ruta1 = context_.settings.RUTA1;
    if (ruta1.empty()) {
        window_.MessageBox(kMsgSinCopia, ui::kMbOk | ui::kMbIconExclamation);
        return true;
    }
    while (!disk.ExisteCarpeta(ruta1)) {
        const int answer =
            window_.MessageBox(RetryMessage(ruta1), ui::kMbYesNo | ui::kMbIconExclamation);
        if (answer == ui::kIdNo)
            return false;
    }
    return true;
}

std::string DispatchShown(const std::string& name) {
    if (name.size() >= 20)
        return name.substr(name.size() - 20, 16);
    return name.substr(0, 16);
}

void Program::Timer1_Timer() {
    config::LeerINI(context_);
    Procesar();
}

void Program::Procesar() {
    std::unique_ptr<components::Disk> disk;
    try {
        disk = context_.factory.Create<components::Disk>(components::kDisk);
        timer_.setEnabled(false);
        lst_.setPattern(kPattern);
        lst_.setPath(context_.settings.RutaKitOut);
        // One worker per kit folder: another program (another user, another computer on a
        // shared folder) in the middle of its pass has this tick.
        const auto claim = context_.os.ClaimFolder(context_.settings.RutaKitOut);
        if (!claim) {
            timer_.setEnabled(true);
            return;
        }
        lst_.Refresh();
        window_.DoEvents();

        const auto quiet = QuietPeriod(context_.settings.ESPERA);
        const std::vector<std::string> lone = LoneItems(context_.settings.RutaKitOut, lst_.names());
        std::vector<std::string> watched = lst_.names();
        for (const auto& name : lone)
            watched.push_back(dispatch::CoverSheetName(name));
        kitWatch_.Listed(context_.settings.RutaKitOut, watched);
        const bool goOn = HandleLoneItems(lone, quiet);

        const int last = goOn ? lst_.ListCount() - 1 : -1;
        for (int i = 0; i <= last; ++i) {
            if (StopRequested())
                break;
            const std::string name = lst_.List(i);
            window_.SetLabel(0,
                             "Procesando Archivo " + name.substr(0, 1) + "-" + DispatchShown(name));
            window_.DoEvents();
            window_.SetLabel(1, kMsgAguarde);
            window_.DoEvents();
            window_.SetProgress(static_cast<float>((100.0 / lst_.ListCount()) * (i + 1)));
            window_.DoEvents();

            context_.RutaXMLCaratula.clear();
            context_.RutaXMLItems.clear();
            // A file that went since the listing is skipped without a word.
            if (disk->ExisteArchivo(context_.settings.RutaKitOut + name)) {
                const auto watch = kitWatch_.WaitUntilStill(
                    context_.settings.RutaKitOut, name, quiet, [this] { window_.DoEvents(); },
                    stopRequested_);
                if (watch.verdict == KitWatch::Verdict::Stopped)
                    break;
                // One the kit is still writing waits for the next tick, without a word.
                if (watch.verdict == KitWatch::Verdict::Still &&
                    watch.state.caratula.kind == platform::FileState::Kind::Regular) {
                    TakeDispatch(name, watch.state);
                }
            }
            window_.DoEvents();
        }

        window_.SetLabel(0, "");
        window_.DoEvents();
        window_.SetLabel(1, "");
        window_.DoEvents();
        window_.SetProgress(0);
        lst_.Refresh();
        window_.DoEvents();
        timer_.setEnabled(true);
    } catch (const Interrupted&) {
        // A stop cut a wait short: no message, the program is about to end.
        timer_.setEnabled(true);
    } catch (...) {
        const Failure failure = CurrentFailure();
        ++failuresReported_;
        window_.MessageBox(failure.description() + kCrLf + kCrLf +
                               std::to_string(failure.number()) +
                               " - seccion[Procesar.frmLista.Tolvane](0) - " + failure.source(),
                           ui::kMbOk | ui::kMbIconExclamation);
        timer_.setEnabled(true);
    }
}

void Program::TakeDispatch(const std::string& name, const KitPairState& seen) {
    const std::string folder = context_.settings.RutaKitOut;
    context_.EsLAPI = false;
    dispatch::ArchivarXML(context_, folder, name);
    window_.DoEvents();
    if (context_.EsLAPI ||
        !distribution::SubirArchivo(context_, context_.RutaXMLCaratula, context_.RutaXMLItems)) {
        return;
    }
    distribution::MoverDespacho(context_, name, dispatch::ItemsName(name), [&] {
        const KitPairState now = kitWatch_.Look(folder, name);
        if (now != seen) {
            throw Failure(failure_number::kPathFileAccess, "Tolvane",
                          "El archivo " + ChangedFile(folder, name, seen, now) +
                              " cambió mientras se enviaba el despacho (el kit lo estaba "
                              "escribiendo): no se quitó de la carpeta del kit y el despacho se "
                              "tomará de nuevo, completo, en la próxima pasada.");
        }
    });
}

bool Program::HandleLoneItems(const std::vector<std::string>& lone,
                              std::chrono::milliseconds quiet) {
    std::set<std::string> reported;  // those no longer there are forgotten
    for (const auto& itemsName : lone) {
        if (loneReported_.count(itemsName) != 0)
            reported.insert(itemsName);
    }
    loneReported_ = std::move(reported);

    const std::string folder = context_.settings.RutaKitOut;
    for (const auto& itemsName : lone) {
        const auto watch = kitWatch_.WaitUntilStill(
            folder, dispatch::CoverSheetName(itemsName), quiet, [this] { window_.DoEvents(); },
            stopRequested_);
        if (watch.verdict == KitWatch::Verdict::Stopped)
            return false;
        // Its cover sheet may be arriving: the kit can write the items file first.
        if (watch.verdict != KitWatch::Verdict::Still ||
            watch.state.caratula.kind != platform::FileState::Kind::Missing ||
            watch.state.items.kind != platform::FileState::Kind::Regular) {
            continue;
        }
        if (distribution::FinishLoneItems(context_, itemsName)) {
            loneReported_.erase(itemsName);
        } else if (loneReported_.insert(itemsName).second) {
            window_.MessageBox(LoneItemsMessage(folder, itemsName),
                               ui::kMbOk | ui::kMbIconExclamation);
        }
    }
    return true;
}

void Program::Form_Terminate() {
    if (!iconAdded_)
        return;
    try {
        window_.NotifyIcon(ui::kNimDelete, iconoBandeja_);
    } catch (...) {
        window_.MessageBox(
            ui::TrappedEventMessage(CurrentFailure(), "Form_Terminate", "frmLista", 10), ui::kMbOk);
    }
    iconAdded_ = false;
}

}  // namespace tolvane::startup
