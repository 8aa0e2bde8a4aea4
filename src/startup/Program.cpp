#include "startup/Program.h"

#include <memory>

#include "common/Failure.h"
#include "common/Numbers.h"
#include "common/Text.h"
#include "common/Version.h"
#include "components/ComponentFactory.h"
#include "config/Registry.h"
#include "config/SettingsLoader.h"
#include "dispatch/Utilities.h"
#include "platform/Platform.h"
#include "startup/ActivityLog.h"
#include "ui/TrayEvents.h"

namespace tolvane::startup {
namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kPattern = "C*.RET";
constexpr std::uint32_t kNifMessageIconTip = 7;
constexpr std::uint32_t kNotifyIconDataSize = 88;

const char* const kMsgFrecuencia =
    "Debe configurar la frecuencia del procedimiento en el archivo INI";
const char* const kMsgSinCopia = "Debe configurar los directorio de copia";
const char* const kMsgCarpetaKit =
    "Indique la carpeta de salida del kit con: tolvane --carpeta-kit CARPETA";
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

}  // namespace

std::string TipText(const std::string& firstBackupFolder) {
    const std::string lead = "Tolvane version " + std::to_string(version::kMajor) + "." +
                             std::to_string(version::kMinor) + "." +
                             std::to_string(version::kRevision) + " " + version::kFileDescription +
                             " - ";
    // The tip holds 63 characters: a folder too long to fit shows its end, where its name is,
    // rather than its start alone.
    const std::size_t room = kTipCharacters - lead.size();
    std::string folder = text::Utf8ToLatin1(firstBackupFolder);
    if (folder.size() > room) {
        folder = folder.substr(folder.size() - (room - 3));
        // From a separator, where one leaves a name whole.
        const std::size_t separator = folder.find_first_of("\\/");
        if (separator != std::string::npos && separator + 1 < folder.size())
            folder.erase(0, separator);
        folder = "..." + folder;
    }
    return lead + text::Latin1ToUtf8(folder) + std::string(1, '\0');
}

std::array<char, 64> TipField(const std::string& tip) {
    std::array<char, 64> field;
    field.fill(' ');
    const std::string bytes = text::Utf8ToLatin1(tip);
    for (std::size_t i = 0; i < field.size() && i < bytes.size(); ++i)
        field[i] = bytes[i];
    return field;
}

Program::Program(platform::Platform& os, components::ComponentFactory& factory, ui::Window& window,
                 Clock& clock)
    : context_(os, factory),
      window_(window),
      lst_(window),
      timer_(window),
      pass_(context_, window_, lst_, timer_, clock) {}

Program::~Program() = default;

StartupOutcome Program::Main() {
    platform::Platform& os = context_.os;
    if (os.PreviousInstanceRunning())
        return StartupOutcome::PreviousInstance;
    started_ = true;

    RegisterRunValue();

    const std::unique_ptr<components::Disk> disk =
        context_.factory.Create<components::Disk>(components::kDisk);

    config::LeerINI(context_);
    if (log_ != nullptr) {
        log_->Write("Tolvane " + std::to_string(version::kMajor) + "." +
                    std::to_string(version::kMinor) + "." + std::to_string(version::kRevision) +
                    " iniciado; usuario " + dispatch::getUsuarioWindows(os) + "; carpeta del kit " +
                    context_.settings.RutaKitOut);
    }

    FillIconoBandeja();
    window_.NotifyIcon(ui::kNimAdd, iconoBandeja_);
    iconAdded_ = true;

    lst_.setPattern(kPattern);
    try {
        lst_.setPath(context_.settings.RutaKitOut);
    } catch (const Failure& failure) {
        // Where no kit names its folder the clerk does, and must be told how.
        if (!os.OwnsKitFolderValue() || failure.number() != failure_number::kPathNotFound)
            throw;
        throw Failure(failure.number(), failure.source(),
                      failure.description() + kCrLf + kMsgCarpetaKit, failure.scope());
    }
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

void Program::Timer1_Timer() {
    config::LeerINI(context_);
    Procesar();
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
