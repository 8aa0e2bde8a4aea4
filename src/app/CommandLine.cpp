#include "app/CommandLine.h"

#include <filesystem>
#include <ostream>
#include <system_error>

#include "common/ExitStatus.h"
#include "common/Failure.h"
#include "common/Version.h"
#include "components/ComponentFactory.h"
#include "config/SettingsLoader.h"
#include "dispatch/History.h"
#include "platform/FileServices.h"
#include "platform/Platform.h"
#include "platform/StopSource.h"
#include "startup/ActivityLog.h"

namespace tolvane::app {

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            line.request = CommandLine::Request::Help;
            return line;
        }
        if (arg == "--version") {
            line.request = CommandLine::Request::Version;
            return line;
        }
        if (arg == "--carpeta-kit") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                line.request = CommandLine::Request::Unknown;
                line.unknown = arg + " (falta la CARPETA)";
            } else {
                line.request = CommandLine::Request::SetKitFolder;
                line.kitFolder = argv[i + 1];
            }
            return line;
        }
        if (arg == "--crear-historial") {
            line.request = CommandLine::Request::CreateHistory;
            return line;
        }
        if (arg == "--detener") {
            line.request = CommandLine::Request::StopOthers;
            return line;
        }
        if (arg == "--registro") {
            line.request = CommandLine::Request::ActivityLog;
            if (i + 1 < argc) {
                const std::string days = argv[i + 1];
                if (days.empty() || days.size() > 4 ||
                    days.find_first_not_of("0123456789") != std::string::npos ||
                    std::stoi(days) == 0) {
                    line.request = CommandLine::Request::Unknown;
                    line.unknown = arg + " " + days;
                } else {
                    line.logDays = std::stoi(days);
                }
            }
            return line;
        }
        if (arg == "--headless") {
            line.options.headless = true;
        } else if (arg == "--once") {
            line.options.once = true;
        } else {
            line.request = CommandLine::Request::Unknown;
            line.unknown = arg;
            return line;
        }
    }
    return line;
}

bool TalksOnStandardStreams(const CommandLine& line) {
    return line.request != CommandLine::Request::Run || line.options.headless;
}

void PrintUsage(std::ostream& out) {
    out << "Uso: tolvane [--headless] [--once]\n"
           "     tolvane --registro [DÍAS]\n"
           "     tolvane --carpeta-kit CARPETA\n"
           "     tolvane --detener | --crear-historial\n"
           "     tolvane --help | --version\n"
           "\n"
           "Vigila la carpeta de salida del kit aduanero y, por cada despacho, lo completa con\n"
           "la base de operaciones, lo registra, lo sube al servidor de la oficina y guarda\n"
           "copia de los archivos del kit. Con pantalla vive en el área de notificación, con\n"
           "sus ventanas de progreso y de configuración.\n"
           "\n"
           "  --headless  sin ventanas: los mensajes van a la salida de errores y una pregunta\n"
           "              de Sí/No se hace en la terminal (sin terminal, se responde No);\n"
           "              así funciona cuando no hay pantalla\n"
           "  --once      inicia, hace una pasada enseguida y termina\n"
           "  --registro  muestra el registro de actividad de los últimos DÍAS días (1: hoy)\n"
           "  --carpeta-kit CARPETA\n"
           "              en Linux, guarda la carpeta de salida del kit (allí ningún kit la\n"
           "              indica); la RUTA de la ventana de configuración también la guarda\n"
           "  --detener   pide detenerse a cada otro Tolvane en ejecución y lo espera (10 s\n"
           "              como mucho): 0 si ya no queda ninguno, 1 si alguno sigue\n"
           "  --crear-historial\n"
           "              crea la tabla HISTORIAL vacía donde dice QuillonConfig.ini (un archivo\n"
           "              SQLite nuevo, o la tabla en el servidor): 0 creada, 1 ya existía y no\n"
           "              se tocó, 3 no se pudo crear\n"
           "  --help      muestra esta ayuda\n"
           "  --version   muestra la versión\n"
           "\n"
           "Estado de salida con --once: 0 la pasada terminó bien, 1 la pasada informó una\n"
           "falla, 2 el inicio dejó el programa inactivo o se canceló, 3 una falla no\n"
           "atrapada, 4 otro Tolvane del usuario está en ejecución (no se hizo la pasada).\n"
           "Una segunda instancia residente termina enseguida con 0.\n";
}

