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
    out << "Usage: tolvane [--headless] [--once]\n"
           "       tolvane --registro [DÍAS]\n"
           "       tolvane --carpeta-kit CARPETA\n"
           "       tolvane --detener | --crear-historial\n"
           "       tolvane --help | --version\n"
           "\n"
           "Watches the customs kit's output folder and, for every dispatch, completes it from\n"
           "the operations database, records it, uploads it and backs up the kit's files.\n"
           "With a display it lives in the notification area, with its progress and settings\n"
           "windows.\n"
           "\n"
           "  --headless  run without windows: messages go to standard error, and a Yes/No\n"
           "              question is asked on the terminal (answered No without one);\n"
           "              the default when there is no display\n"
           "  --once      start up, run one timer tick at once, then exit\n"
           "  --registro  print the activity log of the last DÍAS days (1: today's) and exit\n"
           "  --detener   ask every other running Tolvane to stop, wait for them (10 s at\n"
           "              most) and exit: 0 when none runs any more, 1 when some still run\n"
           "  --carpeta-kit CARPETA\n"
           "              on Linux, set the kit's output folder (no kit names it there) and\n"
           "              exit; the settings window's RUTA sets it too\n"
           "  --crear-historial\n"
           "              create the empty HISTORIAL table where QuillonConfig.ini says (a\n"
           "              new SQLite file, or a table on the server) and exit: 0 created,\n"
           "              1 it exists and was left alone, 3 it could not be created\n"
           "  --help      show this help and exit\n"
           "  --version   show the version and exit\n"
           "\n"
           "Exit status with --once: 0 the tick ran cleanly, 1 a pass reported a failure,\n"
           "2 start-up left the program idle or was cancelled, 3 an untrapped failure,\n"
           "4 another Tolvane of the user is running (no pass was made).\n"
           "A second resident instance exits 0 at once.\n";
}

void PrintSettingsFolder(std::ostream& out) {
    out << "\nSettings: Config.ini and QuillonConfig.ini in "
        << platform::CreatePlatform()->ProgramFolder()
        << "\n(TOLVANE_HOME, else the program's own folder).\n";
#ifndef _WIN32
    out << "Installed from the package, the tolvane command sets TOLVANE_HOME to\n"
           "$XDG_CONFIG_HOME/tolvane (~/.config/tolvane) when it is unset, and fills that\n"
           "folder from the package's templates at the first start.\n";
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
