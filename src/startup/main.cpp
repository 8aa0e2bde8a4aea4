// Entry point: reads the options, picks the front-end, runs start-up and keeps the program
// resident.

#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>

#include "common/Failure.h"
#include "common/Stop.h"
#include "common/Version.h"
#include "components/ComponentFactory.h"
#include "platform/Console.h"
#include "platform/Platform.h"
#include "platform/StopSource.h"
#include "startup/Program.h"
#include "ui/FrontEnd.h"

namespace {

// Exit statuses of the program.
constexpr int kExitOk = 0;
constexpr int kExitPassFailed = 1;
constexpr int kExitNotRunning = 2;
constexpr int kExitUntrapped = 3;
constexpr int kExitUsage = 64;

void PrintUsage(std::ostream& out) {
    out << "Usage: tolvane [--headless] [--once]\n"
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
           "  --help      show this help and exit\n"
           "  --version   show the version and exit\n"
           "\n"
           "Exit status with --once: 0 the tick ran cleanly, 1 a pass reported a failure,\n"
           "2 start-up left the program idle or was cancelled, 3 an untrapped failure.\n"
           "A second instance exits 0 at once.\n";
}

// Where this run's settings are.
void PrintSettingsFolder(std::ostream& out) {
    out << "\nSettings: Config.ini and QuillonConfig.ini in "
        << tolvane::platform::CreatePlatform()->ProgramFolder()
        << "\n(TOLVANE_HOME, else the program's own folder).\n";
#ifndef _WIN32
    out << "Installed from the package, the tolvane command sets TOLVANE_HOME to\n"
           "$XDG_CONFIG_HOME/tolvane (~/.config/tolvane) when it is unset, and fills that\n"
           "folder from the package's templates at the first start.\n";
#endif
}

struct Options {
    bool headless = false;
    bool once = false;
};

// Start-up, then the resident loop (or one tick with --once).
int RunProgram(tolvane::ui::FrontEnd& frontEnd, const tolvane::platform::StopSource& stop,
               const Options& options) {
    tolvane::ui::Window& window = frontEnd.window();
    try {
        const auto os = tolvane::platform::CreatePlatform();
        os->UseProgramOdbcDrivers();
        tolvane::components::ComponentFactory factory;
        tolvane::components::RegisterStandardComponents(factory, *os);
        tolvane::startup::Program program(*os, factory, window);
        const auto stopRequested = [&stop] { return stop.Requested(); };
        program.setStopRequested(stopRequested);
        tolvane::SetStopCheck(stopRequested);
        frontEnd.Attach(program);

        switch (program.Main()) {
            case tolvane::startup::StartupOutcome::PreviousInstance:
                return kExitOk;
            case tolvane::startup::StartupOutcome::Cancelled:
                return kExitNotRunning;
            case tolvane::startup::StartupOutcome::Idle:
                if (options.once)
                    return kExitNotRunning;
                break;
            case tolvane::startup::StartupOutcome::Running:
                if (options.once) {
                    program.Timer1_Timer();
                    program.Form_Terminate();
                    return program.failuresReported() > 0 ? kExitPassFailed : kExitOk;
                }
                break;
        }
        frontEnd.RunLoop([&program] { program.Timer1_Timer(); });
        program.Form_Terminate();
        return kExitOk;
    } catch (const tolvane::Interrupted&) {
        // A stop came while a box was open or a server was waited on: a requested end.
        return kExitOk;
    } catch (...) {
        window.ReportUntrappedFailure(tolvane::CurrentFailure());
        return kExitUntrapped;
    }
}

}  // namespace

int main(int argc, char** argv) {
    tolvane::platform::AttachParentConsole(argc, argv);
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintUsage(std::cout);
            PrintSettingsFolder(std::cout);
            return kExitOk;
        }
        if (arg == "--version") {
            std::cout << "tolvane " << tolvane::version::kMajor << '.' << tolvane::version::kMinor
                      << '.' << tolvane::version::kRevision << '\n';
            return kExitOk;
        }
        if (arg == "--headless") {
            options.headless = true;
        } else if (arg == "--once") {
            options.once = true;
        } else {
            std::cerr << "tolvane: unknown option '" << arg << "'\n";
            PrintUsage(std::cerr);
            return kExitUsage;
        }
    }

    const auto stop = tolvane::platform::InstallStopSource();
    const auto frontEnd = tolvane::ui::CreateFrontEnd(options.headless, argc, argv, *stop);
    return RunProgram(*frontEnd, *stop, options);
}