void PrintSettingsFolder(std::ostream& out) {
    out << "\nConfiguración: Config.ini y QuillonConfig.ini en "
        << platform::CreatePlatform()->ProgramFolder()
        << "\n(TOLVANE_HOME, si no la carpeta del propio programa).\n";
#ifndef _WIN32
    out << "Instalado desde el paquete, el comando tolvane fija TOLVANE_HOME en\n"
           "$XDG_CONFIG_HOME/tolvane (~/.config/tolvane) si no está definida, y llena esa\n"
           "carpeta con las plantillas del paquete la primera vez.\n";
#endif
}

void PrintActivityLog(std::ostream& out, int days) {
    const auto os = platform::CreatePlatform();
    out << startup::ReadActivityLog(os->ActivityLogFolder(), os->LocalNow(), days);
}

int StopOthers(std::ostream& out) {
    const platform::StopOutcome outcome = platform::StopOtherInstances(std::chrono::seconds(10));
    if (outcome.stillRunning == 0) {
        out << "Tolvane: " << outcome.asked
            << (outcome.asked == 1 ? " programa en ejecución se detuvo.\n"
                                   : " programas en ejecución se detuvieron.\n");
        return exit_status::kOk;
    }
    out << "Tolvane: " << outcome.stillRunning << " de " << outcome.asked
        << " programas en ejecución no se detuvieron.\n";
    return exit_status::kStillRunning;
}

int SetKitFolder(const std::string& folder, std::ostream& out, std::ostream& err) {
    const auto os = platform::CreatePlatform();
    if (!os->OwnsKitFolderValue()) {
        err << "Tolvane: en Windows la carpeta del kit la indica el propio kit (el valor "
            << config::kKitValue << " de su registro).\n";
        return exit_status::kUsage;
    }
    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(folder, error);
    const std::string absolute = error ? folder : path.lexically_normal().string();
    if (!config::EscribirCarpetaKit(*os, absolute)) {
        err << "Tolvane: no se pudo guardar la carpeta del kit en "
            << os->registry().Location(platform::RegistryRoot::LocalMachine) << ".\n";
        return exit_status::kUntrapped;
    }
    out << "Tolvane: carpeta del kit " << absolute << ", guardada en "
        << os->registry().Location(platform::RegistryRoot::LocalMachine) << ".\n";
    if (!platform::IsListableFolder(absolute))
        out << "Tolvane: esa carpeta todavía no existe o no se puede leer.\n";
    return exit_status::kOk;
}

int CreateHistory(std::ostream& out, std::ostream& err) {
    try {
        const auto os = platform::CreatePlatform();
        os->UseProgramOdbcDrivers();
        components::ComponentFactory factory;
        components::RegisterStandardComponents(factory, *os);
        const auto broker = factory.Create<components::Broker>(components::kBroker);
        const dispatch::HistoryCreation done = dispatch::CrearHistorial(*os, *broker);
        out << "Tolvane: " << done.told << '\n';
        return done.created ? exit_status::kOk : exit_status::kLeftAsItWas;
    } catch (...) {
        const Failure failure = CurrentFailure();
        err << "Tolvane: no se pudo crear la tabla HISTORIAL: " << failure.description() << " ("
            << failure.number() << " - " << failure.source() << ")\n";
        return exit_status::kUntrapped;
    }
}

void PrintVersion(std::ostream& out) {
    out << "tolvane " << version::kMajor << '.' << version::kMinor << '.' << version::kRevision
        << '\n';
}

}  // namespace tolvane::app
